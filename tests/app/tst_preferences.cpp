#include "TestSupport.h"
#include "app/AppController.h"
#include "app/QSGeneralPreferencesViewController.h"
#include "app/QSLatexEnginePreferencesViewController.h"
#include "app/QSPreferenceWindowController.h"
#include "app/QSSmartDropPreferencesViewController.h"
#include "app/QSTemplatePreferencesViewController.h"
#include "editor/SmartDrop.h"
#include "platform/Assertions.h"
#include "platform/TextEncoding.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTableWidget>

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void oneWindowThatResizesToItsPanes();
    void panesReadAndWriteTheirSettings();
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

    // A pane that does not exist is a programming error, and changes nothing.
    QVERIFY_THROWS_EXCEPTION(QSInternalInconsistency, controller->displayPreferenceAtIndex(4));
    QCOMPARE(controller->indexOfLastShownView(), 1);
}

// Every label of the encodings shows its number and stores it; a pane never shown is
// saved too; a text that names no encoding leaves the stored one alone.
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
    QSPreferenceWindowController controller;
    auto *encoding = controller.pane(0)->findChild<QComboBox *>("o_fileEncodingComboBox");
    encoding->setCurrentText("Windows latin2");
    controller.pane(1)->findChild<QPlainTextEdit *>("o_templateTextView")->setPlainText("\\book");
    controller.window()->show();
    controller.window()->close();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 15);
    QCOMPARE(defaults.stringForKey(QSUntitledFileTemplate), "\\book");
    QCOMPARE(defaults.stringForKey(QSSelectedEngineExec), "pdflatex");
    encoding->setCurrentText("EBCDIC");
    controller.window()->show();
    controller.window()->close();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 15);
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
