#pragma once

#include "platform/TextEncoding.h"

#include <QList>
#include <QString>
#include <QStringList>

// The text of one file as the editor shows it, where it differs from the file on
// disk (or the file is gone from disk), with the encoding a save would write it in.
struct PreviewText
{
    QString path; // absolute
    QString text;
    int encoding = TextEncoding::UTF8;
};

// What one preview typesets: the document as it stands in the editor at one moment.
struct PreviewSnapshot
{
    QString rootPath;                            // absolute path of the root file
    QString engine = QStringLiteral("pdflatex"); // "pdflatex", "xelatex" or "lualatex"
    // The files whose editor text is not what is on disk; every other file is read
    // from disk as it is.
    QList<PreviewText> texts;
    // Every file of the document (the include graph), saved or not: their folders
    // are made in the preview folder, where the engine writes an \include'd file's
    // .aux. May be empty; the root's folder is looked through for folders anyway.
    QStringList files;
    // One \include'd file to typeset, by the name the root gives it in \include{...}
    // ("chapters/methods"); the other chapters keep the page, section and reference
    // numbers their .aux files hold from the last run that typeset them. Empty, or a
    // name that cannot be handed to TeX as it is: the whole document.
    QString includeOnly;
};
