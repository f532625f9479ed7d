#include "model/QSFile.h"

#include "model/ChangesQueue.h"
#include "model/FileSymbols.h"
#include "model/MagicComments.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "platform/Assertions.h"
#include "platform/Log.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <limits>

QSFile::QSFile(const QUrl &path, bool isUntitled)
    : _path(path)
    , _undoManager(std::make_unique<QSUndoManager>())
    , _isUntitled(isUntitled)
    , _symbols(std::make_shared<FileSymbols>())
{}

QSFile::~QSFile() = default;

std::shared_ptr<QSFile> QSFile::initWithFilePath(const QUrl &path)
{
    std::shared_ptr<QSFile> file(new QSFile(path, false));
    file->readFile();
    return file;
}

std::shared_ptr<QSFile> QSFile::initUntitledFileWithTemplateString(const QString &templateString,
                                                                   const QString &title)
{
    std::shared_ptr<QSFile> file(new QSFile(QUrl::fromLocalFile(title), true));
    file->_content = templateString;
    file->setTreeRootNode(file->buildTree(templateString));
    return file;
}

std::shared_ptr<QSSectionNode> QSFile::buildTree(const QString &text)
{
    const std::shared_ptr<QSSectionNode> root = QSSectionNode::initWithData(
        text, QSNodeType::File, name(), weak_from_this(), nullptr, weak_from_this());
    root->nestParsedChildren();
    return root;
}

void QSFile::setTreeRootNode(const std::shared_ptr<QSSectionNode> &node)
{
    _treeRootNode = node;
    if (node) {
        node->setNodeFile(weak_from_this());
        node->setRootFile(weak_from_this());
    }
    // Reading a long document's symbols is the edit worker's job when there is one;
    // without one, whoever asks first reads them, so that opening never waits for it.
    if (ChangesQueue *queue = ChangesQueue::sharedQueue(); queue && node) {
        queue->gatherSymbols(shared_from_this());
    } else {
        std::lock_guard lock(_symbolsLock);
        _symbolsStale = true;
    }
}

std::shared_ptr<const FileSymbols> QSFile::symbols() const
{
    {
        std::lock_guard lock(_symbolsLock);
        if (!_symbolsStale)
            return _symbols;
    }
    refreshSymbols();
    std::lock_guard lock(_symbolsLock);
    return _symbols;
}

void QSFile::refreshSymbols() const
{
    auto symbols = std::make_shared<FileSymbols>();
    {
        std::lock_guard modelLock(QSFilePool::documentModelLock());
        if (_treeRootNode)
            *symbols = FileSymbols::collect(*_treeRootNode);
    }
    std::lock_guard lock(_symbolsLock);
    _symbols = std::move(symbols);
    _symbolsStale = false;
}

QString QSFile::name() const
{
    const QString text = pathText();
    if (!QS_ASSERT(!text.isEmpty(), "path is nil"))
        return {};
    // The pool holds a new document's file under its title with every space made
    // "_" ("Untitled_2"); its name is the title the window shows ("Untitled 2").
    const QString name = text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
    return _isUntitled ? QString(name).replace(u'_', u' ') : name;
}

QString QSFile::directory() const
{
    const QString text = pathText();
    if (!QS_ASSERT(!text.isEmpty(), "path is nil"))
        return {};
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (!QS_ASSERT(slash >= 0, "slashRange not found"))
        return {};
    return text.left(slash + 1);
}

// A file that cannot be read (gone from disk, or not decodable in the chosen
// encoding) keeps the tree and text it has: they may hold the user's only copy.
// A file read for the first time then has no tree, which tells the caller.
bool QSFile::readFile()
{
    if (_isUntitled || !hasFileChanged())
        return false;
    QFile file(pathText());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int ownEncoding = 0;
    QString declared;
    std::optional<QString> text = decode(file.readAll(), ownEncoding, declared, _encodingNotice);
    if (!_encodingNotice.isEmpty())
        qsLog(quillsetModel, _encodingNotice);
    if (!text)
        return false;
    _ownEncoding = ownEncoding;
    _declaredEncoding = declared;
    // The text view knows only line feeds: a file written with CR LF or CR line
    // ends is held with line feeds, so that every offset in the text view is the
    // same in the file's text and tree, and gets its own line ends back when saved.
    if (text->contains(u'\r')) {
        _lineEnd =
            text->contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\r");
        text->replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text->replace(u'\r', u'\n');
    }
    const std::shared_ptr<QSSectionNode> oldTree = _treeRootNode;
    setTreeRootNode(buildTree(*text));
    changeAttributesToUpdatedVersion();
    // The text is now the one on disk: nothing is unsaved, whatever was before.
    _undoManager->removeAllActions();
    _undoStateAtLastSave = _undoManager->stateOfText();
    setContent(*text);
    if (oldTree)
        replaceOldTree(oldTree);
    return true;
}

// The magic line is ASCII in every encoding a file can be in, so it is found in the
// raw bytes before the text is decoded.
std::optional<QString> QSFile::decode(const QByteArray &bytes, int &ownEncoding, QString &declared,
                                      QString &notice) const
{
    const int preference = UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding);
    ownEncoding = 0;
    notice.clear();
    QByteArray head = bytes.left(MagicComments::headCharacters);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    declared = MagicComments::read(QString::fromLatin1(head)).encoding;
    if (declared.isEmpty())
        return TextEncoding::decode(bytes, preference);

    const std::optional<int> number = TextEncoding::numberForName(declared);
    if (!number) {
        notice = QObject::tr("%1 names the encoding \"%2\", which is not one this program "
                             "knows; it was read as %3.")
                     .arg(name(), declared, TextEncoding::label(preference));
        return TextEncoding::decode(bytes, preference);
    }
    // The single-byte sets take almost any bytes, so UTF-8 text decodes in them too,
    // as nonsense: letters of two or more bytes that all make sense in UTF-8 mean
    // the line is stale, not the text.
    const bool isUtf8Text =
        *number != TextEncoding::UTF8
        && std::any_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) >= 0x80; })
        && TextEncoding::decode(bytes, TextEncoding::UTF8);
    if (!isUtf8Text) {
        if (std::optional<QString> text = TextEncoding::decode(bytes, *number)) {
            ownEncoding = *number;
            return text;
        }
    }
    std::optional<QString> text = TextEncoding::decode(bytes, preference);
    notice = text ? QObject::tr("%1 is not %2 text as its \"% !TeX encoding\" line says; it "
                                "was read as %3.")
                        .arg(name(), TextEncoding::label(*number), TextEncoding::label(preference))
                  : QObject::tr("%1 is neither %2 text, as its \"% !TeX encoding\" line says, "
                                "nor %3 text.")
                        .arg(name(), TextEncoding::label(*number), TextEncoding::label(preference));
    return text;
}

int QSFile::encoding() const
{
    return _ownEncoding ? _ownEncoding
                        : UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding);
}

// The line may have been edited since the file was read: a new name that holds is
// followed, anything else keeps the encoding the file was read in.
int QSFile::encodingForSaving(const QString &text) const
{
    const QString declared = MagicComments::read(text).encoding;
    if (declared != _declaredEncoding) {
        if (const std::optional<int> number = TextEncoding::numberForName(declared))
            return *number;
    }
    return encoding();
}

// The new tree's include nodes have opened their files again, so the old tree's
// opens go back to the pool; and the include nodes of other files that held the
// old tree now hold the new one, so that no outline goes on showing a stale tree.
void QSFile::replaceOldTree(const std::shared_ptr<QSSectionNode> &oldTree)
{
    std::lock_guard lock(QSFilePool::documentModelLock());
    if (QSFilePool *pool = QSFilePool::sharedFilePool())
        pool->releaseIncludesOfTree(oldTree, this);
    for (QSFile *parent : filesWhichIncludeThisFile()) {
        if (!parent->treeRootNode())
            continue;
        for (const std::shared_ptr<QSSectionNode> &include :
             parent->treeRootNode()->includeNodes()) {
            if (include->children() == QSSectionNode::List{oldTree})
                include->setChildren({_treeRootNode});
        }
    }
}

void QSFile::printStructure() const
{
    std::lock_guard lock(QSFilePool::documentModelLock());
    if (_treeRootNode)
        _treeRootNode->printStructure(0);
}

bool QSFile::replaceContentAndSave(const QString &text)
{
    if (!QS_ASSERT(!_isUntitled, "file is untitled - can't be saved with this method"))
        return false;
    if (!writeText(text, pathText(), encodingForSaving(text)))
        return false;
    // Read back what was written, as after any change on disk: new tree, new history.
    _attributes.reset();
    readFile();
    _undoStateAtLastSave = _undoManager->stateOfText();
    return true;
}

bool QSFile::hasFileChanged() const
{
    return FileAttributes::ofFileAtPath(pathText()) != _attributes;
}

bool QSFile::markGoneFromDisk()
{
    if (_isUntitled || !_attributes || FileAttributes::ofFileAtPath(pathText()))
        return false;
    _attributes.reset();
    _undoStateAtLastSave = std::numeric_limits<quint64>::max();
    return true;
}

bool QSFile::changeAttributesToUpdatedVersion()
{
    _attributes = FileAttributes::ofFileAtPath(pathText());
    return true;
}

bool QSFile::hasContentChangedSinceLastSave(bool lookAtIncludedFiles) const
{
    if (_undoManager->stateOfText() != _undoStateAtLastSave)
        return true;
    if (!lookAtIncludedFiles)
        return false;
    QList<const QSFile *> visited{this};
    return hasContentChangedSinceLastSave(visited);
}

// Looks at the included files at any depth, each once, so that an include cycle ends.
bool QSFile::hasContentChangedSinceLastSave(QList<const QSFile *> &visited) const
{
    for (const QSFile *child : filesWhichThisFileIncludes()) {
        if (visited.contains(child))
            continue;
        visited.append(child);
        if (child->_undoManager->stateOfText() != child->_undoStateAtLastSave
            || child->hasContentChangedSinceLastSave(visited)) {
            return true;
        }
    }
    return false;
}

bool QSFile::saveFile()
{
    if (!QS_ASSERT(!_isUntitled, "file is untitled - can't be saved with this method"))
        return false;
    return save(_content, pathText());
}

bool QSFile::saveFileToURL(const QUrl &location)
{
    if (!QS_ASSERT(location.isValid() && !location.isEmpty(), "URL WAS NIL"))
        return false;
    if (!_treeRootNode || !save(_treeRootNode->nodeDataWithChildren(), location.toLocalFile()))
        return false;
    if (_isUntitled) {
        _isUntitled = false;
        _path = location;
    }
    _treeRootNode->setNodeName(name());
    return true;
}

// Writes the whole text or nothing: an unrepresentable character or a failed
// write leaves the file on disk as it was.
bool QSFile::writeText(const QString &text, const QString &path, int encoding)
{
    // The file keeps the line ends it had on disk.
    const std::optional<QByteArray> bytes = TextEncoding::encode(
        _lineEnd == QLatin1String("\n") ? text : QString(text).replace(u'\n', _lineEnd), encoding);
    if (!bytes) {
        _lastSaveError =
            QObject::tr("The text holds a character that the encoding \"%1\" cannot represent.")
                .arg(TextEncoding::label(encoding));
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size() && file.commit()) {
        _lastSaveError.clear();
        return true;
    }
    _lastSaveError = file.errorString();
    return false;
}

// A failed save leaves this file's state as it was.
bool QSFile::save(const QString &text, const QString &path)
{
    const int encoding = encodingForSaving(text);
    if (!writeText(text, path, encoding))
        return false;
    // Saving a titled file elsewhere writes a copy; only the file's own path is watched.
    if (path == pathText() || _isUntitled) {
        _attributes = FileAttributes::ofFileAtPath(path);
        const QString declared = MagicComments::read(text).encoding;
        if (declared != _declaredEncoding && TextEncoding::numberForName(declared))
            _ownEncoding = encoding;
        _declaredEncoding = declared;
    }
    _undoStateAtLastSave = _undoManager->stateOfText();
    return true;
}

QList<QSFile *> QSFile::living(const QList<std::weak_ptr<QSFile>> &files)
{
    QList<QSFile *> alive;
    for (const std::weak_ptr<QSFile> &file : files) {
        if (const std::shared_ptr<QSFile> held = file.lock())
            alive.append(held.get());
    }
    return alive;
}

void QSFile::forget(QList<std::weak_ptr<QSFile>> &files, const QSFile *file)
{
    files.removeIf([file](const std::weak_ptr<QSFile> &each) { return each.lock().get() == file; });
}

void QSFile::addChild(QSFile *file)
{
    if (!filesWhichThisFileIncludes().contains(file))
        _filesWhichThisFileIncludes.append(file->weak_from_this());
}

void QSFile::removeChild(QSFile *file)
{
    forget(_filesWhichThisFileIncludes, file);
}

namespace {
// This file's path relative to the folder of a file that includes it, or none when
// it lies outside that folder.
std::optional<QString> relativeIncludePath(const QString &directory, const QString &name,
                                           const QString &parentDirectory)
{
    if (directory.isEmpty() || !directory.startsWith(parentDirectory))
        return std::nullopt;
    return directory.mid(parentDirectory.size()) + name;
}
} // namespace

void QSFile::addParent(QSFile *file, const QString &folder)
{
    if (filesWhichIncludeThisFile().contains(file))
        return;
    _filesWhichIncludeThisFile.append(file->weak_from_this());
    if (std::optional<QString> relative =
            relativeIncludePath(directory(), name(), folder.isEmpty() ? file->directory() : folder))
        _relativeIncludePathsToThisFile.insert(file, *relative);
}

void QSFile::removeParent(QSFile *file)
{
    if (!QS_ASSERT(file, "parentToRemove was nil"))
        return;
    forget(_filesWhichIncludeThisFile, file);
    if (!QS_ASSERT(!directory().isEmpty(), "directoryPath was nil"))
        return;
    _relativeIncludePathsToThisFile.remove(file);
}

QSet<QString> QSFile::relativeIncludePathsToThisFile() const
{
    // Only the files that still include this one count.
    std::lock_guard lock(QSFilePool::documentModelLock());
    QSet<QString> paths;
    for (QSFile *parent : filesWhichIncludeThisFile()) {
        if (const auto path = _relativeIncludePathsToThisFile.constFind(parent);
            path != _relativeIncludePathsToThisFile.cend())
            paths.insert(*path);
    }
    return paths;
}

void QSFile::addAllIncludedFilesToArray(QList<QSFile *> *files) const
{
    if (!files)
        return;
    for (QSFile *child : filesWhichThisFileIncludes()) {
        // A file already listed has had its own included files listed when it was
        // added (or is being listed now, in an include cycle).
        if (files->contains(child))
            continue;
        files->append(child);
        child->addAllIncludedFilesToArray(files);
    }
}

// The companion has the source's name with its extension replaced; a dot in a
// folder name does not count as the extension.
std::optional<QString> QSFile::companionPath(const QString &extension) const
{
    const QString text = pathText();
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < text.lastIndexOf(QLatin1Char('/')))
        return std::nullopt;
    return text.left(dot + 1) + extension;
}

std::optional<QUrl> QSFile::pdfPath() const
{
    const std::optional<QString> companion = companionPath(QStringLiteral("pdf"));
    if (!companion)
        return std::nullopt;
    return QUrl::fromLocalFile(*companion);
}

bool QSFile::doesPdfExist() const
{
    const std::optional<QString> companion = companionPath(QStringLiteral("pdf"));
    return !_isUntitled && companion && QFile::exists(*companion);
}

std::optional<QString> QSFile::pdfSyncPath() const
{
    return companionPath(QStringLiteral("pdfsync"));
}

bool QSFile::doesPdfSyncExist() const
{
    const std::optional<QString> companion = pdfSyncPath();
    return !_isUntitled && companion && QFile::exists(*companion);
}

std::optional<QString> QSFile::contentOfPdfSync() const
{
    if (!doesPdfSyncExist())
        return std::nullopt;
    QFile file(*pdfSyncPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return TextEncoding::decode(file.readAll(), TextEncoding::UTF8);
}

void QSFile::addCompileErrorOrWarning(const std::shared_ptr<ErrorWarningNode> &diagnostic)
{
    _compileErrorsAndWarnings.append(diagnostic);
}
