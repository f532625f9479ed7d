#pragma once

#include "compile/preview/PreviewSnapshot.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The private folder where a document's previews are typeset, so that a preview
// never writes beside the user's files: <cache>/preview/<hash of the root's path>/.
// It mirrors the root's folder: the unsaved text of a file at chapters/a.tex of the
// document is written to chapters/a.tex here, and the engine, started in the root's
// folder with this folder first in TEXINPUTS, finds that copy before the file on
// disk. Every output of the engine (.aux, .log, .pdf, .synctex.gz, an \include'd
// chapter's .aux in its subfolder) is written here through -output-directory.
//
// A file is only shadowed when the engine looks for it by name: a file named from
// the root's folder with "./" or "../" or an absolute path, and any file outside the
// root's folder, is read from disk as saved (the preview tells the user so).
//
// UI thread only.
class PreviewFolder
{
public:
    // The folder for a root file; nothing is made on disk yet.
    explicit PreviewFolder(const QString &rootPath);

    // Where the previews of a root file are typeset, under the user's cache folder.
    static QString locationFor(const QString &rootPath);

    QString path() const { return _path; }
    QString rootPath() const { return _rootPath; }
    QString rootFolder() const { return _rootFolder; }

    // Makes the folder and the folders of the document's files in it. The first
    // call empties what an earlier session left, so that no stale copy shadows a
    // file saved since. Returns why it failed, in words for the user; empty when
    // it did not.
    QString prepare(const QStringList &documentFiles);
    // Writes the texts of files inside the root's folder at their places here
    // (only those that changed since the last write) and removes the copies of
    // files that are no longer unsaved. Returns why it failed; empty when it did not.
    QString writeCopies(const QList<PreviewText> &texts);
    // The files (users' absolute paths) whose copies the engine is given now.
    QSet<QString> copies() const;

    // The user's path for a path inside this folder (a copy of a file, or a name
    // the SyncTeX data gives relative to the PDF here); any other path, cleaned.
    QString userPath(const QString &path) const;
    // The place here of a user's file inside the root's folder; empty for others.
    QString copyPath(const QString &userPath) const;

    // Moves the engine's finished PDF and its SyncTeX data to the names a viewer
    // reads (<job>.preview.pdf), each by one rename, so that a viewer never reads a
    // PDF the engine is still writing. Returns the PDF's path, empty on failure.
    QString publish(const QString &jobName) const;
    // Readies the root's .aux for the next run of the job, which LaTeX reads at
    // \begin{document}: for a run that typesets only the \include'd file `name` (as
    // the root names it), an \includeonly{name} is put ahead of what the last run
    // wrote there; for the whole document (an empty name), none is. The other
    // chapters' numbers come from their .aux files: where this folder has none of
    // the root's or of a chapter's, the one the user's own compile left beside the
    // file is copied here. Returns true when the run is to typeset `name` only; false
    // when the whole document is, because some chapter's numbers are not known yet
    // or the last run did not see `name` \include'd.
    bool typesetOnly(const QString &jobName, const QString &name) const;
    // After a run that ended well: keeps its .aux files (the root's and those of the
    // files it \include'd) aside.
    void keepAux(const QString &jobName) const;
    // Puts back the .aux files kept aside, over those that a run that was ended or
    // stopped at an error left half written: the chapters after the place it stopped
    // would lose their numbers for the next run.
    void restoreAux(const QString &jobName) const;
    // Removes the outputs of the job that a run could otherwise be mistaken by.
    void removeOutputs(const QString &jobName) const;
    QString outputPath(const QString &jobName, const QString &extension) const;

private:
    bool mirrorFolder(const QString &relativeFolder);

    QString _rootPath;
    QString _rootFolder; // without a trailing "/"
    QString _path;       // without a trailing "/"
    bool _prepared = false;
    QSet<QString> _mirrored;         // folders made here, relative
    QHash<QString, QString> _copies; // user's path → the text last written for it
};
