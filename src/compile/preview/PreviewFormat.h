#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class PreviewFolder;

// A format dumped from a document's preamble (everything before \begin{document})
// with mylatexformat, so that a preview starts where the preamble ends instead of
// loading the class and the packages again. The dump runs with the document's job
// name, so a preamble that reads \jobname reads what the previews read, into a
// folder of its own; the format is then moved beside the previews' outputs.
//
// A format is used while the preamble's text, the engine and the files the dump
// read in the document's folder or the preview folder (a local package, an \input
// of macros, their unsaved copies) are all as they were when it was dumped. A
// preamble that cannot be dumped is not tried again until it changes.
//
// UI thread only.
class PreviewFormat
{
public:
    // What identifies a preamble: the engine and the bytes of the root file (as the
    // engine reads it) before \begin{document}; empty when it has none.
    static QByteArray preambleKey(const QString &engine, const QString &rootFile);

    // The format to start a run from, by the name -fmt takes with the preview
    // folder first in TEXFORMATS: the one dumped from this preamble while nothing
    // it read has changed since; empty when there is none.
    QString formatFor(const QByteArray &key, const PreviewFolder &folder) const;
    // True when this preamble has no format that holds (none was dumped, or a file
    // it read has changed since) and its dump has not failed.
    bool wanted(const QByteArray &key, const PreviewFolder &folder) const;

    // The arguments of the engine that dumps the format from the root file.
    static QStringList dumpArguments(const QString &engine, const QString &jobName,
                                     const QString &rootName, const PreviewFolder &folder);
    // After the dump of the preamble ended: puts the format in place and notes the
    // files it read. Returns why there is no format, in words for the user; empty
    // when there is one.
    QString dumpEnded(const QByteArray &key, bool succeeded, const QString &jobName,
                      const PreviewFolder &folder);

private:
    static QString formatPath(const QString &jobName, const PreviewFolder &folder);

    QByteArray _key;              // of the preamble the format was dumped from
    QString _path;                // without ".fmt"; empty when there is no format
    QByteArray _failedKey;        // of a preamble whose dump failed
    QHash<QString, qint64> _read; // file → its modification time (ms) when dumped
};
