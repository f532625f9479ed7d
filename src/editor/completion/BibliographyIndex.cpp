#include "editor/completion/BibliographyIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QtConcurrent>

QString BibliographyIndex::pathOf(const QString &folder, const QString &name)
{
    const QString path = QDir(folder).absoluteFilePath(name);
    if (QFileInfo(path).isFile())
        return path;
    QProcess kpsewhich;
    kpsewhich.start(QStringLiteral("kpsewhich"), {name});
    if (!kpsewhich.waitForFinished(5000)) {
        kpsewhich.kill();
        kpsewhich.waitForFinished();
        return {};
    }
    const QString found = QString::fromLocal8Bit(kpsewhich.readAllStandardOutput()).trimmed();
    return QFileInfo(found).isFile() ? found : QString();
}

BibliographyIndex::BibliographyIndex(QObject *parent)
    : QObject(parent)
    , _watcher(new QFileSystemWatcher(this))
{
    connect(&_reading, &QFutureWatcher<QList<Database>>::finished, this,
            &BibliographyIndex::readingDone);
    connect(_watcher, &QFileSystemWatcher::fileChanged, this, &BibliographyIndex::readAgain);
    connect(_watcher, &QFileSystemWatcher::directoryChanged, this, &BibliographyIndex::readAgain);
}

BibliographyIndex::~BibliographyIndex()
{
    _reading.waitForFinished();
}

void BibliographyIndex::setDatabases(const QString &folder, const QStringList &names)
{
    if (folder == _folder && names == _names)
        return;
    _folder = folder;
    _names = names;
    readAgain();
}

void BibliographyIndex::readAgain()
{
    if (_reading.isRunning()) {
        _readAgain = true;
        return;
    }
    _readAgain = false;
    _delivered = false;
    _reading.setFuture(QtConcurrent::run([folder = _folder, names = _names] {
        QList<Database> databases;
        for (const QString &name : names) {
            Database database{pathOf(folder, name), {}};
            QFile file(database.path);
            if (!database.path.isEmpty() && file.open(QIODevice::ReadOnly))
                database.entries = BibFileReader::read(QString::fromUtf8(file.readAll()));
            databases.append(database);
        }
        return databases;
    }));
}

void BibliographyIndex::readingDone()
{
    _databases = _reading.result();
    _delivered = true;
    // Editors save by writing a new file in the old one's place, which ends the
    // watch: every path is watched again. While a database is missing, the folder is
    // watched for it to appear.
    const QStringList watched = _watcher->files() + _watcher->directories();
    if (!watched.isEmpty())
        _watcher->removePaths(watched);
    for (const Database &database : std::as_const(_databases)) {
        if (!database.path.isEmpty())
            _watcher->addPath(database.path);
        else if (QFileInfo(_folder).isDir() && !_watcher->directories().contains(_folder))
            _watcher->addPath(_folder);
    }
    emit entriesChanged();
    if (_readAgain)
        readAgain();
}

QList<BibEntry> BibliographyIndex::entries() const
{
    QList<BibEntry> entries;
    for (const Database &database : _databases)
        entries += database.entries;
    return entries;
}

QStringList BibliographyIndex::paths() const
{
    QStringList paths;
    for (const Database &database : _databases)
        paths << database.path;
    return paths;
}

void BibliographyIndex::waitForReading()
{
    while (!_delivered) {
        _reading.waitForFinished();
        QCoreApplication::processEvents();
    }
}
