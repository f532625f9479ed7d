#include "AppFixture.h"
#include "editor/SpellChecker.h"
#include "editor/completion/BibFileReader.h"
#include "editor/completion/BibliographyIndex.h"
#include "editor/completion/CompletionCatalog.h"
#include "editor/completion/CompletionContext.h"
#include "editor/completion/CompletionController.h"
#include "editor/completion/DocumentUsage.h"
#include "model/FileSymbols.h"
#include "platform/UserDefaults.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QSignalSpy>

namespace {

// The rows the popup offers now, as it shows them.
QStringList offered(QSTextView *view)
{
    QCompleter *completer = view->completion()->completer();
    QStringList rows;
    if (!completer->popup()->isVisible())
        return rows;
    for (int row = 0; row < completer->completionCount(); ++row) {
        completer->setCurrentRow(row);
        rows << completer->currentIndex().data().toString();
    }
    return rows;
}

// Puts the caret just after the first occurrence of the text.
void placeCaretAfter(QSTextView *view, const QString &text)
{
    QTextCursor cursor = view->document()->find(text);
    cursor.setPosition(cursor.selectionEnd());
    view->setTextCursor(cursor);
}

// The names of the rows offered, each name once, the first few.
QString firstNames(QSTextView *view, int count)
{
    QCompleter *completer = view->completion()->completer();
    QStringList names;
    if (!completer->popup()->isVisible())
        return {};
    for (int row = 0; row < completer->completionCount() && names.size() < count; ++row) {
        const QString name =
            completer->completionModel()->index(row, 0).data(Qt::EditRole).toString();
        if (!names.contains(name))
            names << name;
    }
    return names.join(u' ');
}

// Opens a file of that text, without its "|", with the caret where that stood.
MyDocument *openAtCaret(AppFixture &fixture, const QString &text)
{
    const qsizetype caret = text.indexOf(u'|');
    fixture.folder.write(QStringLiteral("doc.tex"), QString(text).remove(caret, 1).toUtf8());
    MyDocument *document = fixture.open(fixture.folder.path(QStringLiteral("doc.tex")));
    QSTextView *view = document->textView();
    AppFixture::settle();
    QTextCursor cursor(view->document());
    cursor.setPosition(int(caret));
    view->setTextCursor(cursor);
    return document;
}

// The view's text with a "|" at the caret.
QString textWithCaret(QSTextView *view)
{
    return view->toPlainText().insert(view->textCursor().position(), u'|');
}

// Types as AppFixture::type does, with Tab for "⇥".
void typeKeys(QSTextView *view, const QString &text)
{
    const QStringList parts = text.split(u'⇥');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            QTest::keyClick(view, Qt::Key_Tab);
        AppFixture::type(view, parts[i]);
    }
}

QString labelOf(const Symbol &symbol)
{
    static const char *kinds[] = {"label", "command", "environment", "bibliography"};
    return QStringLiteral("%1 %2/%3")
        .arg(kinds[int(symbol.kind)], symbol.name)
        .arg(symbol.arguments);
}

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { _fixture.reset(); }
    void sourcesAndDatabasesAreReadAsTeXReadsThem();
    void theContextIsReadLeftOfTheCaret_data();
    void theContextIsReadLeftOfTheCaret();
    void catalogOffersTheCommonPackages();
    void labelsOfEveryFileFollowTheirRenaming();
    void citationKeysFollowTheDatabaseOnDisk();
    void acceptingFillsPlaceholdersAndClosesEnvironments();
    void wordsTypedIntoACheckedLineAreChecked();
    void candidatesComeAsTheUserMeansThem_data();
    void candidatesComeAsTheUserMeansThem();
    void acceptedEntriesRiseAndAreRemembered();
    void aLongDocumentIsCountedOnAWorker();
    void aBraceTypedClosesTheEnvironment_data();
    void aBraceTypedClosesTheEnvironment();
    void oneUndoTakesTheEndAway_data();
    void oneUndoTakesTheEndAway();

private:
    std::unique_ptr<AppFixture> _fixture;
};

void TestCompletion::sourcesAndDatabasesAreReadAsTeXReadsThem()
{
    const QString source = QStringLiteral(
        "\\newcommand{\\R}{\\mathbb{R}}\\newcommand\\vect[1]{\\mathbf{#1}}\n"
        "\\renewcommand*{\\norm}[2][2]{\\|#2\\|_#1} \\DeclareMathOperator*{\\argmax}{arg\\,max}\n"
        "\\def\\pair#1#2{(#1,#2)} \\newenvironment{proofsketch}[1]{}{}\n"
        "% \\label{commented} \\newcommand{\\gone}{}\n"
        "50\\% done \\label{ sec:intro } \\\\label{not:one} \\label{fig:a{b}}\n"
        "\\bibliography{refs, more/other.bib} \\addbibresource[label=x]{thesis.bib}\n");
    QStringList found;
    for (const Symbol &symbol : SymbolScanner::scan(source))
        found << labelOf(symbol);
    QCOMPARE(found,
             QStringList({"command \\R/0", "command \\vect/1", "command \\norm/2",
                          "command \\argmax/0", "command \\pair/2", "environment proofsketch/1",
                          "label sec:intro/0", "label fig:a{b}/0", "bibliography refs.bib/0",
                          "bibliography more/other.bib/0", "bibliography thesis.bib/0"}));

    // A database as authors keep them: strings, comments, quoted and concatenated
    // values, nested braces, round outer brackets, and a damaged entry among good ones.
    const QList<BibEntry> entries = BibFileReader::read(QStringLiteral(
        "@string{jgr = \"J. Geophys. Res.\"}\n@comment{ignore @article{no, title={x}}}\n"
        "Some notes before the first entry.\n"
        "@Article{doe2020,\n  author = {Doe, Jane and Roe, R.},\n  title = {{Tide} Pools of "
        "the \\\"{U}ber Coast},\n  journal = jgr # \" (Oceans)\",\n  year = 2020\n}\n"
        "@book(smith, author = \"A. Smith and B. Jones and C. Brown\", date = {2019-05})\n"
        "@misc{broken, title = {never closes, year = 2001\n"
        "@online{web1, editor = {Lee, K.}, title = \"A {\"}quoted{\"} title\"}\n"));
    QStringList read;
    for (const BibEntry &entry : entries)
        read << entry.key + u'|' + entry.author + u'|' + entry.year + u'|' + entry.title;
    QCOMPARE(read, QStringList({"doe2020|Doe and Roe|2020|Tide Pools of the \\\"Uber Coast",
                                "smith|Smith et al.|2019|", "web1|Lee||A \"quoted\" title"}));
}

void TestCompletion::theContextIsReadLeftOfTheCaret_data()
{
    tableRows("completion/contexts.tsv");
}

// The rows of tests/data/completion/contexts.tsv.
void TestCompletion::theContextIsReadLeftOfTheCaret()
{
    QFETCH(QStringList, fields);
    const QString line = fields[0];
    const CompletionContext context = CompletionContext::at(line, line.size());
    const QStringList kinds{"None", "Command", "Environment", "Label", "Citation"};
    QCOMPARE(kinds.value(int(context.kind)), fields[1]);
    QCOMPARE(context.prefix, fields.value(2));
    if (context.kind != CompletionContext::Kind::None)
        QCOMPARE(line.mid(context.start), context.prefix);
}

void TestCompletion::catalogOffersTheCommonPackages()
{
    const CompletionCatalog &catalog = CompletionCatalog::shared();
    QVERIFY(catalog.commands().size() + catalog.environments().size() >= 400);
    QSet<QString> packages;
    for (const QList<CompletionItem> *items : {&catalog.commands(), &catalog.environments()}) {
        for (const CompletionItem &item : *items) {
            packages << item.where;
            QCOMPARE(item.insertion.count(u'‹'), item.insertion.count(u'›'));
        }
    }
    for (const char *package :
         {"latex", "amsmath", "amssymb", "graphicx", "hyperref", "biblatex", "natbib"})
        QVERIFY2(packages.contains(QString::fromUtf8(package)), package);
    // Every entry that the frequent list ranks is one the catalog has.
    QCOMPARE(catalog.unknownFrequentNames(), QStringList());
}

void TestCompletion::labelsOfEveryFileFollowTheirRenaming()
{
    _fixture = std::make_unique<AppFixture>();
    _fixture->folder.write({{"main.tex", "\\documentclass{article}\n\\begin{document}\n"
                                         "\\label{top}\\input{chap}\n\nSee \n\\end{document}\n"},
                            {"chap.tex", "\\section{Setup}\nText \\label{sec:setup}\n"}});
    MyDocument *document = _fixture->open(_fixture->folder.path("main.tex"));
    QSTextView *view = document->textView();
    AppFixture::settle();
    placeCaretAfter(view, "See ");
    AppFixture::type(view, "\\ref{");
    QCOMPARE(offered(view), QStringList({"sec:setup  —  chap.tex · Setup", "top  —  main.tex"}));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->completion()->isPopupVisible());

    // Renamed in its own file, the label is offered under its new name.
    const std::shared_ptr<QSFile> chapter = AppFixture::fileNamed(document, "chap.tex");
    document->selectRange({quint32(chapter->content().indexOf("setup}")), 5}, chapter);
    AppFixture::type(view, "method");
    AppFixture::settle();
    document->selectRange({0, 0}, document->fileOpened());
    placeCaretAfter(view, "\\ref{");
    AppFixture::type(view, "s");
    QCOMPARE(offered(view), QStringList({"sec:method  —  chap.tex · Setup"}));
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(view->toPlainText().contains("See \\ref{sec:method}\n"));
}

void TestCompletion::citationKeysFollowTheDatabaseOnDisk()
{
    _fixture = std::make_unique<AppFixture>();
    _fixture->folder.write(
        {{"paper.tex", "\\documentclass{article}\n\\usepackage{biblatex}\n"
                       "\\addbibresource{refs.bib}\n\\begin{document}\n\n\\end{document}\n"},
         {"refs.bib", "@article{doe2020, author = {Doe, Jane}, year = 2020, title = {Tides}}\n"}});
    MyDocument *document = _fixture->open(_fixture->folder.path("paper.tex"));
    QSTextView *view = document->textView();
    BibliographyIndex *bibliography = view->completion()->bibliography();
    bibliography->waitForReading();
    QCOMPARE(bibliography->paths(), QStringList{_fixture->folder.path("refs.bib")});
    AppFixture::typeBefore(view, "\\end{document}", "\\parencite{");
    QCOMPARE(offered(view), QStringList({"doe2020  —  Doe (2020) Tides"}));
    QTest::keyClick(view, Qt::Key_Escape);

    QSignalSpy read(bibliography, &BibliographyIndex::entriesChanged);
    _fixture->folder.write("refs.bib", "@book{roe2021, author = {Roe, R.}, title = {Pools}}\n");
    QVERIFY(read.wait(10000));
    AppFixture::type(view, "r");
    QCOMPARE(offered(view), QStringList({"roe2021  —  Roe Pools"}));
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(offered(view), QStringList({"roe2021  —  Roe Pools"}));
}

void TestCompletion::acceptingFillsPlaceholdersAndClosesEnvironments()
{
    _fixture = std::make_unique<AppFixture>();
    MyDocument *document = _fixture->open();
    QSTextView *view = document->textView();
    view->selectAll();
    AppFixture::type(view, "  \\begin{ite");
    QVERIFY(offered(view).contains("itemize  —  latex"));
    view->completion()->completer()->popup()->setCurrentIndex(
        view->completion()->completer()->completionModel()->index(
            int(offered(view).indexOf("itemize  —  latex")), 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->toPlainText(), "  \\begin{itemize}\n  \n  \\end{itemize}");
    QCOMPARE(view->textCursor().position(), 20);

    // Tab goes from one placeholder to the next, then past the command.
    AppFixture::type(view, "\\dfra");
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(view->textCursor().selectedText(), "numerator");
    AppFixture::type(view, "a");
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(view->textCursor().selectedText(), "denominator");
    AppFixture::type(view, "b");
    QTest::keyClick(view, Qt::Key_Tab);
    AppFixture::type(view, "!");
    QVERIFY(view->toPlainText().contains("\n  \\dfrac{a}{b}!\n"));
    // A placeholder left behind: Tab away from it is a tab.
    AppFixture::type(view, " \\textbf");
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(view->textCursor().selectedText(), "text");
    view->moveCursor(QTextCursor::Start);
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(view->toPlainText().startsWith("\t  \\begin{itemize}"));

    // Ctrl+Space asks where nothing opens by itself; the document's own command is there.
    AppFixture::type(view, "\n\\newcommand{\\tide}[1]{#1}\n");
    AppFixture::settle();
    AppFixture::type(view, "\\ti");
    QTest::keyClick(view, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(offered(view).contains("\\tide{‹argument 1›}  —  Untitled"));
}

// The window's text view keeps no undo history of its own; a line it checked
// before must be checked again after each edit all the same.
void TestCompletion::wordsTypedIntoACheckedLineAreChecked()
{
    _fixture = std::make_unique<AppFixture>();
    _fixture->folder.write("note.tex", "A line of plain text.\n");
    MyDocument *document = _fixture->open(_fixture->folder.path("note.tex"));
    QSTextView *view = document->textView();
    view->setSpellChecker(SpellChecker::forLanguage("en_US", _fixture->folder.path("words.txt")));
    QSignalSpy checked(view, &QSTextView::spellingChecked);
    QVERIFY(checked.wait());
    QVERIFY(view->misspeltWords(0).isEmpty());
    placeCaretAfter(view, "plain");
    AppFixture::type(view, " mispeled");
    QTRY_COMPARE(view->misspeltWords(0).size(), 1);
    QCOMPARE(view->misspeltWords(0).first().start, 16);
}

void TestCompletion::candidatesComeAsTheUserMeansThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("first");
    QTest::newRow("common environments before rare ones")
        << "|"
        << "\\begin{tab"
        << "tabular table table* tabular* tabbing";
    QTest::newRow("the environment the document uses") << "\\begin{tabbing}\n\\end{tabbing}\n|"
                                                       << "\\begin{tab"
                                                       << "tabbing tabular table";
    QTest::newRow("the most used first")
        << "\\begin{table}\\begin{tabular}{l}\\end{tabular}\\end{table}\n"
           "\\begin{table}\\end{table}\n|"
        << "\\begin{tab"
        << "table tabular table* tabular* tabbing";
    QTest::newRow("a use in a comment is none") << "% \\begin{tabbing}\n|"
                                                << "\\begin{tab"
                                                << "tabular table table*";
    QTest::newRow("what equals the typed text first") << "\\begin{align*}x\\end{align*}\n|"
                                                      << "\\begin{align"
                                                      << "align align*";
    QTest::newRow("the same case first") << "|"
                                         << "\\Del"
                                         << "\\Delta \\delta";
    QTest::newRow("the command the document uses") << "\\subsubsection{A}\n\\subsubsection{B}\n|"
                                                   << "\\sub"
                                                   << "\\subsubsection \\subsection";
    QTest::newRow("the document's own command") << "\\newcommand{\\secref}[1]{\\ref{#1}}\n|"
                                                << "\\se"
                                                << "\\secref \\section";
    QTest::newRow("labels in the typed case first") << "\\label{fig:a}\\label{Fig:b}\n|"
                                                    << "\\ref{Fig"
                                                    << "Fig:b fig:a";
}

// The order of the first candidates offered for a text typed into a document.
void TestCompletion::candidatesComeAsTheUserMeansThem()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(QString, first);
    _fixture = std::make_unique<AppFixture>();
    QSTextView *view = openAtCaret(*_fixture, text)->textView();
    AppFixture::type(view, typed);
    QCOMPARE(firstNames(view, int(first.count(u' ')) + 1), first);
}

void TestCompletion::acceptedEntriesRiseAndAreRemembered()
{
    _fixture = std::make_unique<AppFixture>();
    QSTextView *view = openAtCaret(*_fixture, "|")->textView();
    AppFixture::type(view, "\\begin{tab");
    QCOMPARE(firstNames(view, 1), "tabular");
    const QStringList rows = offered(view);
    QCompleter *completer = view->completion()->completer();
    completer->popup()->setCurrentIndex(
        completer->completionModel()->index(int(rows.indexOf("tabbing  —  latex")), 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->toPlainText(), "\\begin{tabbing}\n\n\\end{tabbing}");

    // In another document, which uses no tabbing, it comes first all the same.
    _fixture->folder.write("other.tex", "\n");
    view = _fixture->open(_fixture->folder.path("other.tex"))->textView();
    AppFixture::type(view, "\\begin{tab");
    QCOMPARE(firstNames(view, 2), "tabbing tabular");

    // The next session reads the same settings from disk.
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.synchronize();
    QFile::copy(_fixture->folder.path("settings.ini"), _fixture->folder.path("next.ini"));
    defaults.useSettingsFile(_fixture->folder.path("next.ini"));
    QTest::keyClick(view, Qt::Key_Escape);
    AppFixture::type(view, "\n\\begin{tab");
    QCOMPARE(firstNames(view, 2), "tabbing tabular");
}

// Text past what is counted at once: the first popup does not wait for the count.
void TestCompletion::aLongDocumentIsCountedOnAWorker()
{
    _fixture = std::make_unique<AppFixture>();
    QSTextView *view = openAtCaret(*_fixture, "\\begin{tabbing}\\end{tabbing}\n"
                                                  + QString("Some words.\n").repeated(60000) + "|")
                           ->textView();
    AppFixture::type(view, "\\begin{tab");
    QTest::keyClick(view, Qt::Key_Escape);
    view->completion()->usage()->waitForCounting();
    QTest::keyClick(view, Qt::Key_Backspace);
    AppFixture::type(view, "b");
    QCOMPARE(firstNames(view, 1), "tabbing");
}

void TestCompletion::aBraceTypedClosesTheEnvironment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("arguments typed after the name") << "|"
                                                    << "\\begin{tabular}{lr}"
                                                    << "\\begin{tabular}{lr}|\n\\end{tabular}";
    QTest::newRow("Return opens the line between, indented")
        << "  |"
        << "\\begin{center}\nText"
        << "  \\begin{center}\n  Text|\n  \\end{center}";
    QTest::newRow("closed below already") << "|\n\\end{itemize}"
                                          << "\\begin{itemize}"
                                          << "\\begin{itemize}|\n\\end{itemize}";
    QTest::newRow("inside one of the same name")
        << "\\begin{itemize}\n\\item |\n\\end{itemize}"
        << "\\begin{itemize}"
        << "\\begin{itemize}\n\\item \\begin{itemize}|\n\\end{itemize}\n\\end{itemize}";
    QTest::newRow("in a comment") << "% |"
                                  << "\\begin{itemize}"
                                  << "% \\begin{itemize}|";
    QTest::newRow("in a verbatim body") << "\\begin{verbatim}\n|\n\\end{verbatim}"
                                        << "\\begin{itemize}"
                                        << "\\begin{verbatim}\n\\begin{itemize}|\n\\end{verbatim}";
    QTest::newRow("a second document") << "\\begin{document}\n|\n\\end{document}"
                                       << "\\begin{document}"
                                       << "\\begin{document}\n\\begin{document}|\n\\end{document}";
    QTest::newRow("text after the caret") << "|text"
                                          << "\\begin{center}"
                                          << "\\begin{center}|text";
    QTest::newRow("after a line break") << "|"
                                        << "\\\\begin{itemize}"
                                        << "\\\\begin{itemize}|";
    QTest::newRow("accepted from the popup, closed below") << "|\n\\end{itemize}"
                                                           << "\\begin{itemi⇥"
                                                           << "\\begin{itemize}|\n\\end{itemize}";
}

// The text after typing, the caret at "|".
void TestCompletion::aBraceTypedClosesTheEnvironment()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    _fixture = std::make_unique<AppFixture>();
    QSTextView *view = openAtCaret(*_fixture, text)->textView();
    typeKeys(view, typed);
    QCOMPARE(textWithCaret(view), result);
}

void TestCompletion::oneUndoTakesTheEndAway_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("undone");
    QTest::newRow("typed in full") << "Text\n|"
                                   << "\\begin{itemize}"
                                   << "Text\n\\begin{itemize}|";
    // The brace is typed into the text here, not stepped over.
    QTest::newRow("the brace alone") << "\\begin{itemize|"
                                     << "}"
                                     << "\\begin{itemize}|";
}

void TestCompletion::oneUndoTakesTheEndAway()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(QString, undone);
    _fixture = std::make_unique<AppFixture>();
    MyDocument *document = openAtCaret(*_fixture, text);
    QSTextView *view = document->textView();
    AppFixture::type(view, typed);
    QCOMPARE(view->toPlainText(), undone.chopped(1) + "\n\\end{itemize}");
    document->undo();
    QCOMPARE(textWithCaret(view), undone);
}

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
