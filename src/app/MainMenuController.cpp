#include "app/MainMenuController.h"

#include "app/AppController.h"
#include "app/DocumentTabs.h"
#include "app/KeyboardShortcutsWindow.h"
#include "app/LivePreview.h"
#include "app/MyDocument.h"
#include "app/SessionKeeper.h"
#include "compile/EngineChoice.h"
#include "compile/EngineCommand.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "pdf/QSPDFViewController.h"
#include "platform/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolBar>
#include <QWidget>

namespace {

MainMenuController *sharedController = nullptr;

MyDocument *currentDocument()
{
    DocumentController *documents = DocumentController::sharedDocumentController();
    return documents ? qobject_cast<MyDocument *>(documents->currentDocument()) : nullptr;
}

// The desktop's icon where its theme has one, else the one drawn for Quillset.
QIcon themedIcon(const QString &name, const QString &ownName)
{
    return QIcon::fromTheme(name, QIcon(QStringLiteral(":/toolbar/%1.svg").arg(ownName)));
}

} // namespace

MainMenuController::MainMenuController(QObject *parent)
    : QObject(parent)
{
    sharedController = this;
    _newItem = new QAction(tr("&New"), this);
    _newItem->setShortcut(QKeySequence::New);
    connect(_newItem, &QAction::triggered, this, [] {
        if (DocumentController *documents = DocumentController::sharedDocumentController())
            documents->newDocument();
    });
    _openItem = new QAction(tr("&Open..."), this);
    _openItem->setShortcut(QKeySequence::Open);
    connect(_openItem, &QAction::triggered, this, [] {
        MyDocument *document = currentDocument();
        const QStringList paths =
            QFileDialog::getOpenFileNames(document ? document->window() : nullptr, tr("Open"),
                                          openFolder(), tr("LaTeX files (*.tex);;All files (*)"));
        if (!paths.isEmpty())
            UserDefaults::standardUserDefaults().setObject(QFileInfo(paths.first()).absolutePath(),
                                                           QSLastOpenFolder);
        for (const QString &path : paths)
            DocumentController::sharedDocumentController()->openDocument(path);
    });
    _saveItem = action(tr("&Save"), QKeySequence::Save,
                       [](MyDocument *document) { document->saveDocument(); });
    _saveAsItem = action(tr("Save &As..."), QKeySequence::SaveAs,
                         [](MyDocument *document) { document->saveDocumentAs(); });
    // Only some desktops name a key for Save As; Ctrl+Shift+S is the one users know.
    if (_saveAsItem->shortcut().isEmpty())
        _saveAsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    _closeItem = new QAction(tr("&Close"), this);
    _closeItem->setShortcut(QKeySequence::Close);
    // Closes the tab shown; the last tab, or the root file's, closes the window.
    connect(_closeItem, &QAction::triggered, this, [] {
        if (MyDocument *document = currentDocument(); document && !document->closeTab())
            document->window()->close();
    });
    _quitItem = new QAction(tr("&Quit"), this);
    _quitItem->setShortcut(QKeySequence::Quit);
    _quitItem->setMenuRole(QAction::QuitRole);
    connect(_quitItem, &QAction::triggered, this, [] {
        if (DocumentController *documents = DocumentController::sharedDocumentController())
            SessionKeeper::quit(*documents);
        else
            QApplication::closeAllWindows();
    });
    _preferencesItem = new QAction(tr("Pr&eferences..."), this);
    // The desktop's own key where it names one; most Linux desktops name none, and
    // Ctrl+, is what their applications use.
    _preferencesItem->setShortcuts(QKeySequence::Preferences);
    if (_preferencesItem->shortcuts().isEmpty())
        _preferencesItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    _preferencesItem->setMenuRole(QAction::PreferencesRole);
    connect(_preferencesItem, &QAction::triggered, this, [] {
        if (AppController *app = AppController::sharedAppController())
            app->showPreferencePanel();
    });
    // Cut, Copy, Paste and Select All act on whatever has the keyboard (the text, or
    // a field of the find strip), else on the current document's text. A text field takes these
    // keys itself; the items are for the menu and for the widgets that do not.
    const auto standardEdit = [this](const QString &text, QKeySequence::StandardKey key,
                                     const char *slot) {
        auto *item = new QAction(text, this);
        item->setShortcut(key);
        connect(item, &QAction::triggered, this, [slot] {
            QWidget *target = QApplication::focusWidget();
            if (MyDocument *document = currentDocument(); !target && document)
                target = document->textView();
            if (target)
                QMetaObject::invokeMethod(target, slot);
        });
        return item;
    };
    _cutItem = standardEdit(tr("Cu&t"), QKeySequence::Cut, "cut");
    _copyItem = standardEdit(tr("&Copy"), QKeySequence::Copy, "copy");
    _pasteItem = standardEdit(tr("&Paste"), QKeySequence::Paste, "paste");
    _selectAllItem = standardEdit(tr("Select &All"), QKeySequence::SelectAll, "selectAll");
    _undoItem = action(tr("&Undo"), QKeySequence::Undo, &MyDocument::undo);
    _redoItem = action(tr("&Redo"), QKeySequence::Redo, &MyDocument::redo);
    _compileItem = action(tr("&Compile"), QKeySequence(Qt::Key_F5), &MyDocument::compileDocument);
    _nextTabItem = action(tr("&Next Tab"), QKeySequence(Qt::CTRL | Qt::Key_Tab),
                          [](MyDocument *document) { document->tabs()->step(1); });
    _nextTabItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    _previousTabItem =
        action(tr("&Previous Tab"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
               [](MyDocument *document) { document->tabs()->step(-1); });
    _previousTabItem->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                    QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    _goToLineItem =
        action(tr("&Go to Line..."), QKeySequence(Qt::CTRL | Qt::Key_L), &MyDocument::goToLine);
    _toggleCommentItem = action(tr("Comment or Uncomment &Lines"),
                                QKeySequence(Qt::CTRL | Qt::Key_Slash), &MyDocument::toggleComment);
    _compileWithBibliographyItem =
        action(tr("Compile with &Bibliography"), QKeySequence(Qt::CTRL | Qt::Key_F5),
               &MyDocument::compileDocumentWithBibliography);
    _stopCompilingItem = action(tr("&Stop Compiling"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
                                &MyDocument::stopCompiling);
    // The document's own choice: the window that becomes current shows its state.
    _livePreviewItem = new QAction(tr("&Live Preview"), this);
    _livePreviewItem->setCheckable(true);
    _livePreviewItem->setToolTip(tr("Live Preview: typeset the document whenever typing pauses"));
    connect(_livePreviewItem, &QAction::triggered, this, [](bool on) {
        if (MyDocument *document = currentDocument())
            document->livePreview()->setOn(on);
    });
    _printStateItem =
        action(tr("Print Outline Structure"), QKeySequence(), &MyDocument::printState);
    _showFindAndReplacePanelItem =
        action(tr("&Find..."), QKeySequence::Find, &MyDocument::showFindAndReplace);
    _hideFindAndReplacePanelItem =
        action(tr("Hide Find"), QKeySequence(), &MyDocument::hideFindAndReplace);
    _nextFindResultItem =
        action(tr("Find &Next"), QKeySequence::FindNext, &MyDocument::nextFindResult);
    _previousFindResultItem =
        action(tr("Find &Previous"), QKeySequence::FindPrevious, &MyDocument::previousFindResult);
    _findUsagesItem =
        action(tr("Find &Usages"), QKeySequence(Qt::SHIFT | Qt::Key_F12), &MyDocument::findUsages);
    _renameItem = action(tr("Re&name..."), QKeySequence(Qt::Key_F2), &MyDocument::renameAtCaret);
    // Ctrl+P goes to a file, as in the editors that open many files; printing the
    // PDF, rarer, takes Ctrl+Shift+P.
    _printDocumentItem = action(tr("&Print..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
                                &MyDocument::printDocument);
    _goToFileItem =
        action(tr("Go to &File..."), QKeySequence(Qt::CTRL | Qt::Key_P), &MyDocument::goToFile);
    _showConsoleItem = action(tr("Show Console"), QKeySequence(), &MyDocument::showConsoleView);
    _hideConsoleItem = action(tr("Hide Console"), QKeySequence(), &MyDocument::hideConsoleView);
    _showPDFItem = action(tr("Show PDF"), QKeySequence(), &MyDocument::showPDFView);
    _hidePDFItem = action(tr("Hide PDF"), QKeySequence(), &MyDocument::hidePDFView);
    _hideConsoleItem->setVisible(false);
    _hidePDFItem->setVisible(false);
    _hideFindAndReplacePanelItem->setVisible(false);

    _newItem->setIcon(themedIcon(QStringLiteral("document-new"), QStringLiteral("new")));
    _openItem->setIcon(themedIcon(QStringLiteral("document-open"), QStringLiteral("open")));
    _saveItem->setIcon(themedIcon(QStringLiteral("document-save"), QStringLiteral("save")));
    _compileItem->setIcon(
        themedIcon(QStringLiteral("media-playback-start"), QStringLiteral("compile")));
    _stopCompilingItem->setIcon(themedIcon(QStringLiteral("process-stop"), QStringLiteral("stop")));
    _showFindAndReplacePanelItem->setIcon(
        themedIcon(QStringLiteral("edit-find"), QStringLiteral("find")));
    const QIcon pdf = themedIcon(QStringLiteral("application-pdf"), QStringLiteral("pdf"));
    const QIcon console =
        themedIcon(QStringLiteral("utilities-terminal"), QStringLiteral("console"));
    _livePreviewItem->setIcon(
        themedIcon(QStringLiteral("quillset-live-preview"), QStringLiteral("livepreview")));
    _showPDFItem->setIcon(pdf);
    _hidePDFItem->setIcon(pdf);
    _showConsoleItem->setIcon(console);
    _hideConsoleItem->setIcon(console);

    // Items that turn a setting on and off; the windows follow the setting.
    const auto toggle = [this](const QString &text, const QString &key) {
        auto *item = new QAction(text, this);
        item->setCheckable(true);
        item->setChecked(UserDefaults::standardUserDefaults().boolForKey(key));
        connect(item, &QAction::toggled, this,
                [key](bool on) { UserDefaults::standardUserDefaults().setObject(on, key); });
        return item;
    };
    _showToolbarItem = toggle(tr("Show &Toolbar"), QSShowToolbar);
    _outlineLabelsItem = toggle(tr("Labels in Outline"), QSOutlineShowsLabels);
    _outlineFloatsItem = toggle(tr("Figures and Tables in Outline"), QSOutlineShowsFloats);
    _outlineBibliographyItem = toggle(tr("Bibliography in Outline"), QSOutlineShowsBibliography);
    _previewOnlyChapterItem =
        toggle(tr("Preview Only the Chapter I Am Editing"), QSLivePreviewOnlyChapter);

    // Filled now and whenever the list changes, so that it is complete before it is
    // first shown (a screen reader reads it without opening it); files gone from
    // disk drop out when it opens.
    _openRecentMenu = std::make_unique<QMenu>(tr("Open &Recent"));
    connect(_openRecentMenu.get(), &QMenu::aboutToShow, this,
            &MainMenuController::fillOpenRecentMenu);
    connect(&UserDefaults::standardUserDefaults(), &UserDefaults::valueChanged, this,
            [this](const QString &key) {
                if (key == QSRecentDocuments)
                    fillOpenRecentMenu();
            });
    fillOpenRecentMenu();

    _engineMenu = std::make_unique<QMenu>(tr("&Engine"));
    _engineNoteItem = _engineMenu->addAction(QString());
    _engineNoteItem->setEnabled(false);
    auto *engines = new QActionGroup(this);
    const auto addEngine = [this, engines](const QString &text, const QString &engine) {
        QAction *item = _engineMenu->addAction(text);
        item->setCheckable(true);
        item->setData(engine);
        engines->addAction(item);
        connect(item, &QAction::triggered, this, [engine] {
            if (MyDocument *document = currentDocument())
                document->setDocumentEngine(engine);
        });
    };
    addEngine(tr("As in the preferences"), QString());
    _engineMenu->addSeparator();
    for (const QString &engine : EngineChoice::engines())
        addEngine(EngineCommand::displayName(engine), engine);
    connect(_engineMenu.get(), &QMenu::aboutToShow, this, &MainMenuController::showDocumentEngine);
    showDocumentEngine();

    _keyboardShortcutsItem = new QAction(tr("&Keyboard Shortcuts"), this);
    connect(_keyboardShortcutsItem, &QAction::triggered, this, [] {
        MyDocument *document = currentDocument();
        QMainWindow *window = document ? qobject_cast<QMainWindow *>(document->window()) : nullptr;
        if (window)
            KeyboardShortcutsWindow::showFor(window->menuBar(),
                                             document->pdfViewController()->view()->actions());
    });
    _aboutItem = new QAction(tr("&About Quillset"), this);
    _aboutItem->setMenuRole(QAction::AboutRole);
    connect(_aboutItem, &QAction::triggered, this, &MainMenuController::showAbout);
}

void MainMenuController::fillOpenRecentMenu()
{
    // Reading the list forgets the files gone, which fills the menu once more: the
    // menu is emptied after.
    const QStringList paths = DocumentController::recentDocumentPaths();
    _openRecentMenu->clear();
    for (const QString &path : paths) {
        QAction *item = _openRecentMenu->addAction(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [path] {
            if (DocumentController *documents = DocumentController::sharedDocumentController())
                documents->openDocument(path);
        });
    }
    _openRecentMenu->addSeparator();
    QAction *clear = _openRecentMenu->addAction(tr("Clear Menu"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [] {
        if (DocumentController *documents = DocumentController::sharedDocumentController())
            documents->clearRecentDocuments();
    });
}

void MainMenuController::showDocumentEngine()
{
    MyDocument *document = currentDocument();
    const bool named = document && document->fileOpened() && !document->fileOpened()->isUntitled();
    const QString chosen = named ? document->documentEngine() : QString();
    for (QAction *item : _engineMenu->actions()) {
        if (item->isCheckable()) {
            item->setEnabled(named);
            item->setChecked(item->data().toString() == chosen);
        }
    }
    const QString magic = named ? document->magicProgram() : QString();
    _engineNoteItem->setText(tr("The document's magic comment chooses \"%1\"").arg(magic));
    _engineNoteItem->setVisible(!magic.isEmpty());
}

QString MainMenuController::openFolder()
{
    if (const MyDocument *document = currentDocument()) {
        const std::shared_ptr<QSFile> root = document->fileOpened();
        if (root && !root->isUntitled())
            return root->directory();
    }
    const QString last = UserDefaults::standardUserDefaults().stringForKey(QSLastOpenFolder);
    return QFileInfo(last).isDir() ? last : QDir::homePath();
}

void MainMenuController::showAbout()
{
    MyDocument *document = currentDocument();
    QMessageBox::about(document ? document->window() : nullptr, tr("About Quillset"),
                       tr("<h3>Quillset %1</h3>"
                          "<p>A LaTeX editor whose outline is a live model of the text.</p>"
                          "<p>Built with Qt %2, running on Qt %3.</p>"
                          "<p>Quillset links these libraries, each under its own licence:</p><ul>"
                          "<li>Qt 6 (Core, GUI, Widgets, Concurrent, Print Support): LGPL 3.0</li>"
                          "<li>Qt PDF, which contains PDFium: LGPL 3.0; PDFium: BSD 3-Clause</li>"
                          "<li>Hunspell: MPL 1.1, GPL 2.0 or LGPL 2.1</li>"
                          "<li>The SyncTeX parser library: MIT</li>"
                          "<li>The GNU C Library (iconv): LGPL 2.1</li></ul>"
                          "<p>At compile time it runs the TeX engines, latexmk, BibTeX and biber "
                          "installed on the system.</p>")
                           .arg(QStringLiteral(QUILLSET_VERSION), QStringLiteral(QT_VERSION_STR),
                                QString::fromLatin1(qVersion())));
}

MainMenuController::~MainMenuController()
{
    if (sharedController == this)
        sharedController = nullptr;
}

MainMenuController *MainMenuController::sharedMainMenuController()
{
    return sharedController;
}

QAction *MainMenuController::action(const QString &text, const QKeySequence &shortcut,
                                    std::function<void(MyDocument *)> act)
{
    auto *item = new QAction(text, this);
    item->setShortcut(shortcut);
    connect(item, &QAction::triggered, this, [act] {
        if (MyDocument *document = currentDocument())
            act(document);
    });
    return item;
}

void MainMenuController::populateMenuBar(QMenuBar *menuBar) const
{
    QMenu *file = menuBar->addMenu(tr("&File"));
    file->addActions({_newItem, _openItem});
    file->addMenu(_openRecentMenu.get());
    file->addSeparator();
    file->addActions({_saveItem, _saveAsItem});
    file->addSeparator();
    file->addAction(_printDocumentItem);
    file->addSeparator();
    file->addActions({_closeItem, _quitItem});

    QMenu *edit = menuBar->addMenu(tr("&Edit"));
    edit->addActions({_undoItem, _redoItem});
    edit->addSeparator();
    edit->addActions({_cutItem, _copyItem, _pasteItem, _selectAllItem});
    edit->addSeparator();
    edit->addActions({_toggleCommentItem, _goToLineItem, _goToFileItem});
    edit->addSeparator();
    edit->addActions({_showFindAndReplacePanelItem, _hideFindAndReplacePanelItem,
                      _nextFindResultItem, _previousFindResultItem, _findUsagesItem, _renameItem});
    edit->addSeparator();
    edit->addAction(_preferencesItem);

    QMenu *view = menuBar->addMenu(tr("&View"));
    view->addActions({_showConsoleItem, _hideConsoleItem, _showPDFItem, _hidePDFItem});
    view->addAction(_showToolbarItem);
    view->addSeparator();
    view->addActions({_outlineLabelsItem, _outlineFloatsItem, _outlineBibliographyItem});
    view->addSeparator();
    view->addActions({_nextTabItem, _previousTabItem});
    view->addSeparator();
    view->addAction(_printStateItem);

    QMenu *typeset = menuBar->addMenu(tr("&Typeset"));
    typeset->addActions({_compileItem, _compileWithBibliographyItem, _stopCompilingItem});
    typeset->addSeparator();
    typeset->addActions({_livePreviewItem, _previewOnlyChapterItem});
    typeset->addSeparator();
    typeset->addMenu(_engineMenu.get());

    QMenu *help = menuBar->addMenu(tr("&Help"));
    help->addActions({_keyboardShortcutsItem, _aboutItem});
}

void MainMenuController::populateToolBar(QToolBar *toolBar) const
{
    toolBar->addActions({_newItem, _openItem, _saveItem});
    toolBar->addSeparator();
    toolBar->addActions({_compileItem, _stopCompilingItem, _livePreviewItem});
    toolBar->addSeparator();
    toolBar->addAction(_showFindAndReplacePanelItem);
    toolBar->addSeparator();
    toolBar->addActions({_showPDFItem, _hidePDFItem, _showConsoleItem, _hideConsoleItem});
}
