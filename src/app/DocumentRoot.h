#pragma once

#include <QString>
#include <memory>

class QSFile;

// The file a document window compiles, shows the PDF of and syncs with: the
// window's own file, or the root it names in a "% !TeX root = ../thesis.tex" magic
// comment, followed on through the roots named in turn. A named root is held open
// in the file pool while the window uses it, so that its diagnostics reach the
// window's files. UI thread.
class DocumentRoot
{
public:
    DocumentRoot() = default;
    DocumentRoot(const DocumentRoot &) = delete;
    DocumentRoot &operator=(const DocumentRoot &) = delete;
    // Lets go of a named root.
    ~DocumentRoot();

    // Reads the magic comments of the window's file, as saved, again; the root to
    // use. A root that does not exist, cannot be read or leads round in a circle is
    // passed over for the window's file, and problem() says why.
    std::shared_ptr<QSFile> update(const std::shared_ptr<QSFile> &opened);
    // The named root in use, or none when the window's file is its own root.
    std::shared_ptr<QSFile> namedRoot() const { return _named; }
    // Why the magic comment was passed over at the last update; empty when it was not.
    QString problem() const { return _problem; }
    // Lets go of the named root; for the window that closes.
    void release();

private:
    std::shared_ptr<QSFile> _named; // held open in the pool
    QString _problem;
};
