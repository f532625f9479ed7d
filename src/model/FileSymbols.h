#pragma once

#include "model/SymbolScanner.h"

#include <QList>
#include <QString>
#include <QStringList>

class QSSectionNode;

// What one file defines and names, for completion: its labels with the heading
// each stands under (sorted by name, ignoring case, as completion lists them), and
// in document order the commands and environments it defines and the bibliography
// databases it names.
struct FileSymbols
{
    struct Label
    {
        QString name;
        QString heading; // the name of the last sectioning command before it; empty before any
    };
    QList<Label> labels;
    QList<Symbol> commands;
    QList<Symbol> environments;
    QStringList bibliographies;

    // Gathers them from a file's tree, each node's own text read again only when it
    // changed since the last gathering. The caller holds the document-model lock.
    static FileSymbols collect(const QSSectionNode &fileNode);
};
