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
    void listUnderlinedTokensOfGivenDocuments();
    void hunspellChecksSuggestsAndLearns();
    void theViewUnderlinesRunningTextOnly();
    void theViewCarriesStateFromLinesAboveIt();
};

void TestSpelling::scannerKeepsProseOnly_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("words");
    const auto row = [](const char *name, const char *line, const char *words) {
        QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(words);
    };
    // Text arguments.
    row("emphasis", "The \\emph{mispeled} and \\textbf{bold} or \\textit{slanted} words",
        "The mispeled and bold or slanted words");
    row("section and label", "\\section{Tide pools}\\label{sec:tide-pools}", "Tide pools");
    row("starred section, short title", "\\section*[Short]{Long title}", "Short Long title");
    row("caption", "\\caption[Short]{Pools at \\ref{fig:a} low tide}\\label{fig:b}",
        "Short Pools at low tide");
    row("footnote", "Text\\footnote[3]{A note.}", "Text A note");
    row("item label", "\\item[Firstly] the pools", "Firstly the pools");
    row("theorem title", "\\begin{theorem}[Stokes] Flux", "Stokes Flux");
    row("hyperref", "see \\hyperref[sec:x]{the methods}", "see the methods");
    row("href", "\\href{https://example.org/a%20b}{our website} now", "our website now");
    row("multicolumn", "\\multicolumn{2}{c}{Mean depth} \\\\", "Mean depth");
    row("coloured text", "\\textcolor{darkred}{Warning} and \\color{blue} text",
        "Warning and text");
    row("new command's body", "\\newcommand{\\pool}[1]{tide pool #1}", "tide pool");
    row("theorem name", "\\newtheorem{thm}{Theorem}[section]", "Theorem");
    row("running headers", "\\pagestyle{fancy}\\fancyhead[LE,RO]{Tide Pools}", "Tide Pools");
    row("command not known", "\\mybox{Boxed words}", "Boxed words");
    // Column specifications.
    row("column specification", "\\begin{tabular}{lrr}", "");
    row("columns with @ and p", "\\begin{tabular}{@{}l p{3cm} r@{}} Pool & Area \\\\", "Pool Area");
    row("tabularx", "\\begin{tabularx}{\\textwidth}{lX} Cell", "Cell");
    row("longtable", "\\begin{longtable}[c]{ll}", "");
    row("column rule", "\\cmidrule(lr){2-3} Note", "Note");
    // key=value lists.
    row("captionsetup", "\\captionsetup{labelsep=period}", "");
    row("captionsetup for a kind", "\\captionsetup[figure]{font=small,labelfont=bf}", "");
    row("hypersetup", "\\hypersetup{colorlinks, linkcolor=blue}", "");
    row("list options", "\\begin{enumerate}[label=(\\alph*)]", "");
    row("options of a command not known", "\\tcbox[colback=white, title=Note]{Boxed text}",
        "Boxed text");
    row("font options", "\\setmainfont[Ligatures=TeX, Numbers=OldStyle]{TeX Gyre Pagella}", "");
    // Keys, references, citations.
    row("label, reference, citation",
        "\\label{sec:intro} see \\ref{fig:mispelt}, \\cite[p.~3]{knuthh84}", "see");
    row("citation notes", "\\parencite[see][12]{key} text", "text");
    row("several references", "\\cref{fig:a,fig:b} shows", "shows");
    row("glossary entry", "\\gls{api} calls", "calls");
    row("index entry", "\\index{pool!tide} pools", "pools");
    row("escaped brace in a label", "\\label{a\\}qzx} text", "text");
    // Files, packages, environments.
    row("package options", "\\usepackage[colorlinks,linkcolor=blue]{hyperref}", "");
    row("class options", "\\documentclass[a4paper,11pt]{scrreprt}", "");
    row("input without braces", "\\input chapters/intro", "");
    row("input", "\\input{chapters/intro} \\include{appendix}", "");
    row("graphics", "\\includegraphics[width=0.8\\textwidth]{figures/pool-map}", "");
    row("bibliography", "\\bibliography{refs,morerefs}", "");
    row("environments", "\\begin{itemize} \\item Yes \\end{itemize}", "Yes");
    row("float placement", "\\begin{figure}[htbp]", "");
    row("minipage", "\\begin{minipage}[t]{0.45\\linewidth} Left", "Left");
    // URLs.
    row("url", "\\url{http://example.org/~user/x_y%20z} after", "after");
    // Colours, lengths, units, code.
    row("colour definition", "\\definecolor{accent}{RGB}{0,68,186}", "");
    row("lengths", "\\vspace*{2em}\\setlength{\\parindent}{0pt}\\hspace{1cm}Start", "Start");
    row("line break with space", "first line\\\\[2pt] second", "first line second");
    row("units", "\\SI{3.5}{\\metre\\per\\second} fast \\si{kg}", "fast");
    row("verb", "use \\verb|\\mispeled| or \\verb*+x y+ here", "use or here");
    row("inline listing", "\\lstinline[language=C]{int mispeled;} ok", "ok");
    row("typewriter", "the \\texttt{colorlinks} option", "the option");
    row("operator", "\\DeclareMathOperator*{\\argmax}{arg\\,max}", "");
    row("command name from letters", "\\csname foo\\endcsname bar", "bar");
    row("other language", "\\foreignlanguage{german}{Straße} ok", "ok");
    // Tokens that are not words.
    row("names", "\\fref{Figure:Chap:ExampleA} and fig_1 and me@example.org and thesis.tex",
        "and and and");
    row("digits", "H2O and 3rd and COVID-19 cases", "and and cases");
    row("hyphens and slashes", "well-known and/or input/output", "well known and or input output");
    row("apostrophes and quotes", "don't and ``quoted'' and the pools' edge",
        "don't and quoted and the pools edge");
    row("typographic apostrophe", "it’s", "it’s");
    row("words spelt with accents", "Gr\\\"u\\ss e and na\\\"{\\i}ve and Schr\\\"odinger ok",
        "and and ok");
    row("discretionary hyphens", "hyph\\-en\\-ation", "");
}

// One line read from plain running text, the words found joined by spaces.
void TestSpelling::scannerKeepsProseOnly()
{
    QFETCH(QString, line);
    QFETCH(QString, words);
    SpellingScanner::State state;
    QCOMPARE(scannedWords({line}, state).join(u' '), words);
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

// A measuring tool rather than a check: lists what US English underlines in the
// documents named in QUILLSET_SPELLING_DOCUMENTS (paths parted by colons).
void TestSpelling::listUnderlinedTokensOfGivenDocuments()
{
    const QString documents = qEnvironmentVariable("QUILLSET_SPELLING_DOCUMENTS");
    if (documents.isEmpty())
        QSKIP("QUILLSET_SPELLING_DOCUMENTS names no documents");
    std::unique_ptr<SpellChecker> checker = SpellChecker::forLanguage("en_US", QString());
    QVERIFY(checker);
    for (const QString &document : documents.split(u':', Qt::SkipEmptyParts)) {
        const QStringList found = underlined(document, *checker);
        for (const QString &token : found)
            qInfo("%s:%s", qPrintable(document), qPrintable(token));
        qInfo("%s: %lld underlined", qPrintable(document), qlonglong(found.size()));
    }
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

QUILLSET_TEST_MAIN(TestSpelling)
#include "tst_spelling.moc"
