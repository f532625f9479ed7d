#pragma once

#include "TreeHelpers.h"
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

// Every file of the pool is held once for each time it is open as a document (the
// roots, as often as each is open) and once for each include node that holds its
// tree, and the include graph's edges join exactly the files whose include nodes hold
// one another's trees, each pair once. What is not so, in a line; empty when all is.
inline QString holdersDisagree(const QSFilePool &pool, const QList<QSFile *> &roots)
{
    QHash<const QSFile *, int> holders;
    for (const QSFile *root : roots)
        ++holders[root];
    QHash<const QSFile *, QSet<QSFile *>> includes, includedBy;
    for (const std::shared_ptr<QSFile> &file : pool.allFiles()) {
        const std::function<void(const Node &)> walk = [&](const Node &node) {
            for (const Node &child : node->children()) {
                if (child->isFileIncludeNode() && child->countOfChildren() > 0) {
                    QSFile *held = child->children().first()->nodeFile().get();
                    ++holders[held];
                    includes[file.get()] << held;
                    includedBy[held] << file.get();
                }
                if (!child->isFileIncludeNode())
                    walk(child);
            }
        };
        walk(file->treeRootNode());
    }
    QStringList faults;
    const auto set = [](const QList<QSFile *> &list) { return QSet(list.cbegin(), list.cend()); };
    for (const std::shared_ptr<QSFile> &file : pool.allFiles()) {
        const int count = pool.openCountForFile(file->path()), held = holders.value(file.get());
        if (count != held || count == 0)
            faults << file->name() + QStringLiteral(" held %1 times, by %2").arg(count).arg(held);
        const QList<QSFile *> to = file->filesWhichThisFileIncludes();
        const QList<QSFile *> from = file->filesWhichIncludeThisFile();
        if (set(to) != includes.value(file.get()) || set(to).size() != to.size()
            || set(from) != includedBy.value(file.get()) || set(from).size() != from.size())
            faults << file->name() + " has other include edges";
    }
    return faults.join(u"; ");
}
