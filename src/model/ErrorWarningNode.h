#pragma once

#include <QList>
#include <QString>
#include <memory>

class QSFile;

// One error or warning of a compile, at a line of one source file.
class ErrorWarningNode
{
public:
    // The file that holds the line; the file owns its diagnostics, so not the other way.
    std::weak_ptr<QSFile> file;
    QString type = QStringLiteral("type"); // "error" or "warning"
    QString msg = QStringLiteral("msg");
    qint32 lineNumber = 0; // 1-based; 0 when the engine's line was not a number
    QList<std::shared_ptr<ErrorWarningNode>> children; // diagnostics have none
    // Where the engine was when it stopped, as its log shows it: the source line up
    // to the culprit ("l.11 The energy is \undefinedcmd"), then, indented to where
    // the first ends, the rest of that line; lines apart by "\n". Empty when the log
    // gives none.
    QString context;
    // What to do about it, in plain words; empty when nothing useful is known.
    QString hint;

    bool isDraggable() const { return false; }
};
