#include "editor/references/ReferenceChecker.h"

#include "editor/completion/BibliographyIndex.h"
#include "editor/references/FileReferences.h"
#include "editor/references/ReferenceIndex.h"
#include "editor/references/ReferenceRules.h"
#include "model/FileSymbols.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

ReferenceChecker::ReferenceChecker(std::function<std::shared_ptr<QSFile>()> rootFile,
                                   QObject *parent)
    : QObject(parent)
    , _rootFile(std::move(rootFile))
    , _bibliography(new BibliographyIndex(this))
{
    qRegisterMetaType<QList<ReferenceProblem>>();
    // The checking thread emits; the problems are taken where they are shown.
    connect(this, &ReferenceChecker::problemsReady, this, &ReferenceChecker::takeProblems,
            Qt::QueuedConnection);
    connect(_bibliography, &BibliographyIndex::entriesChanged, this,
            &ReferenceChecker::databasesRead);
    setRootFile(_rootFile());
    symbolsChanged();
}

ReferenceChecker::~ReferenceChecker() = default;

void ReferenceChecker::request(const std::function<void(Request &)> &change)
{
    _worker.request(change);
}

void ReferenceChecker::setRootFile(const std::shared_ptr<QSFile> &root)
{
    _rootHanded = root;
    const QString folder = root && !root->isUntitled() ? root->directory() : QString();
    request([&](Request &inbox) {
        inbox.root = root;
        inbox.folder = folder;
        inbox.rootChanged = true;
    });
}

void ReferenceChecker::fileChanged(const std::shared_ptr<QSFile> &file)
{
    // The document's root may have been replaced (saved under another name, read again).
    if (const std::shared_ptr<QSFile> root = _rootFile(); root != _rootHanded.lock()) {
        setRootFile(root);
        symbolsChanged();
        return;
    }
    request([&](Request &inbox) { inbox.changedFiles.push_back(file); });
}

void ReferenceChecker::symbolsChanged()
{
    const std::shared_ptr<QSFile> root = _rootFile();
    if (!root)
        return;
    QStringList names;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get())) {
        for (const QString &name : file->symbols()->bibliographies) {
            if (!names.contains(name))
                names << name;
        }
    }
    _databaseNames = names;
    _bibliography->setDatabases(root->isUntitled() ? QString() : root->directory(), names);
}

// The index reads again when the names change while it reads: the paths it found
// tell which names the entries it gives are those of.
void ReferenceChecker::databasesRead()
{
    Databases databases;
    databases.names = _databaseNames;
    const QStringList paths = _bibliography->paths();
    databases.read = paths.size() == _databaseNames.size();
    for (qsizetype i = 0; databases.read && i < paths.size(); ++i) {
        const QFileInfo path(paths[i]);
        databases.read = !paths[i].isEmpty() && path.isReadable()
                         && path.fileName() == QFileInfo(_databaseNames[i]).fileName();
    }
    for (const BibEntry &entry : _bibliography->entries())
        databases.keys.insert(entry.key.toLower());
    request([&](Request &inbox) { inbox.databases = std::move(databases); });
}

QList<ReferenceProblem> ReferenceChecker::problemsIn(const QSFile *file) const
{
    QList<ReferenceProblem> problems;
    for (const ReferenceProblem &problem : _problems) {
        if (problem.file.lock().get() == file)
            problems.append(problem);
    }
    return problems;
}

void ReferenceChecker::waitUntilIdle()
{
    _worker.waitUntilIdle();
}

void ReferenceChecker::takeProblems(const QList<ReferenceProblem> &problems)
{
    if (problems == _problems)
        return;
    _problems = problems;
    emit problemsChanged();
}

void ReferenceChecker::check(Request request)
{
    if (request.rootChanged) {
        _root = request.root;
        _files.clear();
        _index.clear();
        if (request.folder != _folder)
            _documentText.clear();
        _folder = request.folder;
    }
    if (request.databases)
        _databases = std::move(*request.databases);
    const std::shared_ptr<QSFile> root = _root.lock();
    if (!root) {
        emit problemsReady({});
        return;
    }
    for (const std::weak_ptr<QSFile> &changed : request.changedFiles) {
        const auto found = _files.find(changed.lock().get());
        if (found != _files.end())
            found->second->stale = true;
    }

    // Each file's tree is read under the lock on its own, so that the edit worker and
    // the UI thread wait at most for one file; a file changed meanwhile is announced
    // again and read at the next check.
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(root.get());
    std::unordered_map<const QSFile *, std::unique_ptr<FileReferences>> kept;
    std::chrono::microseconds longestHold{0};
    ReferenceRules::Document document;
    document.whole = true;
    for (const std::shared_ptr<QSFile> &file : files) {
        auto found = _files.find(file.get());
        std::unique_ptr<FileReferences> references;
        if (found != _files.end())
            references = std::move(found->second);
        else
            references = std::make_unique<FileReferences>();
        bool read = false;
        {
            std::lock_guard lock(QSFilePool::documentModelLock());
            const auto start = std::chrono::steady_clock::now();
            if (references->stale || references->root() != file->treeRootNode()) {
                references->read(file->treeRootNode());
                read = true;
            }
            longestHold =
                std::max(longestHold, std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start));
        }
        if (read) {
            const QList<ReferenceRules::Occurrence> before = references->occurrences();
            references->scan();
            _index.remove(before);
            _index.add(references->occurrences());
        }
        for (const QString &name : file->symbols()->bibliographies) {
            if (!document.databases.contains(name))
                document.databases << name;
        }
        document.files.append({file, references->name(), references->occurrences()});
        for (const QString &command : references->literalCommands())
            document.literalCommands.insert(command);
        // A file the outline cannot follow may define any label and name any database.
        if (references->includesOtherwise())
            document.whole = false;
        for (const QString &name : references->unfollowedIncludes()) {
            if (document.whole && isDocumentText(name))
                document.whole = false;
        }
        kept.emplace(file.get(), std::move(references));
    }
    _worker.setLongestHold(longestHold);
    const QString documentClass =
        kept.empty() ? QString() : kept.at(files.first().get())->documentClass();
    // A file compiled only as a part of another (a chapter opened alone, or one of
    // the subfiles package) cannot see the other parts' labels.
    if (documentClass.isEmpty() || documentClass == QLatin1String("subfiles"))
        document.whole = false;
    document.databasesRead = _databases.read && _databases.names == document.databases;
    document.databaseKeys = _databases.keys;
    _files.swap(kept);
    // The files that left the document take their labels with them; their nodes
    // are let go here, without any lock.
    for (const auto &[file, references] : kept) {
        if (references)
            _index.remove(references->occurrences());
    }
    kept.clear();
    document.index = &_index;
    emit problemsReady(ReferenceRules::check(document));
}

// The pool looked for an include's name with ".tex" added: "figure.pdf_tex.tex" was
// written "figure.pdf_tex", the text of a drawing, which holds no labels. A file of
// the TeX installation (glyphtounicode) is not the document's either. Anything else
// not read (a file still to be made, a name made by a macro) may be.
bool ReferenceChecker::isDocumentText(const QString &name)
{
    const auto known = _documentText.constFind(name);
    if (known != _documentText.cend())
        return *known;
    bool text = true;
    QString written = name;
    if (written.endsWith(QLatin1String(".tex"))
        && !QFileInfo(written.chopped(4)).suffix().isEmpty())
        written.chop(4);
    if (!written.contains(u'\\') && !_folder.isEmpty()) {
        const QString local = QDir(_folder).filePath(written);
        const QString suffix = QFileInfo(written).suffix();
        if (QFileInfo::exists(local)) {
            text = suffix.isEmpty() || suffix == QLatin1String("tex");
        } else {
            QProcess kpsewhich;
            kpsewhich.setWorkingDirectory(_folder);
            kpsewhich.start(QStringLiteral("kpsewhich"), {written});
            if (kpsewhich.waitForFinished(5000)) {
                const QString found =
                    QString::fromLocal8Bit(kpsewhich.readAllStandardOutput()).trimmed();
                text = found.isEmpty() || !QFileInfo(found).isAbsolute()
                       || QFileInfo(found).absoluteFilePath().startsWith(_folder + u'/');
            } else {
                kpsewhich.kill();
                kpsewhich.waitForFinished();
            }
        }
    }
    _documentText.insert(name, text);
    return text;
}
