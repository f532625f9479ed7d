#include "TestSupport.h"
#include "editor/QSTextView.h"
#include "editor/SpellChecker.h"
#include "editor/SpellingScanner.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

namespace {

// The words the scanner finds in lines read in order, as text.
QStringList scannedWords(const QStringList &lines, SpellingScanner::State &state)
{
    QStringList found;
    for (const QString &line : lines) {
        for (const SpellingScanner::Word &word : SpellingScanner::words(line, state))
            found << line.mid(word.start, word.length);
    }
    return found;
}

// The words of a document that the checker takes for misspelt, as "line:word".
QStringList underlined(const QString &filePath, const SpellChecker &checker)
{
    SpellingScanner::State state;
    QStringList found;
    const QStringList lines = QString::fromUtf8(TestFolder::read(filePath)).split(u'\n');
    for (int number = 0; number < lines.size(); ++number) {
        for (const SpellingScanner::Word &word : SpellingScanner::words(lines[number], state)) {
            const QString text = lines[number].mid(word.start, word.length);
            if (!checker.isCorrect(text))
                found << QStringLiteral("%1:%2").arg(number + 1).arg(text);
        }
    }
    return found;
}

// The misspelt words of a line of the view, as text.
QStringList misspelt(const QSTextView &view, int line)
{
    const QString text = view.document()->findBlockByNumber(line).text();
    QStringList words;
    for (const SpellingScanner::Word &word : view.misspeltWords(line))
        words << text.mid(word.start, word.length);
    return words;
}

// Opens the view's context menu on a word, and gives the menu to `use` while it shows.
void openMenuOn(QSTextView &view, const QString &word, const std::function<void(QMenu *)> &use)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        shown = menu != nullptr;
        if (menu) {
            use(menu);
            menu->close();
        }
    });
    const QPoint onWord = view.cursorRect(view.document()->find(word)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onWord, view.viewport()->mapToGlobal(onWord));
    QApplication::sendEvent(view.viewport(), &click);
    QVERIFY(shown);
}

QStringList texts(const QList<QAction *> &actions)
{
    QStringList found;
    for (const QAction *action : actions)
        found << action->text();
    return found;
}

} // namespace

class TestSpelling : public QObject
{
    Q_OBJECT

private slots:
    void scannerKeepsProseOnly_data();
    void scannerKeepsProseOnly();
    void scannerCarriesStateAcrossLines_data();
    void scannerCarriesStateAcrossLines();
    void documentsUnderlineTheirMisspellingsOnly_data();
    void documentsUnderlineTheirMisspellingsOnly();
    void hunspellChecksSuggestsAndLearns();
    void theViewUnderlinesRunningTextOnly();
    void theViewCarriesStateFromLinesAboveIt();
    void documentLanguage_data();
    void documentLanguage();
    void oneCheckerPerLanguageWhileHeld();
};

namespace {

// A German dictionary of our own, small but real, found through DICPATH as the
// system's would be; gone with the folder.
class GermanDictionary
{
public:
    GermanDictionary()
    {
        _folder.write({{"de_DE.aff", "SET UTF-8\n"}, {"de_DE.dic", "3\nGröße\nHaus\nStraße\n"}});
        qputenv("DICPATH", _folder.path({}).toLocal8Bit());
    }
    ~GermanDictionary() { qunsetenv("DICPATH"); }
    const TestFolder &folder() const { return _folder; }

private:
    TestFolder _folder;
};

} // namespace

void TestSpelling::scannerKeepsProseOnly_data()
{
    tableRows("spelling/lines.tsv");
}

// The rows of tests/data/spelling/lines.tsv: one line read from plain running text,
// the words found joined by spaces.
void TestSpelling::scannerKeepsProseOnly()
{
    QFETCH(QStringList, fields);
    SpellingScanner::State state;
    QCOMPARE(scannedWords({fields.value(1)}, state).join(u' '), fields.value(2));
}

void TestSpelling::scannerCarriesStateAcrossLines_data()
{
    QTest::addColumn<GoldenCase>("golden");
    for (const char *file : {"editor/spelling.txt", "spelling/scanner.txt"}) {
        for (const GoldenCase &golden : goldenCases(file))
            QTest::newRow(qPrintable(golden.name)) << golden;
    }
}

// The cases of tests/data/editor/spelling.txt and tests/data/spelling/scanner.txt.
void TestSpelling::scannerCarriesStateAcrossLines()
{
    QFETCH(GoldenCase, golden);
    SpellingScanner::State state;
    const QStringList found = scannedWords(golden.part("text").split(u'\n'), state);
    const QString words = golden.part("words");
    QCOMPARE(found, words.isEmpty() ? QStringList() : words.split(u'\n'));
    QCOMPARE(state, SpellingScanner::State());
}

void TestSpelling::documentsUnderlineTheirMisspellingsOnly_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("a thesis chapter") << "spelling/chapter.tex";
}

// A document written with the constructs of a real thesis, in which the only words
// that US English takes for misspelt are those planted in its prose; the list of
// them, as "line:word", is beside it.
void TestSpelling::documentsUnderlineTheirMisspellingsOnly()
{
    QFETCH(QString, document);
    std::unique_ptr<SpellChecker> checker = SpellChecker::forLanguage("en_US", QString());
    QVERIFY(checker);
    QCOMPARE(underlined(dataPath(document), *checker),
             TestFolder::lines(dataPath(document + QStringLiteral(".misspelt"))));
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
    QVERIFY(checker->addToPersonalDictionary("tidepool"));
    QVERIFY(checker->addToPersonalDictionary("Quillset"));
    // A word in lower case is also right at the start of a sentence.
    QVERIFY(checker->isCorrect("Tidepool") && !checker->isCorrect("quillset"));
    // Kept across sessions, once each; the ignored word is not.
    checker = SpellChecker::forLanguage("en_US", words);
    QVERIFY(checker->isCorrect("Quillset") && checker->isCorrect("Grüße"));
    QVERIFY(checker->isCorrect("Tidepool"));
    QVERIFY(!checker->isCorrect("tekst"));
    QCOMPARE(TestFolder::read(words), "Quillset\nGrüße\ntidepool\n");
}

// Through the real view: the lines shown are checked on a worker, misspelt words of
// running text are underlined, an edit has its line checked again, and the context
// menu offers the first suggestions, "Add to Dictionary" (written to the personal
// word list) and "Ignore", each of which takes the word's underline away.
void TestSpelling::theViewUnderlinesRunningTextOnly()
{
    TestFolder folder;
    QSTextView view;
    view.resize(600, 300);
    view.setPlainText("Some mispeled tekst here, teh qzxv.\n"
                      "\\misspeltcommand $\\alpha$ and \\ref{fig:mispelt} are fine.\n"
                      "\\begin{tabular}{lrr} \\captionsetup{labelsep=period} \\end{tabular}\n");
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy checked(&view, &QSTextView::spellingChecked);
    const QString words = folder.path("data/personal-dictionary.txt");
    view.setSpellChecker(SpellChecker::forLanguage("en_US", words));
    QVERIFY(checked.wait());
    QCOMPARE(misspelt(view, 0), QStringList({"mispeled", "tekst", "teh", "qzxv"}));
    QVERIFY(misspelt(view, 1).isEmpty() && misspelt(view, 2).isEmpty());
    const QList<QTextLayout::FormatRange> formats =
        view.document()->firstBlock().layout()->formats();
    QVERIFY(std::any_of(formats.begin(), formats.end(), [](const auto &range) {
        return range.start == 5 && range.length == 8
               && range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline;
    }));

    QTextCursor tekst = view.document()->find("tekst");
    tekst.insertText("text");
    QTRY_COMPARE(misspelt(view, 0), QStringList({"mispeled", "teh", "qzxv"}));

    // Hunspell has more than five suggestions for "teh"; the first five are offered.
    QStringList offered;
    openMenuOn(view, "teh", [&](QMenu *menu) {
        offered = texts(menu->actions());
        menu->actions().constFirst()->trigger();
    });
    QCOMPARE(offered.indexOf("Add to Dictionary"), 5);
    QCOMPARE(offered.value(6), "Ignore");
    QCOMPARE(offered.mid(0, 5),
             SpellChecker::forLanguage("en_US", {})->suggestions("teh").mid(0, 5));
    QVERIFY(view.document()->firstBlock().text().contains(offered.constFirst() + " qzxv"));
    QTRY_COMPARE(misspelt(view, 0), QStringList({"mispeled", "qzxv"}));

    openMenuOn(view, "mispeled", [&](QMenu *menu) {
        offered = texts(menu->actions());
        for (QAction *action : menu->actions())
            if (action->text() == "Add to Dictionary")
                action->trigger();
    });
    QVERIFY(offered.contains("misspelled"));
    QTRY_COMPARE(misspelt(view, 0), QStringList({"qzxv"}));
    QCOMPARE(TestFolder::read(words), "mispeled\n");

    openMenuOn(view, "qzxv", [&](QMenu *menu) {
        offered = texts(menu->actions());
        for (QAction *action : menu->actions())
            if (action->text() == "Ignore")
                action->trigger();
    });
    QCOMPARE(offered.value(0), "No Suggestions");
    QTRY_VERIFY(misspelt(view, 0).isEmpty());
    QCOMPARE(TestFolder::read(words), "mispeled\n");
}

// A verbatim body that begins far above the lines shown still keeps its words from
// being checked, and an edit above the view that ends it has the lines shown
// checked again from the new state.
void TestSpelling::theViewCarriesStateFromLinesAboveIt()
{
    TestFolder folder;
    QSTextView view;
    view.resize(600, 300);
    QString text = "\\begin{verbatim}\n";
    for (int line = 0; line < 300; ++line)
        text += "mispeled code\n";
    text += "\\end{verbatim} tekst after\n";
    view.setPlainText(text);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QSignalSpy checked(&view, &QSTextView::spellingChecked);
    view.setSpellChecker(SpellChecker::forLanguage("en_US", folder.path("words.txt")));
    QVERIFY(checked.wait());
    const int last = view.document()->blockCount() - 2;
    QVERIFY(view.cursorForPosition(QPoint(0, 0)).blockNumber() > 100);
    QCOMPARE(misspelt(view, last), QStringList({"tekst"}));
    QVERIFY(misspelt(view, last - 1).isEmpty());

    QTextCursor begin(view.document()->firstBlock());
    begin.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    begin.insertText("Opening line");
    QTRY_COMPARE(misspelt(view, last - 1), QStringList({"mispeled"}));
    QCOMPARE(misspelt(view, last), QStringList({"tekst"}));

    // The lines below the view, checked before, follow an edit in it.
    view.verticalScrollBar()->setValue(0);
    QTRY_COMPARE(misspelt(view, 1), QStringList({"mispeled"}));
    begin.select(QTextCursor::BlockUnderCursor);
    begin.insertText("\\begin{verbatim}");
    QTRY_VERIFY(misspelt(view, 1).isEmpty());
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QTRY_COMPARE(misspelt(view, last - 1), QStringList());
    QCOMPARE(misspelt(view, last), QStringList({"tekst"}));
}

void TestSpelling::documentLanguage_data()
{
    QTest::addColumn<QString>("preference"); // the preferences' language
    QTest::addColumn<QString>("requested");  // the document header's
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("notice");

    QTest::newRow("installed") << "en_US"
                               << "de_DE"
                               << "de_DE"
                               << "";
    QTest::newRow("hyphen and any case") << "en_US"
                                         << "DE-de"
                                         << "de_DE"
                                         << "";
    QTest::newRow("language alone") << "en_US"
                                    << "de"
                                    << "de_DE"
                                    << "";
    QTest::newRow("the system's dictionary") << "de_DE"
                                             << "en_us"
                                             << "en_US"
                                             << "";
    QTest::newRow("another country, not installed")
        << "en_US"
        << "de_AT"
        << "en_US"
        << "No de_AT dictionary is installed; spelling is checked in en_US.";
    QTest::newRow("not installed") << "de_DE"
                                   << " xx_XX "
                                   << "de_DE"
                                   << "No xx_XX dictionary is installed; spelling is checked in "
                                      "de_DE.";
    QTest::newRow("not installed, nor the preferred")
        << "yy_YY"
        << "xx"
        << "yy_YY"
        << "No xx dictionary is installed; spelling is not checked.";
    QTest::newRow("nothing asked") << "en_US"
                                   << ""
                                   << "en_US"
                                   << "";
    QTest::newRow("checking turned off") << "none"
                                         << "de_DE"
                                         << ""
                                         << "";
}

// A document's header names its language: that one when its dictionary is installed
// (in the forms users write it), else the preferences', with a notice.
void TestSpelling::documentLanguage()
{
    QFETCH(QString, preference);
    QFETCH(QString, requested);
    GermanDictionary german;
    UserDefaults::standardUserDefaults().setObject(preference, QSSpellCheckLanguage);
    const SpellChecker::DocumentLanguage chosen = SpellChecker::languageForDocument(requested);
    QTEST(chosen.language, "language");
    QTEST(chosen.notice, "notice");
}

// Windows of one language share one checker, with the personal words, as long as
// one of them holds it; the next one made reads the dictionary and the list again.
void TestSpelling::oneCheckerPerLanguageWhileHeld()
{
    GermanDictionary german;
    const QString words = german.folder().write("words.txt", "Quillset\n");
    std::shared_ptr<SpellChecker> first = SpellChecker::sharedForLanguage("de_DE", words);
    QVERIFY(first);
    QVERIFY(first->isCorrect("Größe") && first->isCorrect("Quillset"));
    QVERIFY(!first->isCorrect("Grösse") && !first->isCorrect("misspelled"));
    first->ignore("Grösse");
    QCOMPARE(SpellChecker::sharedForLanguage("de_DE", words), first);
    QVERIFY(SpellChecker::sharedForLanguage("de_DE", words)->isCorrect("Grösse"));

    const std::shared_ptr<SpellChecker> english = SpellChecker::sharedForLanguage("en_US", words);
    QVERIFY(english && english != first);
    QVERIFY(english->isCorrect("misspelled") && english->isCorrect("Quillset"));
    QCOMPARE(SpellChecker::sharedForLanguage("xx_XX", words), nullptr);

    first.reset();
    const std::shared_ptr<SpellChecker> again = SpellChecker::sharedForLanguage("de_DE", words);
    QVERIFY(again && again->isCorrect("Größe") && !again->isCorrect("Grösse"));
}

QUILLSET_TEST_MAIN(TestSpelling)
#include "tst_spelling.moc"
