#include "editor/completion/DocumentUsage.h"

#include "model/QSFile.h"
#include "model/QSUndoManager.h"

#include <QtConcurrent/QtConcurrentRun>

namespace {

// Text changed since its counting that is counted at once, in characters: the
// file being written in, even a long chapter, takes well under a millisecond.
constexpr qsizetype countedAtOnce = 1 << 19;

bool isNameLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'@';
}

QString keyText(const QString &key)
{
    return key;
}
QString keyText(QStringView key)
{
    return key.toString();
}

template <typename Key>
void addInto(QHash<QString, int> &into, const QHash<Key, int> &counts, int sign)
{
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        const QString key = keyText(it.key());
        int &total = into[key];
        total += sign * it.value();
        if (total <= 0)
            into.remove(key);
    }
}

} // namespace

DocumentUsage::DocumentUsage(QObject *parent)
    : QObject(parent)
    , _worker(new QFutureWatcher<std::vector<Job>>(this))
{
    connect(_worker, &QFutureWatcherBase::finished, this, &DocumentUsage::workerFinished);
}

DocumentUsage::~DocumentUsage() = default;

DocumentUsage::Counts DocumentUsage::count(QStringView text)
{
    // Names are counted as views of the text, and made strings once each.
    QHash<QStringView, int> commands, environments;
    const qsizetype size = text.size();
    const QLatin1String begin("\\begin");
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            i = text.indexOf(u'\n', i);
            if (i < 0)
                break;
            continue;
        }
        if (c != u'\\')
            continue;
        qsizetype end = i + 1;
        while (end < size && isNameLetter(text[end]))
            ++end;
        if (end == i + 1) {
            ++i; // an escaped character: \%, \\, \{
            continue;
        }
        if (end < size && text[end] == u'*')
            ++end;
        const QStringView name = text.mid(i, end - i);
        ++commands[name];
        if (name == begin && end < size && text[end] == u'{') {
            const qsizetype close = text.indexOf(u'}', end);
            // A name, not the rest of a damaged line.
            if (close > end + 1 && close - end < 64)
                ++environments[text.mid(end + 1, close - end - 1)];
        }
        i = end - 1;
    }
    Counts counts;
    addInto(counts.commands, commands, 1);
    addInto(counts.environments, environments, 1);
    return counts;
}

DocumentUsage::Revision DocumentUsage::revisionOf(const QSFile &file)
{
    return {file.undoManager().serialOfStepToUndo(), file.undoManager().serialOfStepToRedo(),
            file.content().size(), file.content().constData()};
}

void DocumentUsage::update(const QList<std::shared_ptr<QSFile>> &files)
{
    QHash<const QSFile *, Counted> kept;
    std::vector<std::shared_ptr<QSFile>> stale;
    qsizetype staleText = 0;
    for (const std::shared_ptr<QSFile> &file : files) {
        auto it = _files.find(file.get());
        if (it != _files.end() && it->file.lock() == file) {
            kept.insert(file.get(), std::move(*it));
            _files.erase(it);
        } else {
            kept.insert(file.get(), Counted{file, {}, {}, false});
        }
        const Counted &counted = kept[file.get()];
        if (!counted.counting && counted.revision != revisionOf(*file)) {
            stale.push_back(file);
            staleText += file->content().size();
        }
    }
    // What is left belongs to files the document no longer has.
    for (const Counted &gone : std::as_const(_files))
        add(gone.counts, -1);
    _files = std::move(kept);

    if (staleText <= countedAtOnce) {
        for (const std::shared_ptr<QSFile> &file : stale)
            take(file.get(), revisionOf(*file), count(file->content()));
        return;
    }
    if (_worker->isRunning())
        return;
    // The worker counts copies: the text view may change a file's text meanwhile.
    std::vector<Job> jobs;
    for (const std::shared_ptr<QSFile> &file : stale) {
        jobs.push_back({file.get(), revisionOf(*file), file->content(), {}});
        _files[file.get()].counting = true;
    }
    _worker->setFuture(QtConcurrent::run([jobs = std::move(jobs)]() mutable {
        for (Job &job : jobs) {
            job.counts = count(job.text);
            job.text.clear();
        }
        return std::move(jobs);
    }));
}

void DocumentUsage::waitForCounting()
{
    // Finished but not yet heard of counts as well.
    _worker->waitForFinished();
    workerFinished();
}

void DocumentUsage::workerFinished()
{
    if (!_worker->future().isValid() || _worker->future().resultCount() == 0)
        return;
    std::vector<Job> jobs = _worker->future().takeResult();
    _worker->setFuture({});
    for (Job &job : jobs) {
        auto it = _files.find(job.file);
        if (it == _files.end())
            continue; // the file left the document meanwhile
        it->counting = false;
        take(job.file, job.revision, std::move(job.counts));
    }
    emit counted();
}

void DocumentUsage::take(const QSFile *file, const Revision &revision, Counts counts)
{
    Counted &counted = _files[file];
    add(counted.counts, -1);
    counted.counts = std::move(counts);
    counted.revision = revision;
    add(counted.counts, 1);
}

void DocumentUsage::add(const Counts &counts, int sign)
{
    addInto(_total.commands, counts.commands, sign);
    addInto(_total.environments, counts.environments, sign);
}
