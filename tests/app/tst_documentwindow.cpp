#include "AppFixture.h"
#include "app/AppController.h"
#include "app/ImageAndTextCell.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "app/OutlineViewDataSource.h"
#include "app/QSPreferenceWindowController.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/QSTextView.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"
#include "platform/DocumentController.h"
#include "platform/OutlineAppearance.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDirIterator>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTreeView>

namespace {

// The outline as one line: each row's name, its children in brackets.
QString outline(const QAbstractItemModel *model, const QModelIndex &parent = {})
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        QString text = index.data().toString();
        if (model->rowCount(index) > 0)
            text += u'(' + outline(model, index) + u')';
        rows << text;
    }
    return rows.join(u' ');
}

QModelIndex rowNamed(const QAbstractItemModel *model, const QString &name,
                     const QModelIndex &parent = {})
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == name)
            return index;
        if (const QModelIndex found = rowNamed(model, name, index); found.isValid())
            return found;
    }
    return {};
}

} // namespace

class TestDocumentWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithTheSingletonsAndAnUntitledDocument();
    void windowFrameComesFromAndGoesToTheDefaults();
    void outlineShowsTheExampleAndFollowsTyping();
    void selectingRowsShowsFilesAndPlacesTheCaret();
    void outlineKeepsItsWidth();
    void cellGeometryAndShortenedNames();
    void preferencesOpenFromTheEditMenu();

private:
    MyDocument *open(const QString &path = {}) { return _fixture->open(path); }

    std::unique_ptr<AppFixture> _fixture;
    AppController *_app = nullptr;
    MainMenuController *_menu = nullptr;
    TestFolder *_folder = nullptr;
};

void TestDocumentWindow::init()
{
    _fixture = std::make_unique<AppFixture>();
    _app = &_fixture->app;
    _menu = &_fixture->menu;
    _folder = &_fixture->folder;
}

void TestDocumentWindow::cleanup()
{
    _fixture.reset();
}

void TestDocumentWindow::startsWithTheSingletonsAndAnUntitledDocument()
{
    QCOMPARE(QSFilePool::sharedFilePool(), _app->appFilePool());
    QCOMPARE(ChangesQueue::sharedQueue(), _app->appChangesQueue());
    QCOMPARE(QSSyntaxHighlighter::sharedSyntaxHightlighter(), _app->syntaxHighlighter());
    QCOMPARE(MainMenuController::sharedMainMenuController(), _menu);
    for (const char *key : {"error", "warning", "part", "chapter", "section", "subsection",
                            "subsubsection", "quillsetFile"}) {
        QVERIFY2(!_app->outlineIconForType(key).pixmap(16, 16).isNull(), key);
    }
    for (const char *key : {"text", "File", "include", "input"})
        QVERIFY(_app->outlineIconForType(key).isNull());

    QVERIFY(_app->applicationShouldOpenUntitledFile());
    UserDefaults::standardUserDefaults().setObject(false, QSOpenUntitledFileOnLaunch);
    QVERIFY(!_app->applicationShouldOpenUntitledFile());

    MyDocument *first = open();
    MyDocument *second = open();
    QCOMPARE(first->displayName(), QStringLiteral("Untitled"));
    QCOMPARE(second->displayName(), QStringLiteral("Untitled 2"));
    QCOMPARE(second->curPath(), QStringLiteral("Untitled_2"));
    QCOMPARE(QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile("Untitled_2")),
             second->fileOpened());
    QCOMPARE(second->textView()->toPlainText(),
             UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate));
    QVERIFY(second->window()->windowTitle().startsWith(QStringLiteral("Untitled 2")));
    // A document with no PDF pane yet offers to show it, not to hide it.
    QVERIFY(_menu->showPDFItem()->isVisible());
    QVERIFY(!_menu->hidePDFItem()->isVisible());
}

void TestDocumentWindow::windowFrameComesFromAndGoesToTheDefaults()
{
    MyDocument *document = open();
    QWidget *window = document->window();
    QCOMPARE(window->size(), QSize(700, 500));
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 4);

    window->resize(640, 420);
    window->move(30, 40);
    const QPoint stored = window->pos();
    window->close();
    QCoreApplication::processEvents();
    const QVariantMap info = UserDefaults::standardUserDefaults().dictionaryForKey(QSWindowInfo);
    QCOMPARE(info.value("width").toInt(), 640);
    QCOMPARE(info.value("height").toInt(), 420);
    QCOMPARE(info.value("shouldCenter").toBool(), false);
    QVERIFY(!QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile("Untitled")));

    MyDocument *reopened = open();
    QCOMPARE(reopened->window()->size(), QSize(640, 420));
    QCOMPARE(reopened->window()->pos(), stored);
    reopened->window()->close();

    // A stored frame at negative coordinates is centred instead.
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"locationX", -50},
                                                               {"locationY", 10},
                                                               {"width", 600},
                                                               {"height", 400},
                                                               {"shouldCenter", false}},
                                                   QSWindowInfo);
    MyDocument *centred = open();
    QVERIFY(qAbs(centred->window()->frameGeometry().center().x() - screen.center().x()) <= 4);
}

void TestDocumentWindow::outlineShowsTheExampleAndFollowsTyping()
{
    _fixture->copyExample();
    MyDocument *document = open(_folder->path("thesis.tex"));
    QVERIFY(document);
    QAbstractItemModel *model = document->outlineView()->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(
        outline(model),
        QStringLiteral("thesis.tex(introduction.tex(Introduction(Motivation Questions(Scope))) "
                       "methods.tex(Methods(Sampling(Instruments(Calibration)) Model)) "
                       "results.tex(Results(Temperature Salinity)) "
                       "Conclusion(appendix.tex(Field Data(Pool Dimensions))))"));

    // Type a section into the conclusion, letter by letter, with its row selected.
    const QModelIndex conclusion = rowNamed(model, "Conclusion");
    document->outlineView()->selectionModel()->select(conclusion,
                                                      QItemSelectionModel::ClearAndSelect);
    const QPersistentModelIndex selected(conclusion);
    QSTextView *text = document->textView();
    QTextCursor cursor = text->document()->find("The pools behave");
    cursor.setPosition(cursor.selectionStart());
    text->setTextCursor(cursor);
    AppFixture::type(text, "\\section{New}\n");
    AppFixture::settle();
    QCOMPARE(outline(model).mid(outline(model).indexOf("Conclusion")),
             QStringLiteral("Conclusion(New(appendix.tex(Field Data(Pool Dimensions)))))"));
    QVERIFY(selected.isValid());
    QCOMPARE(selected.data().toString(), QStringLiteral("Conclusion"));
    QVERIFY(document->outlineView()->isExpanded(rowNamed(model, "Conclusion")));

    // Deleting it takes it away again.
    for (int i = 0; i < 14; ++i)
        QTest::keyClick(text, Qt::Key_Backspace);
    AppFixture::settle();
    QCOMPARE(outline(model).mid(outline(model).indexOf("Conclusion")),
             QStringLiteral("Conclusion(appendix.tex(Field Data(Pool Dimensions))))"));
    QCOMPARE(text->toPlainText(), document->fileOpened()->content());
}

void TestDocumentWindow::selectingRowsShowsFilesAndPlacesTheCaret()
{
    _fixture->copyExample();
    MyDocument *document = open(_folder->path("thesis.tex"));
    QTreeView *outlineView = document->outlineView();
    QAbstractItemModel *model = outlineView->model();

    outlineView->selectionModel()->select(rowNamed(model, "Questions"),
                                          QItemSelectionModel::ClearAndSelect);
    const QString introduction = TestFolder::read(_folder->path("chapters/introduction.tex"));
    QCOMPARE(document->textView()->toPlainText().toUtf8(), introduction);
    QCOMPARE(document->textView()->textCursor().position(),
             introduction.indexOf("\\section{Questions}"));

    outlineView->selectionModel()->select(rowNamed(model, "methods.tex"),
                                          QItemSelectionModel::ClearAndSelect);
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(),
             QStringLiteral("methods.tex"));

    // Selecting a range in another file shows that file first.
    const std::shared_ptr<QSFile> results = QSFilePool::sharedFilePool()->fileObjectForPath(
        QUrl::fromLocalFile(_folder->path("chapters/results.tex")));
    document->selectRange(QSRange{10, 7}, results);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), results);
    QCOMPARE(document->textView()->textCursor().selectedText(), results->content().mid(10, 7));
    document->selectRange(QSRange{10000, 1}, document->fileOpened());
    QCOMPARE(document->textStorageDelegate()->selectedFile(), document->fileOpened());
}

void TestDocumentWindow::outlineKeepsItsWidth()
{
    MyDocument *document = open();
    QTreeView *outlineView = document->outlineView();
    QCOMPARE(outlineView->width(), 200);
    document->window()->resize(900, 500);
    QCoreApplication::processEvents();
    QCOMPARE(outlineView->width(), 200);

    // Dragging the divider stores the new width.
    QSplitterHandle *handle = document->splitViewBetweenOutlineAndText()->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + QPoint(60, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(60, 0));
    const double stored = UserDefaults::standardUserDefaults()
                              .dictionaryForKey(QSOutlineViewInfo)
                              .value("width")
                              .toDouble();
    QCOMPARE(stored, double(outlineView->width()));
    QVERIFY(stored > 200);
}

void TestDocumentWindow::cellGeometryAndShortenedNames()
{
    QCOMPARE(ImageAndTextCell::titleRectForBounds(QRect(0, 0, 100, 20), true),
             QRect(21, 2, 81, 16));
    QCOMPARE(ImageAndTextCell::titleRectForBounds(QRect(0, 0, 100, 20), false),
             QRect(5, 2, 97, 16));
    QCOMPARE(OutlineAppearance::shownName("abcdefghijklmnopqrstuvwxy"),
             QStringLiteral("abcdefghijklmnopqrstuvwxy"));
    QCOMPARE(OutlineAppearance::shownName("abcdefghijklmnopqrstuvwxyz"),
             QStringLiteral("abcdefghijklmno...tuvwxyz"));
}

// The preferences are where Linux applications keep them, and their key works in
// the document window.
void TestDocumentWindow::preferencesOpenFromTheEditMenu()
{
    MyDocument *document = open();
    QWidget *window = document->window();
    const auto itemNamed = [](const QList<QAction *> &items, const QString &text) -> QAction * {
        for (QAction *item : items) {
            if (item->text().remove(u'&') == text)
                return item;
        }
        return nullptr;
    };
    QAction *edit = itemNamed(qobject_cast<QMainWindow *>(window)->menuBar()->actions(), "Edit");
    QVERIFY(edit && edit->menu());
    QAction *preferences = itemNamed(edit->menu()->actions(), "Preferences...");
    QVERIFY(preferences);
    const QList<QKeySequence> desktopKeys = QKeySequence::keyBindings(QKeySequence::Preferences);
    QCOMPARE(preferences->shortcut(),
             desktopKeys.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : desktopKeys.first());

    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keySequence(window, preferences->shortcut());
    QVERIFY(_app->preferenceController());
    QWidget *shown = _app->preferenceController()->window();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    shown->close();
    QVERIFY(!shown->isVisible());
    preferences->trigger();
    QVERIFY(shown->isVisible());
}

QTEST_MAIN(TestDocumentWindow)
#include "tst_documentwindow.moc"
