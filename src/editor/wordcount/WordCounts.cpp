#include "editor/wordcount/WordCounts.h"

#include "editor/wordcount/WordCounter.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <functional>
#include <pthread.h>

// What the counting thread read of one file's tree, node by node in document order,
// with each node's count and the states its text begins and ends in.
struct WordCounts::FileCounts
{
    struct Entry
    {
        std::shared_ptr<QSSectionNode> node;
        QString text;                     // the node's own text when read
        qint32 location = 0;              // where that text begins in the file
        int parent = -1;                  // the entry of the node's parent
        const QSFile *included = nullptr; // the file an include node holds
        bool isText = false;
        WordCounter::State start;
        WordCounter::State end;
        int words = -1; // -1: not counted yet
    };

    std::weak_ptr<QSFile> file;
    std::shared_ptr<QSSectionNode> root;
    std::vector<Entry> entries;
    bool stale = true;
    int ownWords = 0;

    void read(const std::shared_ptr<QSSectionNode> &rootNode);
    void count();

private:
    void append(const std::shared_ptr<QSSectionNode> &node, int parent, qint32 &location);
};

// The caller holds the document-model lock. The counts of the nodes read before
// stay with them, to be used again where a node's text is the same.
void WordCounts::FileCounts::read(const std::shared_ptr<QSSectionNode> &rootNode)
{
    std::vector<Entry> before;
    before.swap(entries);
    std::unordered_map<const QSSectionNode *, size_t> earlier;
    earlier.reserve(before.size());
    for (size_t i = 0; i < before.size(); ++i)
        earlier.emplace(before[i].node.get(), i);

    root = rootNode;
    entries.reserve(before.size());
    qint32 location = 0;
    if (root)
        append(root, -1, location);
    for (Entry &entry : entries) {
        const auto found = earlier.find(entry.node.get());
        if (found == earlier.end())
            continue;
        Entry &old = before[found->second];
        // An edited node holds a new string; comparing the characters is the
        // fallback for a text set again to what it was.
        if (old.text.size() == entry.text.size()
            && (old.text.constData() == entry.text.constData() || old.text == entry.text)) {
            entry.start = std::move(old.start);
            entry.end = std::move(old.end);
            entry.words = old.words;
        }
    }
    stale = false;
}

void WordCounts::FileCounts::append(const std::shared_ptr<QSSectionNode> &node, int parent,
                                    qint32 &location)
{
    Entry entry;
    entry.node = node;
    entry.text = node->nodeData();
    entry.location = location;
    entry.parent = parent;
    entry.isText = node->isTextNode();
    location += qint32(entry.text.size());
    const int index = int(entries.size());
    if (node->isFileIncludeNode()) {
        if (!node->children().isEmpty())
            entry.included = node->children().first()->nodeFile().get();
        entries.push_back(std::move(entry));
        return;
    }
    entries.push_back(std::move(entry));
    for (const std::shared_ptr<QSSectionNode> &child : node->children())
        append(child, index, location);
}

// Counts, in document order, each node whose text or starting state is new; the
// others keep their counts. Without any lock: the entries are the thread's own.
void WordCounts::FileCounts::count()
{
    WordCounter::State state;
    ownWords = 0;
    for (Entry &entry : entries) {
        if (entry.words < 0 || !(entry.start == state)) {
            entry.start = state;
            entry.words = WordCounter::count(entry.text, state);
            entry.end = state;
        } else {
            state = entry.end;
        }
        ownWords += entry.words;
    }
}

WordCounts::WordCounts(std::function<std::shared_ptr<QSFile>()> rootFile, QObject *parent)
    : QObject(parent)
    , _rootFile(std::move(rootFile))
{
    qRegisterMetaType<WordCountResults>();
    // The counting thread emits; the counts are taken where they are shown.
    connect(this, &WordCounts::countsReady, this, &WordCounts::takeResults, Qt::QueuedConnection);
    setRootFile(_rootFile());
}

WordCounts::~WordCounts() = default;

void WordCounts::setRootFile(const std::shared_ptr<QSFile> &root)
{
    _rootHanded = root;
    _worker.request([&](Request &waiting) {
        waiting.root = root;
        waiting.rootChanged = true;
    });
}

void WordCounts::fileChanged(const std::shared_ptr<QSFile> &file)
{
    // The document's root may have been replaced (saved under another name, read again).
    if (const std::shared_ptr<QSFile> root = _rootFile(); root != _rootHanded.lock()) {
        setRootFile(root);
        return;
    }
    _worker.request([&](Request &waiting) { waiting.changedFiles.push_back(file); });
}

void WordCounts::setSelection(const std::shared_ptr<QSFile> &file, QSRange range)
{
    _worker.request([&](Request &waiting) {
        waiting.selectionFile = file;
        waiting.selection = range;
        waiting.selectionChanged = true;
    });
}

void WordCounts::waitUntilIdle()
{
    _worker.waitUntilIdle();
}

void WordCounts::takeResults(const WordCountResults &results)
{
    _results = results;
    emit countsChanged();
}

void WordCounts::pass(Request request)
{
    if (request.rootChanged) {
        _root = request.root;
        _counted.clear();
    }
    if (request.selectionChanged) {
        _selectionFile = request.selectionFile;
        _selection = request.selection;
    }
    WordCountResults results;
    std::chrono::microseconds longestHold{0};
    const std::shared_ptr<QSFile> root = _root.lock();
    if (!root) {
        _worker.setLongestHold(longestHold);
        emit countsReady(results);
        return;
    }
    for (const std::weak_ptr<QSFile> &changed : request.changedFiles) {
        const auto found = _counted.find(changed.lock().get());
        if (found != _counted.end())
            found->second->stale = true;
    }

    // Each file's tree is read under the lock on its own, so that the edit worker and
    // the UI thread wait at most for one file; a file changed meanwhile is announced
    // again and read at the next pass.
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(root.get());
    std::unordered_map<const QSFile *, std::unique_ptr<FileCounts>> counted;
    for (const std::shared_ptr<QSFile> &file : files) {
        auto found = _counted.find(file.get());
        std::unique_ptr<FileCounts> counts;
        if (found != _counted.end() && found->second->file.lock() == file)
            counts = std::move(found->second);
        else
            counts = std::make_unique<FileCounts>();
        counts->file = file;
        bool read = false;
        {
            std::lock_guard lock(QSFilePool::documentModelLock());
            const auto start = std::chrono::steady_clock::now();
            if (counts->stale || counts->root != file->treeRootNode()) {
                counts->read(file->treeRootNode());
                read = true;
            }
            longestHold =
                std::max(longestHold, std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start));
        }
        // A file not read again has the nodes and counts it had.
        if (read)
            counts->count();
        results.files.insert(file.get(), counts->ownWords);
        counted.emplace(file.get(), std::move(counts));
    }
    _counted.swap(counted);
    _worker.setLongestHold(longestHold);
    // The nodes of files that left the document are let go here, without any lock.
    counted.clear();

    // Totals under each node, included files first; a file that includes itself
    // adds nothing the second time.
    std::unordered_map<const QSFile *, int> fileTotals;
    std::function<int(const QSFile *)> totalOf = [&](const QSFile *file) -> int {
        if (const auto known = fileTotals.find(file); known != fileTotals.end())
            return known->second;
        const auto found = _counted.find(file);
        if (found == _counted.end())
            return 0;
        fileTotals.emplace(file, 0);
        std::vector<FileCounts::Entry> &entries = found->second->entries;
        std::vector<int> under(entries.size());
        for (size_t i = 0; i < entries.size(); ++i)
            under[i] = entries[i].words + (entries[i].included ? totalOf(entries[i].included) : 0);
        for (size_t i = entries.size(); i-- > 0;) {
            if (entries[i].parent >= 0)
                under[size_t(entries[i].parent)] += under[i];
            if (!entries[i].isText)
                results.sections.insert(entries[i].node.get(), under[i]);
        }
        const int total = entries.empty() ? 0 : under.front();
        fileTotals[file] = total;
        return total;
    };
    results.document = totalOf(root.get());
    results.selection = selectionWords();
    emit countsReady(results);
}

// The words of the selection, read from the tree of its file as the last pass read
// it, from the state its first node begins in.
int WordCounts::selectionWords() const
{
    const std::shared_ptr<QSFile> file = _selectionFile.lock();
    if (!file || _selection.length == 0)
        return -1;
    const auto found = _counted.find(file.get());
    if (found == _counted.end())
        return -1;
    const qint32 from = qint32(_selection.location);
    const qint32 to = qint32(_selection.location + _selection.length);
    int words = 0;
    bool begun = false;
    WordCounter::State state;
    for (const FileCounts::Entry &entry : found->second->entries) {
        const qint32 end = entry.location + qint32(entry.text.size());
        if (end <= from || entry.text.isEmpty())
            continue;
        if (entry.location >= to)
            break;
        const QStringView text(entry.text);
        qint32 start = 0;
        if (!begun) {
            state = entry.start;
            start = qMax(0, from - entry.location);
            WordCounter::count(text.left(start), state);
            begun = true;
        }
        words += WordCounter::count(text.mid(start, qMin(end, to) - entry.location - start), state);
    }
    return words;
}
