#pragma once

#include "find/DocumentMatches.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A file of the document renamed or moved on disk, with every \input, \include
// and \includeonly that names it rewritten. A name is found as the outline finds
// the file it includes: from the including file's folder, else from the root's
// (where the engine runs), with ".tex" added when the name has none. A rewritten
// name is the new path from that same folder, written as the old one was: with
// ".tex" or without it (always without in \include and \includeonly, which add it).
namespace FileRename {

// One file name in an include command: the name's own characters.
struct Include
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool withoutExtension = false; // \include, \includeonly: ".tex" is added by LaTeX
    bool inComment = false;
};

// Every name that \input{...}, \include{...} and each item of \includeonly{...}
// give in a LaTeX text, in order; none in verbatim text.
QList<Include> includesIn(QStringView text);
// The included name that the position stands in or just after.
std::optional<Include> includeAt(QStringView text, qsizetype position);
// The path an include's name stands for from the including file's folder, else
// the root's; empty when no file is there.
QString pathOf(QStringView name, const QString &fileFolder, const QString &rootFolder);

// A place of the file: in a file of the document, the folder it is named from.
struct Place
{
    std::shared_ptr<QSFile> file;
    Include include;
    QString folder;
};
// Every place of the document's texts that names the file at the path; the root
// is the first source.
QList<Place> placesOf(const QString &path, const QList<DocumentMatches::Source> &sources);
// What a place's name becomes when the file moves to the new path.
QString newName(const Place &place, const QString &text, const QString &newPath);
// Why the file cannot take the new name, in words for the user; empty when it
// can. Both names are paths from the root's folder, as the user types them.
QString refusal(const QString &rootFolder, const QString &name, const QString &newName);
// Moves the file on disk, making the folders it needs; why it could not, empty when
// it did.
QString move(const QString &from, const QString &to);

} // namespace FileRename
