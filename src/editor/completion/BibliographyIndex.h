#pragma once

#include "editor/completion/BibFileReader.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QStringList>

class QFileSystemWatcher;

// The entries of the bibliography databases a document names, read on a worker
// when the names change and again when a database changes on disk.
//
// A name is found the way BibTeX and biber find it: in the root file's folder,
// else wherever kpsewhich finds it (the TeX tree, BIBINPUTS).
//
// Threads: used on the UI thread; the worker gets copies and gives back values.
class BibliographyIndex : public QObject
{
    Q_OBJECT

public:
    explicit BibliographyIndex(QObject *parent = nullptr);
    // Waits for a reading under way.
    ~BibliographyIndex() override;

    // The databases named (as written in the document, with ".bib"), found from the
    // folder; nothing is read again when they are those of the last call.
    void setDatabases(const QString &folder, const QStringList &names);
    // Every entry of the databases as last read, database by database.
    QList<BibEntry> entries() const;
    // The paths the names were found at.
    QStringList paths() const;
    // Where the engine finds a database of the name (with ".bib") from the folder;
    // empty when nowhere. Runs kpsewhich for a name not in the folder: any thread.
    static QString pathOf(const QString &folder, const QString &name);
    // Blocks until the reading under way, if any, is done and delivered (for tests).
    void waitForReading();

signals:
    // The entries were read again (after the names or a database changed).
    void entriesChanged();

private:
    struct Database
    {
        QString path; // empty when not found
        QList<BibEntry> entries;
    };
    void readAgain();
    void readingDone();

    QString _folder;
    QStringList _names;
    QList<Database> _databases; // one per name, as last read
    QFutureWatcher<QList<Database>> _reading;
    bool _readAgain = false;      // names or files changed while reading
    bool _delivered = true;       // the last reading's result is in _databases
    QFileSystemWatcher *_watcher; // a child
};
