#pragma once

#include "model/QSDocument.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSUndoManager.h"

#include <QList>
#include <QThread>
#include <QUndoCommand>

// One undo step on a file, as the text view registers an edit.
inline void markEdited(QSFile &file)
{
    file.undoManager().registerUndo(std::make_unique<QUndoCommand>());
}

// A document without a window that records what the pool asks of it; when asked
// to close a file it lets go of it in the pool at once, as a window does for a
// file without unsaved changes.
class TestDocument : public QSDocument
{
public:
    explicit TestDocument(std::shared_ptr<QSFile> root = nullptr)
        : root(std::move(root))
    {}
    std::shared_ptr<QSFile> fileOpened() const override { return root; }
    void willCloseFile(const std::shared_ptr<QSFile> &file) override
    {
        closing << file.get();
        QSFilePool::sharedFilePool()->closeFile(file->path());
    }
    void setIsDocumentEdited(bool edited) override
    {
        marks << edited;
        markThread = QThread::currentThread();
    }
    QWidget *window() const override { return nullptr; }
    bool isDocumentEdited() const override { return !marks.isEmpty() && marks.last(); }
    bool saveDocument() override { return false; }

    std::shared_ptr<QSFile> root;
    QList<QSFile *> closing;
    QList<bool> marks;
    QThread *markThread = nullptr;
};
