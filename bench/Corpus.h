#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Writes, once per run, the benchmark documents into a temporary folder and points
// the user defaults at a settings file there.
namespace Corpus {

// A single file of about 5 MB with 10,000 sectioning commands (chapters, sections,
// subsections and subsubsections in turn) and prose, math and comments between them.
const QString &largeFilePath();

// A single file of about 200 MB: the 5 MB file's headings and prose forty times over.
const QString &hugeFilePath();

// A book of about 20 MB in 100 files: the root, and 99 chapter files in subfolders,
// read through \input and \include, with about 20,000 sectioning commands between
// prose, math, comments and tables, with a label at every section and equation
// (about 18,000). The same text at every run (a fixed seed).
const QString &bookRootPath();

// A second root beside the book's, book-included.tex, which \include's every one of
// the same chapter files, so that a preview can typeset any chapter alone.
const QString &bookIncludedRootPath();

// The pdfsync data of a 500-page document: the root's records and the blocks of the
// files it includes, page and position records for every page.
const QString &largeSyncPath();

// An engine log of about 50 MB made of real pdflatex log segments: 400 files in
// the folder and a subfolder, with their errors and warnings.
const QString &largeLogPath();
// The names of the log's files that a document holds (relative to the log's folder).
QStringList largeLogFileNames();

// Copies the example thesis of examples/ into the folder (made if need be);
// returns the path of its root file there.
QString copyExampleThesis(const QString &folder);

// The pdfTeX-family engines (pdflatex, pdftex) that this process started and that
// are alive now, read from the process table.
int enginesAlive();

// The previews' cache in a folder of its own while a benchmark runs, so that no
// run leaves anything in the user's cache.
struct OwnCache
{
    QTemporaryDir folder;
    QByteArray cacheBefore = qgetenv("XDG_CACHE_HOME");

    OwnCache() { qputenv("XDG_CACHE_HOME", folder.filePath(QStringLiteral("cache")).toUtf8()); }
    ~OwnCache()
    {
        if (cacheBefore.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", cacheBefore);
    }
};

} // namespace Corpus
