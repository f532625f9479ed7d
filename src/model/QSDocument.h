#pragma once

#include "platform/Document.h"

#include <memory>

class QSFile;

// What the file pool needs of a document window. willCloseFile and
// setIsDocumentEdited are called on the UI thread; fileOpened on any thread, with
// the document-model lock held, so a document changes its root file only under
// that lock. A document tells the pool that it lets go of its root file
// (reAssignFile) before it is destroyed.
class QSDocument : public Document
{
    Q_OBJECT

public:
    using Document::Document;

    // The document's root file.
    virtual std::shared_ptr<QSFile> fileOpened() const = 0;
    // One of the document's files is about to be let go of: ask about its unsaved
    // changes, or close it in the pool at once.
    virtual void willCloseFile(const std::shared_ptr<QSFile> &file) = 0;
    // Sets the window's edited marker and the document's edited state together.
    virtual void setIsDocumentEdited(bool edited) = 0;
};
