#pragma once

#include <QObject>
#include <functional>
#include <memory>

class MyDocument;
class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

// The main menu: its actions are shared by every document window's menu bar and
// act on the current document. It holds the nine items that others show, hide or
// keep in step (the show/hide pairs of the console and the PDF pane).
class MainMenuController : public QObject
{
    Q_OBJECT

public:
    explicit MainMenuController(QObject *parent = nullptr);
    ~MainMenuController() override;
    static MainMenuController *sharedMainMenuController();

    // Fills a document window's menu bar with the shared actions.
    void populateMenuBar(QMenuBar *menuBar) const;
    // Puts the everyday actions on a document window's toolbar.
    void populateToolBar(QToolBar *toolBar) const;

    QAction *showFindAndReplacePanelItem() const { return _showFindAndReplacePanelItem; }
    QAction *hideFindAndReplacePanelItem() const { return _hideFindAndReplacePanelItem; }
    QAction *nextFindResultItem() const { return _nextFindResultItem; }
    QAction *previousFindResultItem() const { return _previousFindResultItem; }
    QAction *findUsagesItem() const { return _findUsagesItem; }
    QAction *renameItem() const { return _renameItem; }
    QAction *printDocumentItem() const { return _printDocumentItem; }
    QAction *showConsoleItem() const { return _showConsoleItem; }
    QAction *hideConsoleItem() const { return _hideConsoleItem; }
    QAction *showPDFItem() const { return _showPDFItem; }
    QAction *hidePDFItem() const { return _hidePDFItem; }
    QAction *compileItem() const { return _compileItem; }
    QAction *stopCompilingItem() const { return _stopCompilingItem; }
    QAction *compileWithBibliographyItem() const { return _compileWithBibliographyItem; }
    // Checked while the current document's live preview is on.
    QAction *livePreviewItem() const { return _livePreviewItem; }
    QAction *previewOnlyChapterItem() const { return _previewOnlyChapterItem; }
    QAction *goToLineItem() const { return _goToLineItem; }
    QAction *goToFileItem() const { return _goToFileItem; }
    QAction *nextTabItem() const { return _nextTabItem; }
    QAction *previousTabItem() const { return _previousTabItem; }
    QAction *closeItem() const { return _closeItem; }
    QAction *toggleCommentItem() const { return _toggleCommentItem; }
    QAction *openItem() const { return _openItem; }
    QAction *undoItem() const { return _undoItem; }
    QAction *redoItem() const { return _redoItem; }
    QAction *saveAsItem() const { return _saveAsItem; }
    QAction *cutItem() const { return _cutItem; }
    QAction *copyItem() const { return _copyItem; }
    QAction *pasteItem() const { return _pasteItem; }
    QAction *selectAllItem() const { return _selectAllItem; }
    // Checked while the windows show their toolbar; remembered in the settings.
    QAction *showToolbarItem() const { return _showToolbarItem; }
    // What the outline lists under the sections, besides them.
    QAction *outlineLabelsItem() const { return _outlineLabelsItem; }
    QAction *outlineFloatsItem() const { return _outlineFloatsItem; }
    QAction *outlineBibliographyItem() const { return _outlineBibliographyItem; }
    QMenu *openRecentMenu() const { return _openRecentMenu.get(); }
    // The engine of the document in front: "As in the preferences" or one engine.
    QMenu *engineMenu() const { return _engineMenu.get(); }
    QAction *keyboardShortcutsItem() const { return _keyboardShortcutsItem; }

private:
    QAction *action(const QString &text, const QKeySequence &shortcut,
                    std::function<void(MyDocument *)> act);
    // Lists the recent documents anew.
    void fillOpenRecentMenu();
    // Checks the engine chosen for the document in front, and says when its root
    // file's magic comment chooses another.
    void showDocumentEngine();
    // Where the Open dialog starts: the folder of the document in front, else the
    // folder it was last left in, else the home folder.
    static QString openFolder();
    void showAbout();

    QAction *_newItem;
    QAction *_openItem;
    QAction *_saveItem;
    QAction *_saveAsItem;
    QAction *_closeItem;
    QAction *_quitItem;
    QAction *_preferencesItem;
    QAction *_undoItem;
    QAction *_redoItem;
    QAction *_cutItem;
    QAction *_copyItem;
    QAction *_pasteItem;
    QAction *_selectAllItem;
    QAction *_compileItem;
    QAction *_stopCompilingItem;
    QAction *_compileWithBibliographyItem;
    QAction *_livePreviewItem;
    QAction *_previewOnlyChapterItem;
    QAction *_goToLineItem;
    QAction *_goToFileItem;
    QAction *_nextTabItem;
    QAction *_previousTabItem;
    QAction *_toggleCommentItem;
    QAction *_printStateItem;
    QAction *_showFindAndReplacePanelItem;
    QAction *_hideFindAndReplacePanelItem;
    QAction *_nextFindResultItem;
    QAction *_previousFindResultItem;
    QAction *_findUsagesItem;
    QAction *_renameItem;
    QAction *_printDocumentItem;
    QAction *_showConsoleItem;
    QAction *_hideConsoleItem;
    QAction *_showPDFItem;
    QAction *_hidePDFItem;
    QAction *_showToolbarItem;
    QAction *_outlineLabelsItem;
    QAction *_outlineFloatsItem;
    QAction *_outlineBibliographyItem;
    QAction *_keyboardShortcutsItem;
    QAction *_aboutItem;
    std::unique_ptr<QMenu> _openRecentMenu; // shared by every window's File menu
    std::unique_ptr<QMenu> _engineMenu;     // shared by every window's Typeset menu
    QAction *_engineNoteItem;               // in the engine menu
};
