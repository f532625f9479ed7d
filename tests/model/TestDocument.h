#pragma once

#include "model/QSDocument.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QList>
#include <QThread>

// A document without a window that records what the pool asks of it; when asked
// to close a file it lets go of it in the pool at once, as a window does for a
// file without unsaved changes.
class TestDocument : public QSDocument
{
public:
    explicit TestDocument(std::shared_ptr<QSFile> root = nullptr, bool closesFiles = true)
        : root(std::move(root))
        , closesFiles(closesFiles)
    {}
    std::shared_ptr<QSFile> fileOpened() const override { return root; }
    void willCloseFile(const std::shared_ptr<QSFile> &file) override
    {
        closing << file.get();
        if (closesFiles)
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
    bool closesFiles;
    QList<QSFile *> closing;
    QList<bool> marks;
    QThread *markThread = nullptr;
};
