#include "AppFixture.h"
#include "app/QSGeneralPreferencesViewController.h"
#include "app/QSLatexEnginePreferencesViewController.h"
#include "app/QSPreferenceWindowController.h"
#include "app/QSSmartDropPreferencesViewController.h"
#include "app/QSTemplatePreferencesViewController.h"
#include "editor/SmartDrop.h"
#include "platform/Assertions.h"
#include "platform/SoftwareUpdater.h"
#include "platform/TextEncoding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

namespace {

// Every pane's button shows in the toolbar, none behind the overflow arrow.
bool everyPaneButtonShows(QMainWindow *window)
{
    auto *toolBar = window->findChild<QToolBar *>("o_toolBar");
    for (QAction *item : toolBar->actions()) {
        const QWidget *button = toolBar->widgetForAction(item);
        if (!button || !button->isVisible())
            return false;
    }
    const auto *overflow = toolBar->findChild<QToolButton *>("qt_toolbar_ext_button");
    return !overflow || !overflow->isVisible();
}

void activate(QWidget *window)
{
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        qWarning("window not active");
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void oneWindowThatResizesToItsPanes();
    void windowClosesByKeyOrButtonAndRemembers();
    void panesReadAndWriteTheirSettings();
    void engineChosenIsTheOneF5Runs_data();
    void engineChosenIsTheOneF5Runs();
    void choicesApplyWhileTheWindowIsOpen();
    void engineWarningFollowsTheFolder();
    void smartDropPaneEditsTheDefinitions();
};

void TestPreferences::oneWindowThatResizesToItsPanes()
{
    TestFolder folder;
    AppController app;
    app.showPreferencePanel();
    QSPreferenceWindowController *controller = app.preferenceController();
    app.showPreferencePanel();
    QCOMPARE(app.preferenceController(), controller);
    QMainWindow *window = controller->window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(controller->indexOfLastShownView(), 0);
    QVERIFY(!window->windowTitle().isEmpty());
    QVERIFY(everyPaneButtonShows(window));

    // The window grows by what the template pane needs more, keeping its top and centre.
    const QRect before = window->geometry();
    const QSize growth = controller->pane(1)->size() - controller->pane(0)->size();
    controller->displayPreferenceAtIndex(1);
    const QRect after = window->geometry();
    QCOMPARE(after.top(), before.top());
    QVERIFY(qAbs(after.center().x() - before.center().x()) <= 1);
    QCOMPARE(after.size() - before.size(), growth);
    controller->displayPreferenceAtIndex(1);
    QCOMPARE(window->geometry(), after);

    // A pane narrower than the row of pane buttons leaves the window as wide as the row.
    controller->pane(2)->resize(40, controller->pane(2)->height());
    controller->displayPreferenceAtIndex(2);
    QCOMPARE(window->geometry().top(), after.top());
    QVERIFY(qAbs(window->geometry().center().x() - after.center().x()) <= 1);
    QVERIFY(everyPaneButtonShows(window));
    for (qsizetype index : {3, 0, 1}) {
        controller->displayPreferenceAtIndex(index);
        QVERIFY(everyPaneButtonShows(window));
    }

    // A pane that does not exist is a programming error, and changes nothing.
    QVERIFY_THROWS_EXCEPTION(QSInternalInconsistency, controller->displayPreferenceAtIndex(4));
    QCOMPARE(controller->indexOfLastShownView(), 1);
}

// Escape, Ctrl+W and the Close button each close the window, which saves the panes; it
// opens again at the size and on the pane it had.
void TestPreferences::windowClosesByKeyOrButtonAndRemembers()
{
    TestFolder folder;
    AppController app;
    const QString path = folder.path("engines/");
    const QList<std::pair<QString, QKeySequence>> ways{
        {"Escape", QKeySequence(Qt::Key_Escape)},
        {"Ctrl+W", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {"Close", QKeySequence()}};
    for (const auto &[how, keys] : ways) {
        app.showPreferencePanel();
        QMainWindow *window = app.preferenceController()->window();
        activate(window);
        auto *directory = window->findChild<QLineEdit *>("o_engineDirectoryPathTextField");
        directory->setText(path + how);
        if (how == "Close") {
            auto *buttons = window->findChild<QDialogButtonBox *>();
            QVERIFY(buttons);
            buttons->button(QDialogButtonBox::Close)->click();
        } else {
            QWidget *focus = QApplication::focusWidget();
            QTest::keySequence(focus ? focus : window, keys);
        }
        QVERIFY2(!window->isVisible(), qPrintable(how));
        QCOMPARE(UserDefaults::standardUserDefaults().stringForKey(QSTexEngineDirectoryPath),
                 path + how);
    }

    app.showPreferencePanel();
    QSPreferenceWindowController *controller = app.preferenceController();
    controller->displayPreferenceAtIndex(2);
    controller->window()->resize(controller->window()->size() + QSize(90, 70));
    const QSize chosen = controller->window()->size();
    controller->window()->close();
    QSPreferenceWindowController again;
    QCOMPARE(again.indexOfLastShownView(), 2);
    QCOMPARE(again.window()->size(), chosen);
}

// Every label of the encodings shows its number and stores it; a pane never shown is
// saved too; a text that names no encoding leaves the stored one alone. The general
// pane offers no update options, since updates come through the package manager, and
// leaves what a user stored for them as it is.
void TestPreferences::panesReadAndWriteTheirSettings()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        defaults.setObject(choice.number, QSFileEncoding);
        QSPreferenceWindowController controller;
        auto *shown = controller.pane(0)->findChild<QComboBox *>("o_fileEncodingComboBox");
        QCOMPARE(shown->currentText(), choice.label);
        QCOMPARE(shown->count(), 7);
        defaults.setObject(4, QSFileEncoding);
        controller.window()->close();
        QCOMPARE(defaults.integerForKey(QSFileEncoding), choice.number);
    }
    SoftwareUpdater::sharedUpdater().setAutomaticallyChecksForUpdates(true);
    QSPreferenceWindowController controller;
    // Updates come from the package manager: no box turns them on; the one box
    // there turns the session off.
    const QList<QCheckBox *> boxes = controller.pane(0)->findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->objectName(), "o_reopenDocumentsCheckBox");
    QVERIFY(boxes.first()->isChecked());
    boxes.first()->click();
    QCOMPARE(defaults.boolForKey(QSReopenDocuments), false);
    bool explained = false;
    for (const QLabel *label : controller.pane(0)->findChildren<QLabel *>())
        explained = explained || label->text().contains("package manager");
    QVERIFY(explained);
    auto *encoding = controller.pane(0)->findChild<QComboBox *>("o_fileEncodingComboBox");
    encoding->setCurrentText("Windows latin2");
    controller.pane(1)->findChild<QPlainTextEdit *>("o_templateTextView")->setPlainText("\\book");
    controller.window()->show();
    controller.window()->close();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 15);
    QCOMPARE(defaults.stringForKey(QSUntitledFileTemplate), "\\book");
    QCOMPARE(defaults.stringForKey(QSSelectedEngineExec), "pdflatex");
    QVERIFY(SoftwareUpdater::sharedUpdater().automaticallyChecksForUpdates());
    encoding->setCurrentText("EBCDIC");
    controller.window()->show();
    controller.window()->close();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 15);
}

void TestPreferences::engineChosenIsTheOneF5Runs_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<bool>("once");
    QTest::addColumn<QString>("logStart");
    QTest::newRow("xelatex once") << "xelatex" << true << "This is XeTeX";
    QTest::newRow("lualatex once") << "lualatex" << true << "This is LuaHBTeX";
    QTest::newRow("pdflatex through the chain") << "pdflatex" << false << "This is pdfTeX";
}

// The engine and the single run chosen in the open preferences window are what F5
// runs next on the example thesis; the log's first line names the engine, and only
// the chain, which F5 runs unless told otherwise, writes the bibliography.
void TestPreferences::engineChosenIsTheOneF5Runs()
{
    QFETCH(QString, engine);
    QFETCH(bool, once);
    QFETCH(QString, logStart);
    AppFixture fixture;
    MyDocument *document = fixture.openExample();
    fixture.app.showPreferencePanel();
    QSPreferenceWindowController *controller = fixture.app.preferenceController();
    controller->displayPreferenceAtIndex(2);
    controller->window()->findChild<QRadioButton *>(engine + "Button")->click();
    if (once)
        controller->window()->findChild<QCheckBox *>("o_runEngineOnceCheckBox")->click();

    activate(document->window());
    QSignalSpy updated(document->consoleViewController(),
                       &ConsoleViewController::errorWarningOutlineUpdated);
    QTest::keyClick(document->window(), Qt::Key_F5);
    QVERIFY(updated.wait(120000));
    QVERIFY(controller->window()->isVisible());
    const QByteArray log = TestFolder::read(fixture.folder.path("thesis.log"));
    QVERIFY2(log.startsWith(logStart.toUtf8()), log.left(80).constData());
    QCOMPARE(QFile::exists(fixture.folder.path("thesis.bbl")), !once);
}

// What the general and template panes set applies while the window stays open: the
// next new document has the template, the next save writes the encoding, and the open
// window's spell checking follows the language.
void TestPreferences::choicesApplyWhileTheWindowIsOpen()
{
    AppFixture fixture;
    fixture.folder.write("note.tex", "A line of mispeled text.\n");
    MyDocument *document = fixture.open(fixture.folder.path("note.tex"));
    QSTextView *view = document->textView();
    QTRY_COMPARE(view->misspeltWords(0).size(), 1);
    fixture.app.showPreferencePanel();
    QMainWindow *window = fixture.app.preferenceController()->window();
    activate(window);

    auto *spelling = window->findChild<QComboBox *>("o_spellingLanguageComboBox");
    spelling->setCurrentIndex(spelling->findData("none"));
    QTRY_VERIFY(view->misspeltWords(0).isEmpty());
    spelling->setCurrentIndex(spelling->findData("en_US"));
    QTRY_COMPARE(view->misspeltWords(0).size(), 1);

    auto *encoding = window->findChild<QComboBox *>("o_fileEncodingComboBox");
    encoding->setCurrentIndex(encoding->findText("Windows latin1"));
    AppFixture::typeBefore(view, "line", QString::fromUtf8("caf\u00e9 "));
    activate(document->window());
    QTest::keySequence(document->window(), QKeySequence::Save);
    QCOMPARE(TestFolder::read(fixture.folder.path("note.tex")),
             QByteArray("A caf\xe9 line of mispeled text.\n"));

    fixture.app.preferenceController()->displayPreferenceAtIndex(1);
    activate(window);
    auto *text = window->findChild<QPlainTextEdit *>("o_templateTextView");
    text->selectAll();
    AppFixture::type(text, "\\documentclass{book}\n");
    QCOMPARE(fixture.open()->textView()->toPlainText(), "\\documentclass{book}\n");
    QVERIFY(window->isVisible());
}

void TestPreferences::engineWarningFollowsTheFolder()
{
    TestFolder folder;
    const QString engines = folder.path("engines");
    folder.write("engines/pdflatex", "#!/bin/sh\n");
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(engines + "/", QSTexEngineDirectoryPath);
    QSLatexEnginePreferencesViewController pane;
    QCOMPARE(pane.whichEngineIsSelected(), "pdflatex");
    QVERIFY(!pane.isEngineNotFoundWarningShown());

    // Without the final "/" the folder and the engine's name run together.
    auto *field = pane.findChild<QLineEdit *>("o_engineDirectoryPathTextField");
    field->clear();
    QTest::keyClicks(field, engines);
    QVERIFY(pane.isEngineNotFoundWarningShown());
    QTest::keyClicks(field, "/");
    QVERIFY(!pane.isEngineNotFoundWarningShown());

    // A name in other letter case selects nothing.
    pane.selectEngineWithName("PDFLaTeX");
    QCOMPARE(pane.whichEngineIsSelected(), QString());
    pane.selectEngineWithName("xelatex");
    QVERIFY(pane.isEngineNotFoundWarningShown());
    pane.savePreferences();
    QCOMPARE(defaults.stringForKey(QSSelectedEngineExec), "xelatex");
    QCOMPARE(defaults.stringForKey(QSTexEngineDirectoryPath), engines + "/");
}

// The SmartDrop pane edits the registry at once and stores it when the window closes,
// with a definition added elsewhere while it is open (tst_smartdrop adds one so).
void TestPreferences::smartDropPaneEditsTheDefinitions()
{
    TestFolder folder;
    SmartDrop *registry = SmartDrop::sharedSmartDrop();
    registry->setSmartDrops({{"pdf", "test"}, {"png", "\\includegraphics{:filepath:}"}});
    QSPreferenceWindowController controller;
    auto *pane = qobject_cast<QSSmartDropPreferencesViewController *>(
        controller.pane(QSSmartDropPreferencesViewController::paneIndex));
    auto *table = pane->findChild<QTableWidget *>("o_smartDropTable");
    QCOMPARE(table->rowCount(), 2);

    pane->addSmartDrop();
    table->item(2, 0)->setText("csv");
    table->item(2, 1)->setText("\\csv{:filepath:}");
    table->setCurrentCell(0, 0); // pdf
    pane->removeSelectedSmartDrop();
    table->item(0, 1)->setText("\\includegraphics[width=1cm]{:filepath:}");
    QCOMPARE(registry->smartDrops(),
             (QMap<QString, QString>{{"csv", "\\csv{:filepath:}"},
                                     {"png", "\\includegraphics[width=1cm]{:filepath:}"}}));
    registry->setSmartDrop("tmpSmartDrop", "PDF");
    pane->editSmartDropForFileType("PDF");
    controller.window()->close();
    const QVariantMap stored =
        UserDefaults::standardUserDefaults().dictionaryForKey(QSSmartDropDefinitions);
    QCOMPARE(stored.keys(), (QStringList{"PDF", "csv", "png"}));
    QCOMPARE(stored.value("PDF").toString(), "tmpSmartDrop");
}

QUILLSET_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
