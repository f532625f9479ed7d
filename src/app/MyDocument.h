#pragma once

#include "app/DocumentRoot.h"
#include "model/QSDocument.h"
#include "model/QSRange.h"
#include "model/UsageScanner.h"

#include <QPointer>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <utility>

class ConsoleViewController;
class FindAndReplaceViewController;
class LivePreview;
class OutlineViewDataSource;
class QSPDFViewController;
class QAbstractItemModel;
class DocumentFilesWatcher;
class DocumentTabs;
class QLabel;
class QMainWindow;
class QSFile;
class QSSectionNode;
class QSTextView;
class QPointF;
class QPrinter;
class QSplitter;
class QTreeView;
class QUrl;
class TextStorageDelegate;
class WordCounts;
namespace Ui {
class MyDocument;
}

// One document window: the outline of the document's sections and files on the
// left, the text of one of its files in the middle, the PDF pane beside it, the
// console under it and the find strip above it. Keeps the outline, the text view
// and the panes in step and carries the window's actions.
class MyDocument : public QSDocument
{
    Q_OBJECT

public:
    explicit MyDocument(QObject *parent = nullptr);
    ~MyDocument() override;

    // Opening: reads the root file through the pool before the window is made;
    // false (with the reason for the user) when it cannot be read.
    bool readFromURL(const QUrl &location, QString *errorMessage);
    // Makes the window and sets it up; a document not read from disk gets an
    // untitled root file made from the template.
    void makeWindow();

    // QSDocument and Document
    std::shared_ptr<QSFile> fileOpened() const override;
    void willCloseFile(const std::shared_ptr<QSFile> &file) override;
    void setIsDocumentEdited(bool edited) override;
    bool isDocumentEdited() const override { return _isDocumentEdited; }
    QStringList namesOfUnsavedFiles() const override;
    bool isUntouched() const override;
    bool holdsFile(const QString &path) const override;
    void showFile(const QString &path) override;
    bool saveDocument() override;
    QWidget *window() const override;

    bool saveDocumentAs();
    bool saveDocumentToURL(const QUrl &location);

    // Shows the line of the file, in this window or, for a file outside the document,
    // in a window of its own; the window that shows it, if any.
    MyDocument *showLineOfFile(const std::shared_ptr<QSFile> &file, int lineNumber);
    // Shows the file and selects the range in it.
    void selectRange(QSRange range, const std::shared_ptr<QSFile> &file);
    // Lets another model (the find results) take the outline; none gives it back.
    void setDataSource(QAbstractItemModel *dataSource);
    // Brings the outline up to date: the whole of it, or the rows of one node.
    void reloadOutline(const std::shared_ptr<QSSectionNode> &node = nullptr);
    void reloadPDF();
    // Turns the PDF to the page of the line that holds the insertion point.
    void pdfSyncFromTextViewToPdf();
    // Shows the file and line typeset at a point of a 1-based page (PDF points from
    // the page's upper left corner).
    void pdfSyncFromPdfViewToTextView(int page, const QPointF &point);

    QString curPath() const { return _curPath; }
    QSTextView *textView() const;
    QTreeView *outlineView() const;
    OutlineViewDataSource *outlineViewDataSource() const { return _outlineViewDataSource; }
    TextStorageDelegate *textStorageDelegate() const { return _textStorageDelegate; }
    ConsoleViewController *consoleViewController() const { return _consoleViewController; }
    QSPDFViewController *pdfViewController() const { return _pdfViewController; }
    // The PDF typeset as the user types, when the user turns it on.
    LivePreview *livePreview() const { return _livePreview; }
    FindAndReplaceViewController *findAndReplaceViewController() const
    {
        return _findAndReplaceCustomViewController;
    }
    QSplitter *splitViewBetweenOutlineAndText() const;
    // The tabs of the files shown, above the text.
    DocumentTabs *tabs() const { return _tabs; }
    // Closes the tab shown; false when it is the last or the root's, which close
    // with the window.
    bool closeTab();
    // The status bar's word on the compile: running and for how long, or how it ended.
    QLabel *compileStateLabel() const { return _compileState; }
    // The status bar's line and column of the caret in the shown file, and the
    // encoding the files are read and written in.
    QLabel *caretPositionLabel() const { return _caretPosition; }
    QLabel *encodingLabel() const { return _encoding; }

    // The file the document is compiled from, as the magic comments of the window's
    // file, as saved, name it now: that file itself, or the root it names.
    std::shared_ptr<QSFile> compiledRoot();
    // The engine chosen for the document in the Typeset menu; empty when the
    // preferences choose.
    QString documentEngine();
    void setDocumentEngine(const QString &engine);
    // The engine the document's magic comment names, as written; empty when none.
    QString magicProgram();
    // Says something in the status bar for a while.
    void showStatusMessage(const QString &message);
    // What the window keeps for the next session (empty for an untitled document),
    // and the window put back as it was.
    QVariantMap sessionState() const;
    void restoreSessionState(const QVariantMap &state);
    // Window actions.
    void compileDocument();
    // The same, through latexmk with the bibliography, index and reruns, whatever
    // the defaults say.
    void compileDocumentWithBibliography();
    // Ends the running engine; the console says so and keeps its output.
    void stopCompiling();
    void printDocument();
    void showConsoleView();
    void hideConsoleView();
    void showPDFView();
    void hidePDFView();
    void showFindAndReplace();
    void hideFindAndReplace();
    // Lists in the outline every place of the label, citation key, command or
    // environment at the caret, in every file of the document; a key's entries in
    // the databases and the includes of a file named at the caret go in the status bar.
    void findUsages();
    // Asks for a new name for the label, citation key, command, environment or
    // included file at the caret, shows its places, and renames them in every file
    // of the document (a key's .bib entry and a file on disk too) as one step for Undo.
    void renameAtCaret();
    void nextFindResult();
    void previousFindResult();
    void printState();
    void undo();
    void redo();
    // Asks for a line number and puts the caret on that line of the shown file.
    void goToLine();
    // Asks for a file of the document by name or folder and shows it.
    void goToFile();
    void toggleComment();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void compile(bool withBibliography);
    // Gives the text view the spell checker of the preferences' language.
    void useChosenSpellChecker();
    // The text, the console and the outline take the current theme's colours.
    void applyTheme();
    // The encoding of the file shown in the status bar, and what its reading said.
    void showEncoding();
    void showEncodingNotices();
    void awakeFromNib();
    void outlineViewSelectionDidChange();
    // The menu of an outline row: an included file's row renames the file.
    void outlineMenu(const QPoint &position);
    void outlineViewColumnDidResize();
    void windowDidBecomeKey();
    void filesWereReadAgain();
    void windowWillClose();
    void treeDidChange(const std::shared_ptr<QSFile> &file);
    void setWindowFrameFromDefaults();
    void storeWindowFrame() const;
    void updateWindowTitle();
    void syncPanelMenuItems() const;
    void connectPanes();
    // Checks the document's references as it is typed; the text view marks what is
    // found and the console's error tree lists it (MyDocumentReferences.cpp).
    void connectReferenceChecks();
    // The file of the document and the 1-based line that the live preview's sync
    // data gives for a point of its PDF (see pdfSyncFromPdfViewToTextView).
    std::optional<std::pair<std::shared_ptr<QSFile>, int>>
    previewSourceForPoint(int page, const QPointF &point) const;
    // The name the caret stands on, for Find Usages and Rename; none (and a word
    // in the status bar) when it stands on none.
    std::optional<UsageName> nameAtCaret();
    // Renames the file that an include's name at the caret gives, or the outline's
    // chosen file row; false when the caret stands on no such name.
    bool renameIncludedFileAtCaret(const std::shared_ptr<QSFile> &root);
    // The file that the include name at the caret gives; none when the caret
    // stands on no include name, an empty path (said in the status bar) when no
    // file is there.
    std::optional<QString> includedFileAtCaret(const std::shared_ptr<QSFile> &root);
    // Names in the status bar the includes of the file whose include the caret
    // stands on; false when it stands on none.
    bool findIncludesAtCaret();
    void renameFile(const std::shared_ptr<QSFile> &root, const QString &path);
    // The file of an outline row that stands for an included file; none for others.
    std::shared_ptr<QSFile> includedFileOfRow(const QModelIndex &row) const;
    // The file shown was moved by a rename, or moved back by its Undo: once the
    // document reads it from its new path, that file is shown in its place.
    void followMovedFile();
    void renameRefused(const QString &why);
    // Brings the window to the front with the keyboard in the text.
    void focusText();
    // Whether the root file's SyncTeX data is the latest sync data of its compile.

    std::unique_ptr<Ui::MyDocument> _ui;
    QMainWindow *_curWindow = nullptr;
    QLabel *_compileState = nullptr; // in the window's status bar, as the two below
    QLabel *_caretPosition = nullptr;
    QLabel *_encoding = nullptr;
    std::shared_ptr<QSFile> _fileOpened;
    QString _curPath;
    bool _isDocumentEdited = false;
    std::unique_ptr<QPrinter> _printer; // the document's print settings
    TextStorageDelegate *_textStorageDelegate = nullptr;
    ConsoleViewController *_consoleViewController = nullptr;
    QSPDFViewController *_pdfViewController = nullptr;
    FindAndReplaceViewController *_findAndReplaceCustomViewController = nullptr;
    OutlineViewDataSource *_outlineViewDataSource = nullptr;
    QWidget *_toolbarFirstItem = nullptr;
    DocumentFilesWatcher *_filesWatcher = nullptr;
    DocumentTabs *_tabs = nullptr;       // a child
    WordCounts *_wordCounts = nullptr;   // a child
    LivePreview *_livePreview = nullptr; // a child
    DocumentRoot _root;
    QString _spellingNotice; // the last one shown, so that each is said once
    // The path the file shown was moved from by a rename (or its Undo), and to;
    // empty when it was not.
    std::pair<QString, QString> _movedFile;
};
