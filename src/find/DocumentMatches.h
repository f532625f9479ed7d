#pragma once

#include "model/QSRange.h"
#include "model/SearchPattern.h"

#include <QList>
#include <QString>
#include <atomic>
#include <memory>

class QSFile;

// Every match of a pattern in the files of a document, grouped by file in the
// document's order (an included file where it is first included), each match with
// its line number and the text of its line for a list. Made from copies of the
// files' texts, so that any thread can search while the user goes on typing.
class DocumentMatches
{
public:
    // A file of the document and its text at the moment the search was asked for.
    struct Source
    {
        std::shared_ptr<QSFile> file;
        QString name; // the path from the root file's folder
        QString text;
    };

    // One match as the list shows it: its line (from 1) and that line's text,
    // shortened around the match when long, with where the match stands in it.
    struct Match
    {
        QSRange range; // in the file's text
        int line = 0;
        QString lineText;
        qsizetype markStart = 0;
        qsizetype markLength = 0;
    };

    struct File
    {
        std::shared_ptr<QSFile> file;
        QString name;
        qsizetype count = 0;  // every match in the file, listed or not
        QSRange firstRange{}; // its first match
        QList<Match> matches; // the listed ones
    };

    // More rows than this are more than anyone reads through, and each one costs the
    // UI thread when the list is shown; the matches past it are counted, not listed.
    static constexpr qsizetype listLimit = 1000;
    // Lines are cut to about this many characters around their match.
    static constexpr qsizetype lineTextLength = 160;

    // On the UI thread, which keeps the files' texts: each file of the document
    // with its text (shared, so copied only when the user edits it meanwhile).
    static QList<Source> sourcesOf(const std::shared_ptr<QSFile> &root);
    static qsizetype lengthOf(const QList<Source> &sources);
    // Any thread. A search told to stop on the way gives an empty result.
    static DocumentMatches search(const QList<Source> &sources, const SearchPattern &pattern,
                                  const std::atomic<bool> *stop = nullptr);

    const SearchPattern &pattern() const { return _pattern; }
    // Files with at least one match.
    const QList<File> &files() const { return _files; }
    qsizetype matchCount() const { return _matchCount; }
    qsizetype listedCount() const { return _listedCount; }
    // "22 matches in 4 files", and how many are listed when not all are.
    QString summary() const;

    // A match as the list shows it, on the line (from 1) that starts at lineStart.
    static Match matchOnLine(const QString &text, QSRange range, qsizetype lineStart, int line);

private:
    SearchPattern _pattern;
    QList<File> _files;
    qsizetype _matchCount = 0;
    qsizetype _listedCount = 0;
};
