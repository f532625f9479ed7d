#include "app/MainMenuController.h"

#include "app/AppController.h"
#include "app/MyDocument.h"
#include "editor/QSTextView.h"
#include "platform/DocumentController.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenuBar>
#include <QWidget>

namespace {

MainMenuController *sharedController = nullptr;

MyDocument *currentDocument()
{
    DocumentController *documents = DocumentController::sharedDocumentController();
    return documents ? qobject_cast<MyDocument *>(documents->currentDocument()) : nullptr;
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
                                          QString(), tr("LaTeX files (*.tex);;All files (*)"));
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
    connect(_closeItem, &QAction::triggered, this, [] {
        if (MyDocument *document = currentDocument())
            document->window()->close();
    });
    _quitItem = new QAction(tr("&Quit"), this);
    _quitItem->setShortcut(QKeySequence::Quit);
    _quitItem->setMenuRole(QAction::QuitRole);
    connect(_quitItem, &QAction::triggered, qApp, &QApplication::closeAllWindows);
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
    // a field of the find strip), else on the current document's text. A text field takes these keys itself; the
    // items are for the menu and for the widgets that do not.
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
    _goToLineItem = action(tr("&Go to Line..."), QKeySequence(Qt::CTRL | Qt::Key_L),
                           &MyDocument::goToLine);
    _toggleCommentItem = action(tr("Comment or Uncomment &Lines"),
                                QKeySequence(Qt::CTRL | Qt::Key_Slash), &MyDocument::toggleComment);
    _compileWithBibliographyItem =
        action(tr("Compile with &Bibliography"), QKeySequence(Qt::CTRL | Qt::Key_F5),
               &MyDocument::compileDocumentWithBibliography);
    _stopCompilingItem = action(tr("&Stop Compiling"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
                                &MyDocument::stopCompiling);
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
    _printDocumentItem = action(tr("&Print..."), QKeySequence::Print, &MyDocument::printDocument);
    _showConsoleItem = action(tr("Show Console"), QKeySequence(), &MyDocument::showConsoleView);
    _hideConsoleItem = action(tr("Hide Console"), QKeySequence(), &MyDocument::hideConsoleView);
    _showPDFItem = action(tr("Show PDF"), QKeySequence(), &MyDocument::showPDFView);
    _hidePDFItem = action(tr("Hide PDF"), QKeySequence(), &MyDocument::hidePDFView);
    _hideConsoleItem->setVisible(false);
    _hidePDFItem->setVisible(false);
    _hideFindAndReplacePanelItem->setVisible(false);
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
    edit->addActions({_toggleCommentItem, _goToLineItem});
    edit->addSeparator();
    edit->addActions({_showFindAndReplacePanelItem, _hideFindAndReplacePanelItem,
                      _nextFindResultItem, _previousFindResultItem});
    edit->addSeparator();
    edit->addAction(_preferencesItem);

    QMenu *view = menuBar->addMenu(tr("&View"));
    view->addActions({_showConsoleItem, _hideConsoleItem, _showPDFItem, _hidePDFItem});
    view->addSeparator();
    view->addAction(_printStateItem);

    QMenu *typeset = menuBar->addMenu(tr("&Typeset"));
    typeset->addActions({_compileItem, _compileWithBibliographyItem, _stopCompilingItem});
}
