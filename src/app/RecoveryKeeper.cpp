#include "app/RecoveryKeeper.h"

#include "app/MyDocument.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"
#include "platform/DocumentController.h"
#include "platform/Log.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTimer>

namespace {

const QString indexName = QStringLiteral("index.json");

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

RecoveryKeeper::RecoveryKeeper(const QString &folder, QObject *parent)
    : QObject(parent)
    , _folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                     + QStringLiteral("/recovery")
                               : folder)
    , _timer(new QTimer(this))
{
    _timer->setInterval(intervalMilliseconds);
    connect(_timer, &QTimer::timeout, this, &RecoveryKeeper::keepNow);
}

void RecoveryKeeper::start()
{
    _timer->start();
}

// Every text goes into its own file before the index that names it, each written
// whole or not at all: a crash while keeping leaves the previous keeping readable.
int RecoveryKeeper::keepNow()
{
    QSFilePool *pool = QSFilePool::sharedFilePool();
    if (!pool)
        return 0;
    // Each file comes back in the window of the document that shows it.
    QHash<const QSFile *, QString> documentOf;
    if (DocumentController *documents = DocumentController::sharedDocumentController()) {
        for (Document *open : documents->documents()) {
            const auto *document = qobject_cast<MyDocument *>(open);
            if (!document || !document->fileOpened() || document->fileOpened()->isUntitled())
                continue;
            for (const std::shared_ptr<QSFile> &file :
                 QSFilePool::fileList(document->fileOpened().get()))
                documentOf.insert(file.get(), document->fileOpened()->pathText());
        }
    }
    QDir dir(_folder);
    QJsonArray index;
    QStringList kept{indexName};
    for (const std::shared_ptr<QSFile> &file : pool->allFiles()) {
        if (!file->hasContentChangedSinceLastSave(false))
            continue;
        const QString name = QString::number(qHash(file->pathText()), 16) + QStringLiteral(".tex");
        if (!dir.mkpath(QStringLiteral("."))
            || !writeAtomically(dir.filePath(name), file->content().toUtf8())) {
            qsLog(quillsetApp, QStringLiteral("could not keep unsaved text in ") + _folder);
            return 0;
        }
        index.append(QJsonObject{{"path", file->pathText()},
                                 {"untitled", file->isUntitled()},
                                 {"document", documentOf.value(file.get(), file->pathText())},
                                 {"text", name}});
        kept << name;
    }
    if (index.isEmpty()) {
        removeAll();
        return 0;
    }
    writeAtomically(dir.filePath(indexName), QJsonDocument(index).toJson());
    for (const QString &stale : dir.entryList(QDir::Files)) {
        if (!kept.contains(stale))
            dir.remove(stale);
    }
    return int(index.size());
}

QList<RecoveryKeeper::Recovered> RecoveryKeeper::pendingRecoveries() const
{
    QList<Recovered> recovered;
    QFile index(QDir(_folder).filePath(indexName));
    if (!index.open(QIODevice::ReadOnly))
        return recovered;
    for (const QJsonValue &entry : QJsonDocument::fromJson(index.readAll()).array()) {
        QFile text(QDir(_folder).filePath(entry[QStringLiteral("text")].toString()));
        if (!text.open(QIODevice::ReadOnly))
            continue;
        recovered.append(Recovered{
            entry[QStringLiteral("path")].toString(), entry[QStringLiteral("untitled")].toBool(),
            entry[QStringLiteral("document")].toString(), QString::fromUtf8(text.readAll())});
    }
    return recovered;
}

void RecoveryKeeper::restoreInto(DocumentController *documents,
                                 const QList<Recovered> &recovered) const
{
    for (const Recovered &entry : recovered) {
        MyDocument *document = nullptr;
        std::shared_ptr<QSFile> file;
        if (entry.untitled) {
            document = qobject_cast<MyDocument *>(documents->newDocument());
            file = document ? document->fileOpened() : nullptr;
        } else {
            document = qobject_cast<MyDocument *>(
                documents->openDocument(entry.document.isEmpty() ? entry.path : entry.document));
            file = QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(entry.path));
        }
        if (!document || !file || file->content() == entry.text)
            continue;
        document->selectRange(QSRange{0, 0}, file);
        QTextCursor all(document->textView()->document());
        all.select(QTextCursor::Document);
        all.insertText(entry.text);
    }
}

void RecoveryKeeper::removeAll()
{
    QDir(_folder).removeRecursively();
}
