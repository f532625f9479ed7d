#include "app/DocumentFilesWatcher.h"

#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

DocumentFilesWatcher::DocumentFilesWatcher(std::function<std::shared_ptr<QSFile>()> rootFile,
                                           QWidget *window, QObject *parent)
    : QObject(parent)
    , _rootFile(std::move(rootFile))
    , _window(window)
    , _fileWatcher(new QFileSystemWatcher(this))
    , _settle(new QTimer(this))
{
    // Programs write a file in several pieces, or delete it and write it anew: the
    // files are looked at a moment after the first change.
    _settle->setSingleShot(true);
    _settle->setInterval(300);
    const auto changed = [this] {
        if (!_settle->isActive())
            _settle->start();
    };
    connect(_fileWatcher, &QFileSystemWatcher::fileChanged, _settle, changed);
    connect(_fileWatcher, &QFileSystemWatcher::directoryChanged, _settle, changed);
    connect(_settle, &QTimer::timeout, this, [this] {
        watchFiles();
        checkFilesOnDisk();
    });
}

void DocumentFilesWatcher::watchFiles()
{
    QStringList paths;
    const std::shared_ptr<QSFile> root = _rootFile();
    if (root && !root->isUntitled()) {
        for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get()))
            paths << file->pathText();
    }
    // A file gone from disk is waited for in its folder.
    QStringList watched;
    for (const QString &path : std::as_const(paths)) {
        const QString folder = QFileInfo(path).path();
        watched << (QFileInfo::exists(path) || !QFileInfo::exists(folder) ? path : folder);
    }
    const QStringList previous = _fileWatcher->files() + _fileWatcher->directories();
    if (!previous.isEmpty())
        _fileWatcher->removePaths(previous);
    watched.removeDuplicates();
    for (const QString &path : std::as_const(watched)) {
        if (QFileInfo::exists(path))
            _fileWatcher->addPath(path);
    }
}

void DocumentFilesWatcher::checkFilesOnDisk()
{
    const std::shared_ptr<QSFile> root = _rootFile();
    QSFilePool *pool = QSFilePool::sharedFilePool();
    if (!root || root->isUntitled() || !pool || _askingAboutChangesOnDisk)
        return;
    const std::optional<QSFilePool::ChangesOnDisk> changes = pool->readChangedFilesOfDocument(root);
    if (!changes)
        return;
    if (changes->reread)
        emit filesWereReadAgain();
    if (changes->conflicting.isEmpty() && changes->gone.isEmpty())
        return;
    QString text;
    if (!changes->gone.isEmpty())
        text = tr("These files were deleted or moved away by another program:\n%1\n\nTheir "
                  "text stays open here and is marked as not saved; save to write it again.")
                   .arg(changes->gone.join(u'\n'));
    if (!changes->conflicting.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n"))
                + tr("These files were changed by another program, and they have changes "
                     "here that are not saved:\n%1\n\nWhich version do you want to keep?")
                      .arg(changes->conflicting.join(u'\n'));
    _askingAboutChangesOnDisk = true;
    auto *sheet = new QMessageBox(QMessageBox::Warning, tr("Files changed on disk"), text,
                                  QMessageBox::NoButton, _window);
    QPushButton *useNew = nullptr;
    if (changes->conflicting.isEmpty()) {
        sheet->addButton(QMessageBox::Ok);
    } else {
        useNew = sheet->addButton(tr("Use the Version on Disk"), QMessageBox::DestructiveRole);
        sheet->addButton(tr("Keep My Version"), QMessageBox::AcceptRole);
    }
    sheet->setObjectName(QStringLiteral("filesInDocumentHasChangedSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    connect(sheet, &QMessageBox::finished, this, [this, sheet, useNew] {
        _askingAboutChangesOnDisk = false;
        if (!useNew)
            return;
        if (sheet->clickedButton() == useNew)
            useNewFilesWhenFilesChanged();
        else
            useCurrentFilesWhenFilesChanged();
    });
    sheet->open();
}

void DocumentFilesWatcher::useNewFilesWhenFilesChanged()
{
    const std::shared_ptr<QSFile> root = _rootFile();
    if (QSFilePool *pool = QSFilePool::sharedFilePool(); pool && root) {
        pool->updateFilesInDocument(root->path());
        emit filesWereReadAgain();
    }
}

void DocumentFilesWatcher::useCurrentFilesWhenFilesChanged()
{
    const std::shared_ptr<QSFile> root = _rootFile();
    if (QSFilePool *pool = QSFilePool::sharedFilePool(); pool && root)
        pool->changeAttributesToUpdatedVersion(root->path());
}
