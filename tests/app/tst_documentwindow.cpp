#include "AppFixture.h"
#include "app/GoToFileDialog.h"
#include "app/ImageAndTextCell.h"
#include "app/KeyboardShortcutsWindow.h"
#include "app/QSPreferenceWindowController.h"
#include "app/ThemeController.h"
#include "model/TextStorageDelegate.h"
#include "platform/OutlineAppearance.h"
#include "platform/TextEncoding.h"
#include "platform/Theme.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace {

// Selects the first row of that name, at any depth, and gives it.
QModelIndex selectRow(QTreeView *view, const QString &name)
{
    const QAbstractItemModel *model = view->model();
    const auto anyDepth = Qt::MatchExactly | Qt::MatchRecursive;
    const auto rows = model->match(model->index(0, 0), Qt::DisplayRole, name, 1, anyDepth);
    view->selectionModel()->select(rows.value(0), QItemSelectionModel::ClearAndSelect);
    return rows.value(0);
}

// The texts of a menu's items as they are now, without showing the menu.
struct MenuTexts
{
    const QMenu *menu;
    QStringList operator()() const
    {
        QStringList texts;
        for (const QAction *item : menu->actions())
            texts << item->text();
        return texts;
    }
};

} // namespace

class TestDocumentWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { _fixture = std::make_unique<AppFixture>(); }
    void cleanup() { _fixture.reset(); }
    void iconsCellsAndShortenedNames();
    void untitledWindowsAreNumberedAndSizedByTheDefaults();
    void outlineShowsTheExampleFollowsTypingAndSelects();
    void preferencesOpenFromTheEditMenu();
    void statusBarGoToLineAndCommenting();
    void toolbarRecentDocumentsAndShortcutsList();
    void openDialogAndRecentMenuStartWhereTheUserWas();
    void newAndOpenReuseWindows();
    void goToFileFiltersByNameAndFolder();

private:
    std::unique_ptr<AppFixture> _fixture;
};

void TestDocumentWindow::iconsCellsAndShortenedNames()
{
    for (const char *key : {"error", "warning", "part", "chapter", "section", "subsection",
                            "subsubsection", "quillsetFile"})
        QVERIFY2(!_fixture->app.outlineIconForType(key).pixmap(16, 16).isNull(), key);
    for (const char *key : {"text", "File", "include", "input"})
        QVERIFY(_fixture->app.outlineIconForType(key).isNull());
    QCOMPARE(ImageAndTextCell::titleRectForBounds(QRect(0, 0, 100, 20), true),
             QRect(21, 2, 81, 16));
    QCOMPARE(ImageAndTextCell::titleRectForBounds(QRect(0, 0, 100, 20), false),
             QRect(5, 2, 97, 16));
    QCOMPARE(OutlineAppearance::shownName("abcdefghijklmnopqrstuvwxy"),
             "abcdefghijklmnopqrstuvwxy");
    QCOMPARE(OutlineAppearance::shownName("abcdefghijklmnopqrstuvwxyz"),
             "abcdefghijklmno...tuvwxyz");
}

// The first window is centred at the default size; a closed window leaves its frame
// for the next one, which is numbered while the first is open.
void TestDocumentWindow::untitledWindowsAreNumberedAndSizedByTheDefaults()
{
    QVERIFY(_fixture->app.applicationShouldOpenUntitledFile());

    QWidget *window = _fixture->open()->window();
    QCOMPARE(window->size(), QSize(700, 500));
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 4);
    window->resize(640, 420);
    window->move(30, 40);
    const QPoint stored = window->pos();
    window->close();
    QCoreApplication::processEvents();
    const QVariantMap info = UserDefaults::standardUserDefaults().dictionaryForKey(QSWindowInfo);
    QCOMPARE(QSize(info.value("width").toInt(), info.value("height").toInt()), QSize(640, 420));
    QCOMPARE(info.value("shouldCenter").toBool(), false);
    QVERIFY(!AppFixture::held("Untitled"));

    MyDocument *reopened = _fixture->open();
    QCOMPARE(reopened->displayName(), "Untitled");
    QCOMPARE(reopened->window()->size(), QSize(640, 420));
    QCOMPARE(reopened->window()->pos(), stored);
    // Typed in, it is no longer the empty window that New brings back.
    AppFixture::type(reopened->textView(), "x");
    AppFixture::settle();
    // A stored frame at negative coordinates is centred instead.
    QVariantMap offScreen = info;
    offScreen["locationX"] = -50;
    UserDefaults::standardUserDefaults().setObject(offScreen, QSWindowInfo);
    MyDocument *centred = _fixture->open();
    QVERIFY(qAbs(centred->window()->frameGeometry().center().x() - screen.center().x()) <= 4);
    QCOMPARE(centred->displayName(), "Untitled 2");
    QCOMPARE(AppFixture::held("Untitled_2"), centred->fileOpened());
    QVERIFY(centred->window()->windowTitle().startsWith("Untitled 2"));
    QCOMPARE(centred->outlineView()->model()->index(0, 0).data().toString(), "Untitled 2");

    // The outline keeps its width when the window grows; dragging the divider stores it.
    QTreeView *outlineView = centred->outlineView();
    QCOMPARE(outlineView->width(), 200);
    centred->window()->resize(900, 500);
    QCoreApplication::processEvents();
    QCOMPARE(outlineView->width(), 200);
    QSplitterHandle *handle = centred->splitViewBetweenOutlineAndText()->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + QPoint(60, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(60, 0));
    const QVariantMap outlineInfo =
        UserDefaults::standardUserDefaults().dictionaryForKey(QSOutlineViewInfo);
    QCOMPARE(outlineInfo.value("width").toDouble(), double(outlineView->width()));
    QVERIFY(outlineView->width() > 200);
}

void TestDocumentWindow::outlineShowsTheExampleFollowsTypingAndSelects()
{
    MyDocument *document = _fixture->openExample();
    QTreeView *view = document->outlineView();
    QAbstractItemModel *model = view->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // The conclusion's text prints the bibliography, before the appendix.
    const QString appendix = "Bibliography appendix.tex(Field Data(Pool Dimensions))";
    QCOMPARE(AppFixture::outline(model),
             "thesis.tex(introduction.tex(Introduction(Motivation Questions(Scope))) "
             "methods.tex(Methods(Sampling(Instruments(Calibration)) Model)) "
             "results.tex(Results(Temperature Salinity)) Conclusion("
                 + appendix + "))");

    // Type a section into the conclusion, letter by letter, with its row selected.
    const QPersistentModelIndex selected(selectRow(view, "Conclusion"));
    QSTextView *text = document->textView();
    AppFixture::typeBefore(text, "The pools behave", "\\section{New}\n");
    QVERIFY(AppFixture::outline(model).endsWith("Conclusion(New(" + appendix + ")))"));
    QCOMPARE(selected.data().toString(), "Conclusion");
    QVERIFY(view->isExpanded(selected));
    // Deleting it takes it away again.
    for (int i = 0; i < 14; ++i)
        QTest::keyClick(text, Qt::Key_Backspace);
    AppFixture::settle();
    QVERIFY(AppFixture::outline(model).endsWith("Conclusion(" + appendix + "))"));
    QCOMPARE(text->toPlainText(), document->fileOpened()->content());

    // Selecting a row shows its file with the caret at its heading.
    selectRow(view, "Questions");
    const QString introduction =
        TestFolder::read(_fixture->folder.path("chapters/introduction.tex"));
    QCOMPARE(text->toPlainText(), introduction);
    QCOMPARE(text->textCursor().position(), introduction.indexOf("\\section{Questions}"));
    selectRow(view, "methods.tex");
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    QCOMPARE(document->window()->windowTitle(), "methods.tex \u2014 thesis.tex[*] \u2014 Quillset");
    // Selecting a range in another file shows that file first; one past its end, nothing.
    const std::shared_ptr<QSFile> results = AppFixture::fileNamed(document, "results.tex");
    document->selectRange(QSRange{10, 7}, results);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), results);
    QCOMPARE(text->textCursor().selectedText(), results->content().mid(10, 7));
    document->selectRange(QSRange{10000, 1}, document->fileOpened());
    QCOMPARE(document->textStorageDelegate()->selectedFile(), document->fileOpened());
    QCOMPARE(document->window()->windowTitle(), "thesis.tex[*] \u2014 Quillset");
}

// The preferences are where Linux applications keep them, and their key works in
// the document window.
void TestDocumentWindow::preferencesOpenFromTheEditMenu()
{
    QWidget *window = _fixture->open()->window();
    const auto itemNamed = [](const QList<QAction *> &items, const QString &text) -> QAction * {
        for (QAction *item : items)
            if (item->text().remove(u'&') == text)
                return item;
        return nullptr;
    };
    QAction *edit = itemNamed(qobject_cast<QMainWindow *>(window)->menuBar()->actions(), "Edit");
    QAction *preferences = itemNamed(edit->menu()->actions(), "Preferences...");
    QVERIFY(preferences);
    const QList<QKeySequence> desktopKeys = QKeySequence::keyBindings(QKeySequence::Preferences);
    QCOMPARE(preferences->shortcut(),
             desktopKeys.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : desktopKeys.first());
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keySequence(window, preferences->shortcut());
    QWidget *shown = _fixture->app.preferenceController()->window();
    QVERIFY(QTest::qWaitForWindowExposed(shown));

    // Dark colours chosen there repaint the open window at once: the page, the
    // colouring, the console and the application's palette; following the (light,
    // offscreen) desktop brings the light ones back.
    auto *document = qobject_cast<MyDocument *>(_fixture->documents.currentDocument());
    QSTextView *text = document->textView();
    text->setPlainText("\\section{Dark}");
    auto *colours = shown->findChild<QComboBox *>("o_themeComboBox");
    colours->setCurrentIndex(colours->findData("Dark"));
    text->grab();
    QCOMPARE(text->palette().color(QPalette::Base), Theme::dark().page);
    QCOMPARE(
        text->document()->firstBlock().layout()->formats().value(0).format.foreground().color(),
        Theme::dark().controlSequence);
    QCOMPARE(document->consoleViewController()->textLogger()->palette().color(QPalette::Base),
             Theme::dark().page);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 128);
    QCOMPARE(UserDefaults::standardUserDefaults().stringForKey(QSColorTheme), "Dark");
    colours->setCurrentIndex(colours->findData("System"));
    text->grab();
    QCOMPARE(text->palette().color(QPalette::Base), Theme::light().page);
    QCOMPARE(
        text->document()->firstBlock().layout()->formats().value(0).format.foreground().color(),
        Theme::light().controlSequence);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() > 128);
    QCOMPARE(&ThemeController::themeFor("System", true), &Theme::dark());
    shown->close();
    preferences->trigger();
    QVERIFY(shown->isVisible());
}

// The status bar follows the caret; Go to Line past the end goes to the last line;
// commenting the whole text is one edit that one Undo takes back.
void TestDocumentWindow::statusBarGoToLineAndCommenting()
{
    MyDocument *document = _fixture->openExample();
    QSTextView *text = document->textView();
    MainMenuController *menu = MainMenuController::sharedMainMenuController();
    QCOMPARE(document->caretPositionLabel()->text(), "Line 1, Column 1");
    QCOMPARE(document->encodingLabel()->text(), TextEncoding::label(TextEncoding::UTF8));
    QTimer::singleShot(0, [] {
        auto *field = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        QVERIFY(field);
        field->setIntValue(9999);
        field->accept();
    });
    menu->goToLineItem()->trigger();
    QCOMPARE(text->textCursor().blockNumber() + 1, text->blockCount());
    QCOMPARE(document->caretPositionLabel()->text(),
             QString("Line %1, Column 1").arg(text->blockCount()));

    // The Edit menu's standard items act on the document's text.
    const QString before = text->toPlainText();
    menu->selectAllItem()->trigger();
    QCOMPARE(text->textCursor().selectedText().size(), before.size());
    menu->cutItem()->trigger();
    QVERIFY(text->toPlainText().isEmpty());
    menu->pasteItem()->trigger();
    AppFixture::settle();
    QCOMPARE(text->toPlainText(), before);
    QCOMPARE(menu->copyItem()->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(menu->saveAsItem()->shortcut().toString(), "Ctrl+Shift+S");

    text->selectAll();
    menu->toggleCommentItem()->trigger();
    AppFixture::settle();
    QVERIFY(text->toPlainText().startsWith("% \\documentclass"));
    QVERIFY(document->isDocumentEdited());
    document->undo();
    AppFixture::settle();
    QCOMPARE(text->toPlainText(), before);
}

// The toolbar hides and stays hidden; the recent documents outlive a restart and
// forget files that are gone; the shortcuts window lists the keys that work.
void TestDocumentWindow::toolbarRecentDocumentsAndShortcutsList()
{
    MyDocument *document = _fixture->openExample();
    MainMenuController *menu = MainMenuController::sharedMainMenuController();
    auto *window = qobject_cast<QMainWindow *>(document->window());
    auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("toolbar"));
    QVERIFY(toolbar->isVisible());
    QVERIFY(toolbar->actions().contains(menu->compileItem()));
    QVERIFY(!menu->compileItem()->icon().isNull());
    menu->showToolbarItem()->trigger();
    QVERIFY(!toolbar->isVisible());
    QVERIFY(!UserDefaults::standardUserDefaults().boolForKey(QSShowToolbar));
    menu->showToolbarItem()->trigger();

    // Saved under another name, the document is the newest of the recent ones.
    const QString thesis = _fixture->folder.path("thesis.tex");
    const QString notes = _fixture->folder.write("notes.tex", "Notes\n");
    _fixture->open(notes);
    QCOMPARE(_fixture->documents.recentDocumentPaths(), QStringList({notes, thesis}));
    UserDefaults::standardUserDefaults().useSettingsFile(_fixture->folder.path("settings.ini"));
    QCOMPARE(_fixture->documents.recentDocumentPaths(), QStringList({notes, thesis}));
    QFile::remove(notes);
    emit menu->openRecentMenu()->aboutToShow();
    QStringList items;
    for (const QAction *item : menu->openRecentMenu()->actions())
        items << item->text();
    QCOMPARE(items, QStringList({thesis, QString(), "Clear Menu"}));
    menu->openRecentMenu()->actions().constLast()->trigger();
    QVERIFY(_fixture->documents.recentDocumentPaths().isEmpty());

    // Every menu item is listed with its keys, and the keys listed fire the item.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    menu->keyboardShortcutsItem()->trigger();
    KeyboardShortcutsWindow *shortcuts = nullptr;
    for (QWidget *shown : QApplication::topLevelWidgets())
        if (shown->isVisible() && qobject_cast<KeyboardShortcutsWindow *>(shown))
            shortcuts = static_cast<KeyboardShortcutsWindow *>(shown);
    QVERIFY(shortcuts);
    const QTableWidget *rows = shortcuts->table();
    QMap<QString, QString> keys;
    for (int row = 0; row < rows->rowCount(); ++row)
        keys.insert(rows->item(row, 1)->text(), rows->item(row, 2)->text());
    QCOMPARE(keys.value("Compile"), "F5");
    QCOMPARE(keys.value("Comment or Uncomment Lines"), "Ctrl+/");
    QCOMPARE(keys.value("Next Page"), "PgDown");
    QVERIFY(keys.contains("About Quillset"));
    shortcuts->close();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QSignalSpy commented(menu->toggleCommentItem(), &QAction::triggered);
    QTest::keyClick(document->textView(), Qt::Key_Slash, Qt::ControlModifier);
    QCOMPARE(commented.size(), 1);
}

// Triggers Open, and in the dialog that comes up notes its folder and opens the file
// given, or cancels; the folder the dialog showed.
QString openThroughTheDialog(const QString &file = {})
{
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFileDialog *dialog = nullptr;
        for (QWidget *shown : QApplication::topLevelWidgets())
            if (shown->isVisible() && qobject_cast<QFileDialog *>(shown))
                dialog = static_cast<QFileDialog *>(shown);
        if (!dialog)
            return;
        if (shown.isEmpty())
            shown = dialog->directory().absolutePath();
        if (file.isEmpty())
            return dialog->reject();
        // Typed into the name field, as a user may do.
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(20);
    MainMenuController::sharedMainMenuController()->openItem()->trigger();
    return shown;
}

// The Open dialog starts in the folder of the document in front, else in the folder
// it was left in last; Open Recent holds the recent documents before it is shown.
void TestDocumentWindow::openDialogAndRecentMenuStartWhereTheUserWas()
{
    _fixture.reset();
    {
        TestFolder settings;
        const QString kept = settings.write("kept.tex", "x");
        UserDefaults::standardUserDefaults().setObject(QStringList{kept}, QSRecentDocuments);
        MainMenuController startingUp; // before any document controller, as at start-up
        QCOMPARE(startingUp.openRecentMenu()->actions().value(0)->text(), kept);
    }
    _fixture = std::make_unique<AppFixture>();
    MenuTexts recent(MainMenuController::sharedMainMenuController()->openRecentMenu());
    QCOMPARE(recent(), QStringList({QString(), "Clear Menu"}));
    MyDocument *thesis = _fixture->openExample();
    QCOMPARE(recent(), QStringList({_fixture->folder.path("thesis.tex"), QString(), "Clear Menu"}));

    QCOMPARE(openThroughTheDialog(), _fixture->folder.path(""));
    const QString elsewhere = _fixture->folder.write("elsewhere/notes.tex", "Notes\n");
    MyDocument *untitled = _fixture->open();
    AppFixture::type(untitled->textView(), "x"); // kept when a file opens
    QCOMPARE(openThroughTheDialog(elsewhere), QDir::homePath());
    QCOMPARE(_fixture->documents.documents().size(), 3);
    untitled->window()->activateWindow();
    _fixture->documents.setCurrentDocument(untitled);
    QCOMPARE(openThroughTheDialog(), QFileInfo(elsewhere).absolutePath());
    _fixture->documents.setCurrentDocument(thesis);
    QCOMPARE(openThroughTheDialog(), _fixture->folder.path(""));
}

QUILLSET_TEST_MAIN(TestDocumentWindow)
#include "tst_documentwindow.moc"

// New and Open use the untitled window nobody has typed in instead of opening
// another; a file the open document includes is shown in its window.
void TestDocumentWindow::newAndOpenReuseWindows()
{
    DocumentController &documents = _fixture->documents;
    MyDocument *empty = _fixture->open();
    QCOMPARE(_fixture->open(), empty);
    QCOMPARE(documents.documents().size(), 1);
    empty->window()->move(60, 70);
    const QRect frame = empty->window()->geometry();

    _fixture->copyExample();
    const QPointer<MyDocument> untitled = empty;
    MyDocument *thesis = _fixture->open(_fixture->folder.path("thesis.tex"));
    QCoreApplication::processEvents();
    QTRY_VERIFY(untitled.isNull());
    QCOMPARE(documents.documents().size(), 1);
    QCOMPARE(thesis->window()->geometry(), frame);

    // A chapter of the thesis opened from outside shows in the thesis's window.
    QCOMPARE(_fixture->open(_fixture->folder.path("chapters/methods.tex")), thesis);
    QCOMPARE(documents.documents().size(), 1);
    QCOMPARE(thesis->textStorageDelegate()->selectedFile()->name(), "methods.tex");

    // A window typed in is kept: New makes another, which the next file replaces.
    MyDocument *note = _fixture->open();
    QVERIFY(note != thesis);
    AppFixture::type(note->textView(), "a note");
    AppFixture::settle();
    const QPointer<MyDocument> another = _fixture->open();
    QVERIFY(another && another != note);
    _fixture->folder.write("other.tex", "\\section{Other}\n");
    _fixture->open(_fixture->folder.path("other.tex"));
    QTRY_VERIFY(another.isNull());
    QCOMPARE(documents.documents().size(), 3);
}

// Ctrl+P lists the document's files by their paths from the root's folder; words
// typed narrow the list, names that start with the last word first; Return shows it.
void TestDocumentWindow::goToFileFiltersByNameAndFolder()
{
    const QStringList paths{
        "thesis.tex",           "appendix.tex",         "chapters/introduction.tex",
        "chapters/methods.tex", "chapters/results.tex", "figures/methods-plot.tex"};
    const auto shown = [&paths](const QString &filter) {
        QStringList kept;
        for (int row : GoToFileDialog::matching(paths, filter))
            kept << paths[row];
        return kept;
    };
    QCOMPARE(shown(""), paths);
    QCOMPARE(shown("METH"), QStringList({"chapters/methods.tex", "figures/methods-plot.tex"}));
    QCOMPARE(shown("figures meth"), QStringList({"figures/methods-plot.tex"}));
    QCOMPARE(shown("s.tex"),
             QStringList({"thesis.tex", "chapters/methods.tex", "chapters/results.tex"}));
    QCOMPARE(shown("chap"), QStringList({"chapters/introduction.tex", "chapters/methods.tex",
                                         "chapters/results.tex"}));
    QCOMPARE(shown("nothing"), QStringList());

    MyDocument *thesis = _fixture->openExample();
    QAction *goToFile = MainMenuController::sharedMainMenuController()->goToFileItem();
    QCOMPARE(goToFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    goToFile->trigger();
    auto *dialog = AppFixture::shownDialog<GoToFileDialog>(thesis->window());
    QVERIFY(dialog);
    QCOMPARE(dialog->list()->count(), 5);
    QTest::keyClicks(dialog->filterField(), "res");
    QCOMPARE(dialog->list()->currentItem()->text(), "chapters/results.tex");
    QTest::keyClick(dialog->filterField(), Qt::Key_Return);
    QCOMPARE(thesis->textStorageDelegate()->selectedFile()->name(), "results.tex");
    QVERIFY(!dialog->isVisible());
}
