// The tabs of the files shown above the text, through a real window on the example
// thesis: they follow the outline, keep each file's caret, scroll and folds, mark
// unsaved files, switch and close with the keys, and come back with the session.
#include "AppFixture.h"
#include "app/DocumentTabs.h"
#include "app/SessionKeeper.h"
#include "editor/TextFolding.h"
#include "model/TextStorageDelegate.h"

#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>

class TestTabs : public QObject
{
    Q_OBJECT

private slots:
    void tabsFollowTheFilesShownAndKeepTheirPlace();
};

namespace {

QStringList tabTexts(MyDocument *document)
{
    QStringList texts;
    const QTabBar *bar = document->tabs()->tabBar();
    for (int index = 0; index < bar->count(); ++index)
        texts << bar->tabText(index);
    return texts;
}

QString shownName(MyDocument *document)
{
    return document->textStorageDelegate()->selectedFile()->name();
}

} // namespace

void TestTabs::tabsFollowTheFilesShownAndKeepTheirPlace()
{
    AppFixture fixture;
    MyDocument *thesis = fixture.openExample();
    QCOMPARE(tabTexts(thesis), QStringList{"thesis.tex"});
    const std::shared_ptr<QSFile> methods = AppFixture::fileNamed(thesis, "methods.tex");
    const std::shared_ptr<QSFile> results = AppFixture::fileNamed(thesis, "results.tex");
    thesis->selectRange({30, 5}, methods);
    thesis->selectRange({0, 0}, results);
    QCOMPARE(tabTexts(thesis), QStringList({"thesis.tex", "methods.tex", "results.tex"}));
    QCOMPARE(thesis->tabs()->tabBar()->currentIndex(), 2);

    // A file a tab is left on comes back with its selection and scroll.
    thesis->window()->resize(500, 260);
    QSTextView *text = thesis->textView();
    MainMenuController *menu = MainMenuController::sharedMainMenuController();
    menu->nextTabItem()->trigger(); // round the end
    QCOMPARE(shownName(thesis), "thesis.tex");
    QTRY_VERIFY(text->verticalScrollBar()->maximum() >= 10);
    text->verticalScrollBar()->setValue(10);
    menu->nextTabItem()->trigger();
    QCOMPARE(shownName(thesis), "methods.tex");
    QCOMPARE(text->textCursor().selectionStart(), 30);
    QCOMPARE(text->textCursor().selectionEnd(), 35);
    menu->previousTabItem()->trigger();
    QCOMPARE(shownName(thesis), "thesis.tex");
    // Where it was left, give or take the line the caret keeps in view (not the top).
    QTRY_VERIFY(qAbs(text->verticalScrollBar()->value() - 10) <= 1);
    menu->previousTabItem()->trigger(); // round the start
    QCOMPARE(shownName(thesis), "results.tex");
    QVERIFY(menu->nextTabItem()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_PageDown)));
    QVERIFY(menu->previousTabItem()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_PageUp)));

    // Unsaved edits mark the tab until the save.
    AppFixture::type(text, "x");
    AppFixture::settle();
    QCOMPARE(tabTexts(thesis).at(2), QStringLiteral("\u25CF results.tex"));
    QVERIFY(thesis->saveDocument());
    QCOMPARE(tabTexts(thesis).at(2), "results.tex");

    // Ctrl+W closes the tab shown, not the window; the root's tab stays.
    menu->closeItem()->trigger();
    QCOMPARE(tabTexts(thesis), QStringList({"thesis.tex", "methods.tex"}));
    QVERIFY(thesis->window()->isVisible());
    thesis->tabs()->tabBar()->setCurrentIndex(0);
    QVERIFY(!thesis->closeTab());

    // A section folded in methods.tex stays folded across a switch of tabs.
    thesis->tabs()->tabBar()->setCurrentIndex(1);
    text->folding()->toggle(2);
    thesis->tabs()->tabBar()->setCurrentIndex(0);
    QVERIFY(text->folding()->foldedLines().isEmpty());
    thesis->tabs()->tabBar()->setCurrentIndex(1);
    QCOMPARE(text->folding()->foldedLines(), QList<int>{2});
    QVERIFY(!text->document()->findBlockByNumber(3).isVisible());

    // The tabs and folds come back with the session, the one shown in front.
    SessionKeeper::quit(fixture.documents);
    QTRY_VERIFY(fixture.documents.documents().isEmpty());
    SessionKeeper::restore(fixture.documents);
    auto *again = qobject_cast<MyDocument *>(fixture.documents.documents().value(0));
    QVERIFY(again);
    QCOMPARE(tabTexts(again), QStringList({"thesis.tex", "methods.tex"}));
    QCOMPARE(shownName(again), "methods.tex");
    QCOMPARE(again->textView()->folding()->foldedLines(), QList<int>{2});
}

QTEST_MAIN(TestTabs)
#include "tst_tabs.moc"
