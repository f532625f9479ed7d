#include "TestSupport.h"
#include "editor/SpellChecker.h"
#include "editor/QSTextView.h"
#include "editor/SpellingScanner.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

namespace {

// The misspelt words of a line of the view, as text.
QStringList misspelt(const QSTextView &view, int line)
{
    const QString text = view.document()->findBlockByNumber(line).text();
    QStringList words;
    for (const SpellingScanner::Word &word : view.misspeltWords(line))
        words << text.mid(word.start, word.length);
    return words;
}

} // namespace

class TestSpelling : public QObject
{
    Q_OBJECT

private slots:
    void scannerFindsTheRunningText_data();
    void scannerFindsTheRunningText();
    void hunspellChecksSuggestsAndLearns();
    void theViewUnderlinesRunningTextOnly();
};

void TestSpelling::scannerFindsTheRunningText_data()
{
    goldenRows("editor/spelling.txt");
}

// The cases of tests/data/editor/spelling.txt.
void TestSpelling::scannerFindsTheRunningText()
{
    QFETCH(GoldenCase, golden);
    SpellingScanner::Math math = SpellingScanner::Math::None;
    QStringList found;
    for (const QString &line : golden.part("text").split(u'\n')) {
        for (const SpellingScanner::Word &word : SpellingScanner::words(line, math))
            found << line.mid(word.start, word.length);
    }
    QCOMPARE(found, golden.part("words").split(u'\n'));
    QCOMPARE(math, SpellingScanner::Math::None);
}

// With the US English dictionary that install-deps installs.
void TestSpelling::hunspellChecksSuggestsAndLearns()
{
    QVERIFY(SpellChecker::installedLanguages().contains("en_US"));
    QVERIFY(!SpellChecker::defaultLanguage().isEmpty());
    QVERIFY(!SpellChecker::forLanguage("xx_NONE", {}));
    TestFolder folder;
    const QString words = folder.path("personal/words.txt");
    std::unique_ptr<SpellChecker> checker = SpellChecker::forLanguage("en_US", words);
    QVERIFY(checker);
    QVERIFY(checker->isCorrect("misspelled") && checker->isCorrect("don't"));
    QVERIFY(!checker->isCorrect("mispeled") && !checker->isCorrect("tekst"));
    QVERIFY(checker->suggestions("mispeled").contains("misspelled"));
    QVERIFY(!checker->isCorrect("Grüße"));

    checker->ignore("tekst");
    QVERIFY(checker->isCorrect("tekst"));
    QVERIFY(checker->addToPersonalDictionary("Quillset"));
    QVERIFY(checker->addToPersonalDictionary("Grüße"));
    // Kept across sessions; the ignored word is not.
    checker = SpellChecker::forLanguage("en_US", words);
    QVERIFY(checker->isCorrect("Quillset") && checker->isCorrect("Grüße"));
    QVERIFY(!checker->isCorrect("tekst"));
    QCOMPARE(TestFolder::read(words), "Quillset\nGrüße\n");
}

// Through the real view: the lines shown are checked on a worker, misspelt words of
// running text are underlined, an edit has its line checked again, and the context
// menu's "Ignore" takes the word's underline away.
void TestSpelling::theViewUnderlinesRunningTextOnly()
{
    TestFolder folder;
    QSTextView view;
    view.resize(600, 300);
    view.setPlainText("Some mispeled tekst here.\n"
                      "\\misspeltcommand $\\alpha$ and \\ref{fig:mispelt} are fine.\n");
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy checked(&view, &QSTextView::spellingChecked);
    view.setSpellChecker(SpellChecker::forLanguage("en_US", folder.path("words.txt")));
    QVERIFY(checked.wait());
    QCOMPARE(misspelt(view, 0), QStringList({"mispeled", "tekst"}));
    QVERIFY(misspelt(view, 1).isEmpty());
    const QList<QTextLayout::FormatRange> formats =
        view.document()->firstBlock().layout()->formats();
    QVERIFY(std::any_of(formats.begin(), formats.end(), [](const auto &range) {
        return range.start == 5 && range.length == 8
               && range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline;
    }));

    QTextCursor tekst = view.document()->find("tekst");
    tekst.insertText("text");
    QTRY_COMPARE(misspelt(view, 0), QStringList({"mispeled"}));

    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions())
            offered << action->text();
        for (QAction *action : menu->actions())
            if (action->text() == "Ignore")
                action->trigger();
        menu->close();
    });
    const QPoint onWord = view.cursorRect(view.document()->find("mispeled")).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onWord, view.viewport()->mapToGlobal(onWord));
    QApplication::sendEvent(view.viewport(), &click);
    QVERIFY(offered.contains("misspelled") && offered.contains("Add to dictionary"));
    QTRY_VERIFY(misspelt(view, 0).isEmpty());
}

QUILLSET_TEST_MAIN(TestSpelling)
#include "tst_spelling.moc"
