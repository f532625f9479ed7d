#pragma once

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QSFile;

// How often a document's files use each command and environment, for ranking
// completion's candidates: the commands (by name with the backslash, "\section")
// and environments ("tabular", from \begin{tabular}) of the text outside comments.
//
// Each file is counted from its text, and again only when its text changed since.
// A small amount of changed text is counted at once; a long document's first
// counting runs on a worker, and its counts come in when it has finished, so
// that opening the popup never waits for it.
//
// Threads: UI thread, apart from the worker's counting of its own copies.
class DocumentUsage : public QObject
{
    Q_OBJECT

public:
    struct Counts
    {
        QHash<QString, int> commands;
        QHash<QString, int> environments;
    };

    explicit DocumentUsage(QObject *parent = nullptr);
    ~DocumentUsage() override;

    // Counts the files whose text changed since they were last counted, and forgets
    // those no longer among them.
    void update(const QList<std::shared_ptr<QSFile>> &files);
    // The uses in all files as counted so far.
    int commandUses(const QString &name) const { return _total.commands.value(name); }
    int environmentUses(const QString &name) const { return _total.environments.value(name); }
    // Blocks until the worker's counting, if any, has come in.
    void waitForCounting();

    // The counts of one text.
    static Counts count(QStringView text);

signals:
    // The worker's counts came in.
    void counted();

private:
    // What a file's text was when counted: it changes with every edit, undo and
    // redo, and when the file is read again.
    struct Revision
    {
        quint64 undoSerial = 0;
        quint64 redoSerial = 0;
        qsizetype size = -1;
        const void *data = nullptr;
        bool operator==(const Revision &) const = default;
    };
    struct Counted
    {
        std::weak_ptr<QSFile> file;
        Revision revision;
        Counts counts;
        bool counting = false; // the worker has its text
    };
    struct Job
    {
        const QSFile *file;
        Revision revision;
        QString text;
        Counts counts;
    };
    static Revision revisionOf(const QSFile &file);
    void take(const QSFile *file, const Revision &revision, Counts counts);
    void add(const Counts &counts, int sign);
    void workerFinished();

    QHash<const QSFile *, Counted> _files;
    Counts _total;
    QFutureWatcher<std::vector<Job>> *_worker; // a child
};
