#pragma once

#include "model/QSRange.h"
#include "platform/FileAttributes.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class ErrorWarningNode;
struct FileSymbols;
class QSSectionNode;
class QSUndoManager;

// One LaTeX source file: its text as the editor last showed it, the outline tree
// built from that text, what was seen of it on disk, its undo history, its place
// in the include graph and the diagnostics of the last compile. There is one
// QSFile per path; the file pool creates and shares them.
//
// Threads: created, read and saved on the UI thread, or on the edit worker when an
// edit adds an include command; the tree and the include graph are guarded by the
// document-model lock.
class QSFile : public std::enable_shared_from_this<QSFile>
{
public:
    // A file at a location, read at once; a treeRootNode of none means it could not be read.
    static std::shared_ptr<QSFile> initWithFilePath(const QUrl &path);
    // A file that lives only in memory until it is first saved, made from a template.
    static std::shared_ptr<QSFile> initUntitledFileWithTemplateString(const QString &templateString,
                                                                      const QString &title);
    ~QSFile();

    const QString &content() const { return _content; }
    void setContent(const QString &content) { _content = content; }
    std::shared_ptr<QSSectionNode> treeRootNode() const { return _treeRootNode; }
    void setTreeRootNode(const std::shared_ptr<QSSectionNode> &node);
    QUrl path() const { return _path; }
    // The path as plain text, which is also the file's key in the pool.
    QString pathText() const { return _path.toLocalFile(); }
    QSUndoManager &undoManager() const { return *_undoManager; }
    bool isUntitled() const { return _isUntitled; }
    QSRange currentSelection() const { return _currentSelection; }
    void setCurrentSelection(QSRange selection) { _currentSelection = selection; }
    // The undo history's state of the text when the file was last saved (or read).
    quint64 undoStateAtLastSave() const { return _undoStateAtLastSave; }

    QString name() const;
    QString directory() const;

    // Re-reads the file when it changed on disk; true when the text was read and the
    // tree rebuilt.
    bool readFile();
    bool hasFileChanged() const;
    // Logs the file's tree (QSSectionNode::printStructure); takes the document-model lock.
    void printStructure() const;
    // The file is gone from disk (deleted, or moved away): its text stays and counts
    // as not saved, so that saving writes it again. True when this is news.
    bool markGoneFromDisk();
    bool changeAttributesToUpdatedVersion();
    bool hasContentChangedSinceLastSave(bool lookAtIncludedFiles) const;
    // The editor's text changed: the removed characters at the location gave way to
    // the added text. Keeps content equal to the editor's text without copying it.
    void contentDidChange(qsizetype location, qsizetype removedLength, const QString &added)
    {
        _content.replace(location, removedLength, added);
    }

    // The encoding the file was read in and is saved in: the one its "% !TeX encoding"
    // line names when the file decodes in it without loss, else the "FileEncoding"
    // preference (as it is at the time of asking).
    int encoding() const;
    // Why the last read did not follow the file's "% !TeX encoding" line, in one line
    // for the user (a name of no known encoding, or bytes that are not text in it);
    // empty when it did, or when the file has no such line.
    QString encodingNotice() const { return _encodingNotice; }

    // Both saves write atomically in the file's encoding() and write nothing when
    // the text holds a character that encoding cannot represent. A text whose
    // "% !TeX encoding" line now names another known encoding than when it was read
    // is written in that one, as the line says.
    bool saveFile();
    bool saveFileToURL(const QUrl &location);
    // Writes the text to this file's path and reads it back; nothing changes when
    // the write fails. For a file that takes over an untitled document's text.
    bool replaceContentAndSave(const QString &text);
    // Why the last save failed, for the user; empty after a save that succeeded.
    QString lastSaveError() const { return _lastSaveError; }

    void addChild(QSFile *file);
    void removeChild(QSFile *file);
    // The folder is where the including file's command named this file from (its
    // own folder when empty): the path from there is the one the engine writes.
    void addParent(QSFile *file, const QString &folder = {});
    void removeParent(QSFile *file);
    // Appends every file reachable through the included files, depth first, each once.
    void addAllIncludedFilesToArray(QList<QSFile *> *files) const;
    QList<QSFile *> filesWhichIncludeThisFile() const { return living(_filesWhichIncludeThisFile); }
    QList<QSFile *> filesWhichThisFileIncludes() const
    {
        return living(_filesWhichThisFileIncludes);
    }
    // Takes the document-model lock.
    QSet<QString> relativeIncludePathsToThisFile() const;

    // What the file defines and names (labels, commands, environments, databases)
    // as of its tree's last change; for any thread. Never none.
    std::shared_ptr<const FileSymbols> symbols() const;
    // Gathers them again from the tree, reading only the nodes whose text changed.
    // Takes the document-model lock.
    void refreshSymbols() const;

    std::optional<QUrl> pdfPath() const;
    bool doesPdfExist() const;
    std::optional<QString> pdfSyncPath() const;
    bool doesPdfSyncExist() const;
    std::optional<QString> contentOfPdfSync() const;

    const QList<std::shared_ptr<ErrorWarningNode>> &compileErrorsAndWarnings() const
    {
        return _compileErrorsAndWarnings;
    }
    void addCompileErrorOrWarning(const std::shared_ptr<ErrorWarningNode> &diagnostic);
    void clearCompileAndWarnings() { _compileErrorsAndWarnings.clear(); }

private:
    QSFile(const QUrl &path, bool isUntitled);
    std::shared_ptr<QSSectionNode> buildTree(const QString &text);
    void replaceOldTree(const std::shared_ptr<QSSectionNode> &oldTree);
    std::optional<QString> decode(const QByteArray &bytes, int &ownEncoding, QString &declared,
                                  QString &notice) const;
    int encodingForSaving(const QString &text) const;
    bool writeText(const QString &text, const QString &path, int encoding);
    bool save(const QString &text, const QString &path);
    std::optional<QString> companionPath(const QString &extension) const;
    bool hasContentChangedSinceLastSave(QList<const QSFile *> &visited) const;
    static QList<QSFile *> living(const QList<std::weak_ptr<QSFile>> &files);
    static void forget(QList<std::weak_ptr<QSFile>> &files, const QSFile *file);

    QString _content;
    std::shared_ptr<QSSectionNode> _treeRootNode;
    std::optional<FileAttributes> _attributes;
    QUrl _path;
    std::unique_ptr<QSUndoManager> _undoManager;
    bool _isUntitled;
    // The include graph does not own its files; a file that goes away drops out of it.
    QList<std::weak_ptr<QSFile>> _filesWhichIncludeThisFile;
    QList<std::weak_ptr<QSFile>> _filesWhichThisFileIncludes;
    // The path by which each including file reaches this one.
    QHash<const QSFile *, QString> _relativeIncludePathsToThisFile;
    QSRange _currentSelection;
    QList<std::shared_ptr<ErrorWarningNode>> _compileErrorsAndWarnings;
    // Set on the UI thread, read by the edit worker as well. A file gone from disk
    // holds a value that no state of the text ever takes.
    std::atomic<quint64> _undoStateAtLastSave{0};
    QString _lastSaveError;
    mutable std::mutex _symbolsLock;
    mutable std::shared_ptr<const FileSymbols> _symbols; // guarded by _symbolsLock
    // Without an edit worker, a new tree's symbols are gathered when first asked for.
    mutable bool _symbolsStale = false;      // guarded by _symbolsLock
    QString _lineEnd = QStringLiteral("\n"); // as read from disk: "\n", "\r\n" or "\r"
    // A file in another encoding than the preference's is written back in its own:
    // TeX reads the bytes, so a save must never change what its characters are.
    // The number its "% !TeX encoding" line named, 0 when it had none that held.
    int _ownEncoding = 0;
    // That line's value when the file was last read or saved.
    QString _declaredEncoding;
    QString _encodingNotice;
};
