#include "app/MyDocument.h"

#include "app/AppController.h"
#include "app/DocumentFilesWatcher.h"
#include "app/DocumentTabs.h"
#include "app/ImageAndTextCell.h"
#include "app/LivePreview.h"
#include "app/MainMenuController.h"
#include "app/OutlineViewDataSource.h"
#include "app/ThemeController.h"
#include "compile/CompileProgress.h"
#include "compile/ConsoleViewController.h"
#include "compile/StatusSplitViewDelegate.h"
#include "compile/StatusView.h"
#include "editor/DropTextView.h"
#include "editor/completion/CompletionController.h"
#include "editor/wordcount/WordCountLabel.h"
#include "editor/wordcount/WordCounts.h"
#include "find/FindAndReplaceViewController.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"
#include "platform/Assertions.h"
#include "platform/DocumentController.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"
#include "ui_MyDocument.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

MyDocument::MyDocument(QObject *parent)
    : QSDocument(parent)
{}

MyDocument::~MyDocument()
{
    // A running engine reports to the window's console: it ends first.
    if (_consoleViewController)
        _consoleViewController->stopCompilingAndWait();
    delete _curWindow;
}

void MyDocument::makeWindow()
{
    _curWindow = new QMainWindow;
    _ui = std::make_unique<Ui::MyDocument>();
    _ui->setupUi(_curWindow);
    _curWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    _curWindow->installEventFilter(this);
    if (MainMenuController *menu = MainMenuController::sharedMainMenuController())
        menu->populateMenuBar(_curWindow->menuBar());
    awakeFromNib();
}

QWidget *MyDocument::window() const
{
    return _curWindow;
}

QSTextView *MyDocument::textView() const
{
    return _ui ? _ui->textView : nullptr;
}

QTreeView *MyDocument::outlineView() const
{
    return _ui ? _ui->outlineView : nullptr;
}

QSplitter *MyDocument::splitViewBetweenOutlineAndText() const
{
    return _ui ? _ui->splitViewBetweenOutlineAndText : nullptr;
}

std::shared_ptr<QSFile> MyDocument::fileOpened() const
{
    return _fileOpened;
}

void MyDocument::awakeFromNib()
{
    QSFilePool *pool = QSFilePool::sharedFilePool();
    if (!_fileOpened) {
        // A new document: held in the pool under its title, spaces made "_".
        _curPath = displayName().replace(u' ', u'_');
        _fileOpened = pool->createFileFromTemplateString(
            UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate), _curPath);
        QS_ASSERT(_fileOpened, "MyDocument:awakeFromNib: file read from filePool was nil");
    }

    _filesWatcher = new DocumentFilesWatcher([this] { return _fileOpened; }, _curWindow, this);
    connect(_filesWatcher, &DocumentFilesWatcher::filesWereReadAgain, this,
            &MyDocument::filesWereReadAgain);

    QSTextView *text = _ui->textView;
    text->setTextInteractionFlags(Qt::TextEditorInteraction);
    useChosenSpellChecker();
    // A language chosen in the preferences applies to every open window at once.
    connect(&UserDefaults::standardUserDefaults(), &UserDefaults::valueChanged, this,
            [this](const QString &key) {
                if (key == QSSpellCheckLanguage)
                    useChosenSpellChecker();
            });
    // A dropped file's snippet gives its path from the root file's folder, where TeX
    // looks for it; an untitled document has no folder yet.
    if (auto *drop = qobject_cast<DropTextView *>(text))
        drop->setRootFolder([this] {
            return _fileOpened && !_fileOpened->isUntitled()
                       ? QFileInfo(_fileOpened->pathText()).absolutePath()
                       : QString();
        });
    _textStorageDelegate = new TextStorageDelegate(text, this);
    _findAndReplaceCustomViewController = new FindAndReplaceViewController(
        text, _textStorageDelegate, _ui->outlineView, [this] { return _fileOpened; }, this);
    _findAndReplaceCustomViewController->view()->setParent(_ui->findAndReplaceCustomView);
    _findAndReplaceCustomViewController->hideWithoutAnimation();
    connect(_textStorageDelegate, &TextStorageDelegate::rangeNeedsHighlighting, text,
            &QSTextView::colourRange);
    if (MainMenuController *menu = MainMenuController::sharedMainMenuController()) {
        text->setUndoActions(menu->undoItem(), menu->redoItem());
        text->setCaretActions({menu->findUsagesItem(), menu->renameItem()});
    }
    connect(text, &QSTextView::typingBegan, _textStorageDelegate,
            &TextStorageDelegate::beginTyping);
    connect(text, &QSTextView::typingEnded, _textStorageDelegate, &TextStorageDelegate::endTyping);

    // The outline keeps its width when the window is resized; the text side grows.
    QSplitter *outer = _ui->splitViewBetweenOutlineAndText;
    outer->setStretchFactor(0, 0);
    outer->setStretchFactor(1, 1);
    connect(outer, &QSplitter::splitterMoved, this, &MyDocument::outlineViewColumnDidResize);
    _ui->splitViewBetweenTextAndStatus->setStretchFactor(0, 1);
    _ui->splitViewBetweenTextAndStatus->setStretchFactor(1, 0);
    new StatusSplitViewDelegate(_ui->consoleViewArea);
    _consoleViewController = new ConsoleViewController(this);
    _consoleViewController->view()->setParent(_ui->consoleViewArea);
    _consoleViewController->hideWithoutAnimation();

    // The toolbar's first item is as wide as the outline. The View menu shows and
    // hides the toolbars of all windows at once, so the toolbar's own item is left out
    // of the window's context menu.
    _toolbarFirstItem = new QWidget(_ui->toolbar);
    _ui->toolbar->addWidget(_toolbarFirstItem);
    _ui->toolbar->toggleViewAction()->setVisible(false);
    if (MainMenuController *menu = MainMenuController::sharedMainMenuController()) {
        menu->populateToolBar(_ui->toolbar);
        _ui->toolbar->setVisible(menu->showToolbarItem()->isChecked());
        connect(menu->showToolbarItem(), &QAction::toggled, _ui->toolbar, &QToolBar::setVisible);
    }

    _pdfViewController = new QSPDFViewController(this);
    auto *pdfLayout = new QVBoxLayout(_ui->pdfViewArea);
    pdfLayout->setContentsMargins(0, 0, 0, 0);
    pdfLayout->addWidget(_pdfViewController->view());
    // Hidden, the pane keeps one pixel: the divider stays there to drag it open.
    _ui->pdfViewArea->setMinimumWidth(1);
    _ui->splitViewBetweenTextAndPdf->setStretchFactor(0, 1);
    _ui->splitViewBetweenTextAndPdf->setStretchFactor(1, 1);
    if (_fileOpened->doesPdfExist())
        reloadPDF();
    else
        _pdfViewController->hidePDFViewWithAnimation(false);
    connectPanes();
    syncPanelMenuItems();
    setWindowFrameFromDefaults();

    pool->assignFile(_fileOpened, this);
    _outlineViewDataSource = new OutlineViewDataSource(_fileOpened->treeRootNode(), this);
    _outlineViewDataSource->setWordCounts(_wordCounts);
    QTreeView *outline = _ui->outlineView;
    outline->setModel(_outlineViewDataSource);
    outline->setItemDelegate(new ImageAndTextCell(outline));
    outline->expandAll();
    connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MyDocument::outlineViewSelectionDidChange);
    outline->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(outline, &QWidget::customContextMenuRequested, this, &MyDocument::outlineMenu);
    // Rows that an edit brings (a heading typed, or uncommented) come open, as the
    // outline did when the document opened; rows the user closed stay closed. While
    // the outline shows the find list instead, its rows are not these.
    connect(
        _outlineViewDataSource, &QAbstractItemModel::rowsInserted, outline,
        [outline, model = _outlineViewDataSource](const QModelIndex &parent, int first, int last) {
            if (outline->model() != model)
                return;
            for (int row = first; row <= last; ++row)
                outline->expandRecursively(model->index(row, 0, parent));
        });
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        connect(queue, &ChangesQueue::treeDidChange, this, &MyDocument::treeDidChange);

    // Completion offers the labels, definitions and bibliography of all the files.
    CompletionController *completion = textView()->completion();
    completion->setDocumentFiles([document = QPointer<MyDocument>(this)] {
        return document && document->_fileOpened ? QSFilePool::fileList(document->_fileOpened.get())
                                                 : QList<std::shared_ptr<QSFile>>();
    });
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        connect(queue, &ChangesQueue::symbolsDidChange, completion,
                &CompletionController::documentSymbolsChanged);

    const double outlineWidth = UserDefaults::standardUserDefaults()
                                    .dictionaryForKey(QSOutlineViewInfo)
                                    .value("width")
                                    .toDouble();
    outer->setSizes({int(outlineWidth), qMax(1, _curWindow->width() - int(outlineWidth))});
    _toolbarFirstItem->setFixedWidth(int(outlineWidth));

    _textStorageDelegate->setSelectedFile(_fileOpened);
    auto *tabBar = new QTabBar(_ui->textSide);
    _ui->textSideLayout->insertWidget(1, tabBar);
    _tabs = new DocumentTabs(tabBar, textView(), _textStorageDelegate, this);
    connect(_tabs, &DocumentTabs::fileChosen, this, [this](const std::shared_ptr<QSFile> &file) {
        const QSRange caret = file->currentSelection();
        selectRange(caret, file);
    });
    _root.update(_fileOpened);
    _livePreview->readRemembered();
    connectReferenceChecks();
    updateWindowTitle();
    _filesWatcher->watchFiles();
    applyTheme();
    if (AppController *app = AppController::sharedAppController())
        connect(app->themeController(), &ThemeController::themeChanged, this,
                &MyDocument::applyTheme);
}

void MyDocument::applyTheme()
{
    const Theme &theme = Theme::current();
    theme.applyPageColours(_ui->outlineView);
    theme.applyPageColours(_consoleViewController->textLogger());
    if (_ui->textView->palette().color(QPalette::Base) != theme.page)
        _ui->textView->applyTheme();
}

void MyDocument::setWindowFrameFromDefaults()
{
    const QVariantMap info = UserDefaults::standardUserDefaults().dictionaryForKey(QSWindowInfo);
    const int x = info.value("locationX").toInt();
    const int y = info.value("locationY").toInt();
    _curWindow->resize(info.value("width").toInt(), info.value("height").toInt());
    _curWindow->move(x, y);
    if (info.value("shouldCenter").toBool() || x < 0 || y < 0) {
        const QScreen *screen =
            _curWindow->screen() ? _curWindow->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame = _curWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            _curWindow->move(frame.topLeft());
        }
    }
}

void MyDocument::storeWindowFrame() const
{
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"width", _curWindow->width()},
                                                               {"height", _curWindow->height()},
                                                               {"locationX", _curWindow->x()},
                                                               {"locationY", _curWindow->y()},
                                                               {"shouldCenter", false}},
                                                   QSWindowInfo);
}

void MyDocument::updateWindowTitle()
{
    QString name = _fileOpened && !_fileOpened->isUntitled() ? _fileOpened->name() : displayName();
    // An included file shown in the window goes before the document's name.
    const std::shared_ptr<QSFile> shown =
        _textStorageDelegate ? _textStorageDelegate->selectedFile() : nullptr;
    if (shown && shown != _fileOpened)
        name = shown->name() + QStringLiteral(" \u2014 ") + name;
    // A file compiled through the root its magic comment names says which.
    if (const std::shared_ptr<QSFile> root = _root.namedRoot())
        name += tr(" (root: %1)").arg(root->name());
    _curWindow->setWindowTitle(name + QStringLiteral("[*] \u2014 Quillset"));
    _curWindow->setWindowModified(_isDocumentEdited);
}

void MyDocument::outlineViewSelectionDidChange()
{
    const QModelIndexList selected = _ui->outlineView->selectionModel()->selectedIndexes();
    // A row that goes while the user types moves the selection to its neighbour:
    // that is no choice of the user's, and the caret stays where the typing is.
    if (selected.isEmpty() || _ui->outlineView->model() != _outlineViewDataSource
        || _outlineViewDataSource->isReloading())
        return;
    const std::shared_ptr<QSSectionNode> node =
        _outlineViewDataSource->nodeForIndex(selected.first());
    if (!node)
        return;
    const auto [file, nodeLocation] = QSFilePool::fileAndLocationOfNode(*node);
    if (!file)
        return;
    // A label's or a float's row goes to the landmark in its node's text.
    const qint32 location = nodeLocation + _outlineViewDataSource->offsetForIndex(selected.first());
    _textStorageDelegate->setSelectedFile(file);
    _findAndReplaceCustomViewController->setFileToSearch(file);
    _findAndReplaceCustomViewController->setSearchOffset(location);
    if (!node->isFileNode())
        selectRange(QSRange{quint32(location), 0}, file);
}

void MyDocument::selectRange(QSRange range, const std::shared_ptr<QSFile> &file)
{
    if (file != _textStorageDelegate->selectedFile()
        && _ui->outlineView->model() != _outlineViewDataSource) {
        _textStorageDelegate->setSelectedFile(file);
    } else if (file != _textStorageDelegate->selectedFile()) {
        QTreeView *outline = _ui->outlineView;
        const QModelIndex row = _outlineViewDataSource->indexForNode(file->treeRootNode().get());
        if (row.isValid()) {
            outline->scrollTo(row);
            outline->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
        } else {
            _textStorageDelegate->setSelectedFile(file);
        }
    }
    QSTextView *text = _ui->textView;
    if (qint64(range.location) + range.length > text->document()->characterCount() - 1)
        return;
    QTextCursor cursor(text->document());
    cursor.setPosition(int(range.location));
    cursor.setPosition(int(range.location + range.length), QTextCursor::KeepAnchor);
    // A place out of sight is brought to the middle of the view, with the text
    // around it, not to its last line.
    const bool outOfSight = !text->viewport()->rect().contains(text->cursorRect(cursor));
    text->setTextCursor(cursor);
    if (outOfSight)
        text->centerCursor();
    else
        text->ensureCursorVisible();
}

void MyDocument::setDataSource(QAbstractItemModel *dataSource)
{
    QTreeView *outline = _ui->outlineView;
    if (outline->model() == (dataSource ? dataSource : _outlineViewDataSource))
        return;
    outline->setModel(dataSource ? dataSource : _outlineViewDataSource);
    if (!dataSource) {
        connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &MyDocument::outlineViewSelectionDidChange);
        outline->expandAll();
    }
}

void MyDocument::reloadOutline(const std::shared_ptr<QSSectionNode> &node)
{
    if (!_outlineViewDataSource)
        return;
    _outlineViewDataSource->reloadFromTree();
    if (!node)
        _ui->outlineView->expandAll();
}

void MyDocument::treeDidChange(const std::shared_ptr<QSFile> &file)
{
    if (_fileOpened && QSFilePool::fileList(_fileOpened.get()).contains(file)) {
        if (_outlineViewDataSource->rootItem() != _fileOpened->treeRootNode())
            _outlineViewDataSource->setRootItem(_fileOpened->treeRootNode());
        else
            _outlineViewDataSource->reloadFromTree();
        _textStorageDelegate->reloadTextViewIfFileWasReadAgain();
        _filesWatcher->watchFiles();
        followMovedFile();
        _tabs->keepOnly(QSFilePool::fileList(_fileOpened.get()));
        _tabs->showEditedFiles();
        _livePreview->textChanged();
    }
}

void MyDocument::outlineViewColumnDidResize()
{
    const int width = _ui->outlineView->width();
    _toolbarFirstItem->setFixedWidth(width);
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"width", double(width)}},
                                                   QSOutlineViewInfo);
}

bool MyDocument::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _curWindow) {
        if (event->type() == QEvent::WindowActivate) {
            windowDidBecomeKey();
        } else if (event->type() == QEvent::Close) {
            DocumentController *documents = DocumentController::sharedDocumentController();
            if (documents && !documents->shouldCloseDocument(this)) {
                event->ignore();
                return true;
            }
            windowWillClose();
            if (documents)
                documents->removeDocument(this);
        }
    }
    return QSDocument::eventFilter(watched, event);
}

void MyDocument::windowDidBecomeKey()
{
    QSFilePool::sharedFilePool()->setKeyDocument(this);
    if (DocumentController *documents = DocumentController::sharedDocumentController())
        documents->setCurrentDocument(this);
    syncPanelMenuItems();
    useChosenSpellChecker();
    // The preferences may have chosen another encoding meanwhile.
    showEncoding();
    _filesWatcher->checkFilesOnDisk();
}

// What the panes and the text view report, answered by the window.
void MyDocument::connectPanes()
{
    ConsoleViewController *console = _consoleViewController;
    QStatusBar *status = _curWindow->statusBar();
    _caretPosition = new QLabel(status);
    _encoding = new QLabel(status);
    _compileState = new QLabel(status);
    for (QLabel *label : {_caretPosition, _encoding, _compileState})
        status->addPermanentWidget(label);
    // Counted on a thread of the counts' own; the label and the outline only show them.
    _wordCounts = new WordCounts([this] { return _fileOpened; }, this);
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        connect(queue, &ChangesQueue::treeDidChange, _wordCounts, &WordCounts::fileChanged);
    status->addPermanentWidget(
        new WordCountLabel(_wordCounts, _ui->textView, _textStorageDelegate, status));
    // A screen reader says what each label is, the compile's also while it is empty.
    _caretPosition->setAccessibleName(tr("Caret position"));
    _encoding->setAccessibleName(tr("File encoding"));
    _compileState->setAccessibleName(tr("Compile state"));
    const auto showCaret = [this] {
        const QTextCursor caret = _ui->textView->textCursor();
        _caretPosition->setText(
            tr("Line %1, Column %2").arg(caret.blockNumber() + 1).arg(caret.positionInBlock() + 1));
    };
    connect(_ui->textView, &QPlainTextEdit::cursorPositionChanged, this, showCaret);
    showCaret();
    showEncoding();
    connect(console->compileProgress(), &CompileProgress::textChanged, _compileState,
            &QLabel::setText);
    connect(console, &ConsoleViewController::compileSucceeded, this, &MyDocument::reloadPDF);
    // The gutter marks the diagnostics of the file shown.
    const auto markDiagnostics = [this] {
        if (const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile())
            _ui->textView->setDiagnostics(shown->compileErrorsAndWarnings());
    };
    connect(console, &ConsoleViewController::errorWarningOutlineUpdated, this, markDiagnostics);
    connect(_textStorageDelegate, &TextStorageDelegate::textViewReloaded, this, markDiagnostics);
    connect(_textStorageDelegate, &TextStorageDelegate::textViewReloaded, this,
            &MyDocument::updateWindowTitle);
    connect(_textStorageDelegate, &TextStorageDelegate::textViewReloaded, this,
            &MyDocument::showEncoding);
    showEncodingNotices();
    // Rows chosen with the arrow keys show their place and leave the keyboard in the
    // list; a click, a double click or Return takes it to the text, to type there.
    connect(console, &ConsoleViewController::diagnosticChosen, this, &MyDocument::showLineOfFile);
    connect(console, &ConsoleViewController::diagnosticOpened, this,
            [this](const std::shared_ptr<QSFile> &file, int lineNumber) {
                MyDocument *shown = showLineOfFile(file, lineNumber);
                if (!shown)
                    return;
                // The caret at the start of the line: what is typed goes in before it,
                // and takes no character of it away.
                QTextCursor caret = shown->textView()->textCursor();
                caret.setPosition(caret.selectionStart());
                shown->textView()->setTextCursor(caret);
                shown->focusText();
            });
    const auto openRow = [this] {
        if (_ui->outlineView->model() == _outlineViewDataSource)
            outlineViewSelectionDidChange();
        focusText();
    };
    connect(_ui->outlineView, &QAbstractItemView::clicked, this, openRow);
    connect(_ui->outlineView, &QAbstractItemView::activated, this, openRow);
    connect(console, &ConsoleViewController::shownChanged, this, [](bool shown) {
        if (MainMenuController *menu = MainMenuController::sharedMainMenuController()) {
            menu->showConsoleItem()->setVisible(!shown);
            menu->hideConsoleItem()->setVisible(shown);
        }
    });

    connect(_pdfViewController, &QSPDFViewController::shownChanged, this, [](bool shown) {
        if (MainMenuController *menu = MainMenuController::sharedMainMenuController()) {
            menu->showPDFItem()->setVisible(!shown);
            menu->hidePDFItem()->setVisible(shown);
        }
    });
    connect(_pdfViewController->pdfView(), &QSPDFView::syncPointClicked, this,
            &MyDocument::pdfSyncFromPdfViewToTextView);
    _livePreview = new LivePreview(this);
    connect(_livePreview, &LivePreview::onChanged, this, [this] {
        DocumentController *documents = DocumentController::sharedDocumentController();
        if (documents && documents->currentDocument() == this)
            syncPanelMenuItems();
    });
    connect(_textStorageDelegate, &TextStorageDelegate::textViewReloaded, _livePreview,
            &LivePreview::shownFileChanged);

    FindAndReplaceViewController *find = _findAndReplaceCustomViewController;
    connect(find, &FindAndReplaceViewController::resultsShown, this, &MyDocument::setDataSource);
    connect(find, &FindAndReplaceViewController::resultsHidden, this,
            [this] { setDataSource(nullptr); });
    connect(
        find, &FindAndReplaceViewController::resultChosen, this,
        [this](const std::shared_ptr<QSFile> &file, QSRange range) { selectRange(range, file); });

    auto *text = qobject_cast<DropTextView *>(_ui->textView);
    connect(text, &DropTextView::pdfSyncRequested, this, &MyDocument::pdfSyncFromTextViewToPdf);
    connect(text, &DropTextView::newSmartDropRequested, this, [](const QString &fileType) {
        if (AppController *app = AppController::sharedAppController())
            app->editSmartDropForFileType(fileType);
    });
}

// A diagnostic's file, shown with the first character of its line selected; a line
// past the end selects nothing.
MyDocument *MyDocument::showLineOfFile(const std::shared_ptr<QSFile> &file, int lineNumber)
{
    // A file outside the document, such as a bibliography database, opens in a
    // window of its own.
    if (!file->isUntitled() && !QSFilePool::fileList(_fileOpened.get()).contains(file)) {
        DocumentController *documents = DocumentController::sharedDocumentController();
        auto *other = qobject_cast<MyDocument *>(documents->openDocument(file->pathText()));
        if (!other || other == this)
            return nullptr;
        // The window may be that of a document the file is part of.
        const bool holds = QSFilePool::fileList(other->_fileOpened.get()).contains(file);
        return other->showLineOfFile(holds ? file : other->fileOpened(), lineNumber);
    }
    selectRange(QSRange{0, 0}, file);
    const QTextDocument *text = _ui->textView->document();
    if (lineNumber <= 1) {
        selectRange(QSRange{0, text->blockCount() > 1 ? 1u : 0u}, file);
        return this;
    }
    const QTextBlock line = text->findBlockByNumber(lineNumber - 1);
    if (line.isValid())
        selectRange(QSRange{quint32(line.position()), 1}, file);
    return this;
}

void MyDocument::focusText()
{
    _curWindow->raise();
    _curWindow->activateWindow();
    _ui->textView->setFocus(Qt::OtherFocusReason);
}

// The show/hide pairs show the action that applies to this window's panes.
void MyDocument::syncPanelMenuItems() const
{
    if (MainMenuController *menu = MainMenuController::sharedMainMenuController()) {
        menu->showPDFItem()->setVisible(_pdfViewController->isHidden());
        menu->hidePDFItem()->setVisible(!_pdfViewController->isHidden());
        menu->showConsoleItem()->setVisible(!_consoleViewController->isShown());
        menu->hideConsoleItem()->setVisible(_consoleViewController->isShown());
        menu->livePreviewItem()->setChecked(_livePreview && _livePreview->isOn());
    }
}
