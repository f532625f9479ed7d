#include "TestSupport.h"
#include "editor/SpellChecker.h"
#include "editor/SpellingScanner.h"

class TestSpelling : public QObject
{
    Q_OBJECT

private slots:
    void scannerFindsTheRunningText_data();
    void scannerFindsTheRunningText();
    void hunspellChecksSuggestsAndLearns();
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

QUILLSET_TEST_GUILESS_MAIN(TestSpelling)
#include "tst_spelling.moc"
