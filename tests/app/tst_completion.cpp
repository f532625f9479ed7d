#include "AppFixture.h"
#include "editor/SpellChecker.h"
#include "editor/completion/BibFileReader.h"
#include "editor/completion/BibliographyIndex.h"
#include "editor/completion/CompletionCatalog.h"
#include "editor/completion/CompletionContext.h"
#include "editor/completion/CompletionController.h"
#include "model/FileSymbols.h"

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

QString labelOf(const Symbol &symbol)
{
    static const char *kinds[] = {"label", "command", "environment", "bibliography"};
    return QStringLiteral("%1 %2/%3").arg(kinds[int(symbol.kind)], symbol.name).arg(symbol.arguments);
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
    QCOMPARE(found, QStringList({"command \\R/0", "command \\vect/1", "command \\norm/2",
                                 "command \\argmax/0", "command \\pair/2",
                                 "environment proofsketch/1", "label sec:intro/0",
                                 "label fig:a{b}/0", "bibliography refs.bib/0",
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
    for (const char *package : {"latex", "amsmath", "amssymb", "graphicx", "hyperref", "biblatex",
                                "natbib"})
        QVERIFY2(packages.contains(QString::fromUtf8(package)), package);
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

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
