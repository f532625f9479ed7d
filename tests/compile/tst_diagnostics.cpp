#include "TestSupport.h"
#include "compile/ErrorHints.h"
#include "compile/ErrorOutlineDataSource.h"
#include "compile/LatexLogParser.h"
#include "compile/LogOutcome.h"
#include "editor/completion/CompletionCatalog.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

// The fixtures of tests/data/compile that say what each diagnostic shows: an
// expected.txt beside the document and the engines' logs "main-<engine>-<mode>.log".
QStringList fixturesWithDetails()
{
    const QDir data(dataPath("compile"));
    QStringList fixtures;
    for (const QString &fixture : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFile::exists(data.filePath(fixture + "/expected.txt")))
            fixtures << fixture;
    return fixtures;
}

// What a parse gave a file, one line a piece: "error 5: message", the context
// lines after "| ", the hint after "? ", the machine's folders as <FOLDER> and <TEXMF>.
QStringList shown(const QSFile &file, const QString &folder)
{
    QStringList lines;
    for (const std::shared_ptr<ErrorWarningNode> &node : file.compileErrorsAndWarnings()) {
        lines << QStringLiteral("%1 %2:%3").arg(node->type).arg(node->lineNumber).arg(node->msg);
        for (const QString &line : node->context.split(u'\n', Qt::SkipEmptyParts))
            lines << "| " + line;
        if (!node->hint.isEmpty())
            lines << "? "
                         + QString(node->hint)
                               .replace(folder, "<FOLDER>")
                               .replace(ErrorHints::texFolders().join(", "), "<TEXMF>");
    }
    return lines;
}

QStringList outcomeLines(const LogOutcome &outcome)
{
    QStringList lines;
    if (outcome.fatal)
        lines << "fatal";
    if (outcome.noPages)
        lines << "no pages";
    for (const QString &line : outcome.reason)
        lines << "reason: " + line;
    return lines;
}

std::shared_ptr<ErrorWarningNode> node(const std::shared_ptr<QSFile> &file, const QString &type)
{
    auto made = std::make_shared<ErrorWarningNode>();
    made->file = file;
    made->type = type;
    made->msg = type;
    return made;
}

} // namespace

class TestDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void realLogsGiveRowsWithCulpritsAndHints_data();
    void realLogsGiveRowsWithCulpritsAndHints();
    void unknownCommandsGetTheNearestKnownOnes_data();
    void unknownCommandsGetTheNearestKnownOnes();
    void missingFilesAreLookedUp();
    void mathModeBeganWhereTheParagraphOpenedIt_data();
    void mathModeBeganWhereTheParagraphOpenedIt();
    void failuresSayWhyFromTheOutput_data();
    void failuresSayWhyFromTheOutput();
    void treeShowsAHundredRowsErrorsFirst();
};

// The commands of the completion catalog, as the application hands them over at start.
void TestDiagnostics::initTestCase()
{
    QHash<QString, QString> packages;
    for (const CompletionItem &item : CompletionCatalog::shared().commands())
        packages.insert(item.name, item.where);
    QVERIFY(packages.value("\\includegraphics") == "graphicx");
    ErrorHints::setKnownCommands(packages);
}

void TestDiagnostics::realLogsGiveRowsWithCulpritsAndHints_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("outcome");
    for (const QString &fixture : fixturesWithDetails()) {
        QStringList covered;
        for (const GoldenCase &golden : goldenCases("compile/" + fixture + "/expected.txt")) {
            for (const QString &log : golden.name.split(u' ', Qt::SkipEmptyParts)) {
                QTest::addRow("%s %s", qPrintable(fixture), qPrintable(log))
                    << fixture << "main-" + log + ".log" << golden.part("rows")
                    << golden.part("outcome");
                covered << "main-" + log + ".log";
            }
        }
        // Every log beside the document is checked.
        const QStringList logs = QDir(dataPath("compile/" + fixture)).entryList({"*.log"});
        for (const QString &log : logs)
            if (!covered.contains(log))
                qFatal("%s/%s has no expected rows", qPrintable(fixture), qPrintable(log));
    }
}

// Logs that pdflatex, xelatex and lualatex wrote for the broken documents of
// tests/data/compile, run as the chain runs them ("nonstop": every error of the
// run) and as the engine runs once ("halt": up to the first); make-logs.sh there
// writes them anew. The "nonstop" logs are read as after latexmk, the others as
// after the engine alone. Each error is one row with its culprit and its hint; the
// engine's fatal end is no row but the run's outcome.
void TestDiagnostics::realLogsGiveRowsWithCulpritsAndHints()
{
    QFETCH(QString, fixture);
    QFETCH(QString, log);
    QFETCH(QString, rows);
    QFETCH(QString, outcome);
    TestFolder folder;
    folder.copyData("compile/" + fixture);
    folder.write("main.log", TestFolder::read(folder.path(log)));
    QSFilePool pool;
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    QVERIFY(main);
    LatexLogParser parser;
    QSignalSpy changed(&parser, &LatexLogParser::filesWithErrorsDidChange);
    const bool chain = log.contains("-nonstop");
    parser.parseLog(folder.url("main.log"), false,
                    chain ? std::optional<QString>(QString()) : std::nullopt);
    QVERIFY(changed.wait());
    QCOMPARE(shown(*main, folder.path({}) + u'/'), rows.split(u'\n', Qt::SkipEmptyParts));
    QCOMPARE(outcomeLines(parser.lastOutcome()), outcome.split(u'\n', Qt::SkipEmptyParts));
}

void TestDiagnostics::unknownCommandsGetTheNearestKnownOnes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("own");
    QTest::addColumn<QStringList>("nearest");
    QTest::newRow("a letter too many") << "\\textbff" << QStringList{} << QStringList{"\\textbf"};
    QTest::newRow("two letters swapped")
        << "\\sectoin" << QStringList{} << QStringList{"\\section"};
    QTest::newRow("the document's own")
        << "\\vekor" << QStringList{"\\vektor"} << QStringList{"\\vektor"};
    QTest::newRow("equally near, the document's first")
        << "\\vex" << QStringList{"\\vez"} << QStringList{"\\vez", "\\vec", "\\vee"};
    QTest::newRow("nothing near") << "\\undefinedcmd" << QStringList{} << QStringList{};
    QTest::newRow("a star is no misspelling")
        << "\\includegraphics" << QStringList{} << QStringList{};
    QTest::newRow("two edits are too many for a short name")
        << "\\sectn" << QStringList{} << QStringList{};
}

void TestDiagnostics::unknownCommandsGetTheNearestKnownOnes()
{
    QFETCH(QString, command);
    QFETCH(QStringList, own);
    QFETCH(QStringList, nearest);
    QCOMPARE(ErrorHints::nearestCommands(command, own), nearest);
}

// dpkg knows the package of a file that is installed; TeX's folders come from kpsewhich.
void TestDiagnostics::missingFilesAreLookedUp()
{
    if (QStandardPaths::findExecutable("dpkg").isEmpty())
        QSKIP("no dpkg on this system");
    QCOMPARE(ErrorHints::debianPackageOf("graphicx.sty"), "texlive-latex-base");
    QCOMPARE(ErrorHints::debianPackageOf("nosuchpackagehere.sty"), QString());
    QVERIFY(ErrorHints::texFolders().contains("/usr/share/texlive/texmf-dist"));
    ErrorWarningNode missing;
    missing.msg = " LaTeX Error: File `graphicx.sty' not found.(on line: 2)";
    QVERIFY2(ErrorHints::hintFor(missing, {"/tmp/doc/", false}, {})
                 .startsWith("graphicx.sty comes with the Debian package texlive-latex-base. "
                             "TeX looked in the document's folder, /tmp/doc/, and in "),
             qPrintable(ErrorHints::hintFor(missing, {"/tmp/doc/", false}, {})));
}

void TestDiagnostics::mathModeBeganWhereTheParagraphOpenedIt_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<int>("began");
    QTest::newRow("a dollar left open") << "a\n\nb $x\nc\n\n" << 5 << 3;
    QTest::newRow("closed, then opened") << "$a$ and $b\nc\n" << 2 << 1;
    QTest::newRow("an escaped dollar is text") << "costs \\$5 and $x\n\n" << 2 << 1;
    QTest::newRow("a comment hides its dollar") << "a % $\nb\n\n" << 3 << 0;
    QTest::newRow("display math") << "\\[ x\ny\n\n" << 3 << 1;
    QTest::newRow("an environment") << "\\begin{align*}\nx\n\n" << 3 << 1;
    QTest::newRow("an environment closed") << "\\begin{equation}x\\end{equation} y^2\n" << 1 << 0;
    QTest::newRow("a paragraph before does not count") << "$x\n\ny^2\n" << 3 << 0;
    QTest::newRow("no math at all") << "x^2\n" << 1 << 0;
    QTest::newRow("a line past the end") << "x\n" << 9 << 0;
}

void TestDiagnostics::mathModeBeganWhereTheParagraphOpenedIt()
{
    QFETCH(QString, source);
    QFETCH(int, errorLine);
    QFETCH(int, began);
    QCOMPARE(ErrorHints::mathModeBegan(source, errorLine), began);
}

void TestDiagnostics::failuresSayWhyFromTheOutput_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("hint");
    QTest::newRow("no format")
        << "This is pdfTeX, Version 3.141592653\n restricted \\write18 enabled.\n"
           "I can't find the format file `pdflatex.fmt'!\n"
        << "I can't find the format file `pdflatex.fmt'!"
        << "The engine's format pdflatex.fmt is missing: reinstall the TeX Live package of the "
           "engine, or build the formats again with \"fmtutil-user --all\".";
    QTest::newRow("no pages")
        << "(./main.aux) )\nwarning  (pdf backend): no pages of output.\nTranscript written.\n"
        << "warning  (pdf backend): no pages of output."
        << "The document put nothing on a page: write text between \\begin{document} and "
           "\\end{document}.";
    QTest::newRow("a crash") << "(./main.tex\n\nThe TeX engine crashed.\n"
                             << "The TeX engine crashed."
                             << "";
    QTest::newRow("nothing said, the last line") << "one\ntwo\n\n"
                                                 << "two"
                                                 << "";
    QTest::newRow("nothing at all") << "\n"
                                    << ""
                                    << "";
}

void TestDiagnostics::failuresSayWhyFromTheOutput()
{
    QFETCH(QString, output);
    QFETCH(QString, why);
    QFETCH(QString, hint);
    const QStringList reason = LogOutcome::reasonInOutput(output);
    QCOMPARE(reason.value(0), why);
    QCOMPARE(ErrorHints::plainHintFor(why), hint);
}

// A compile with thousands of diagnostics shows the first hundred, the errors of
// every file before any warning, and a last row for the rest that leads nowhere.
void TestDiagnostics::treeShowsAHundredRowsErrorsFirst()
{
    TestFolder folder;
    folder.write({{"main.tex", "a\n"}, {"intro.tex", "b\n"}});
    QSFilePool pool;
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    const std::shared_ptr<QSFile> intro = pool.readFile(folder.url("intro.tex"));
    QList<std::shared_ptr<ErrorWarningNode>> mainRows, introRows;
    for (int i = 0; i < 150; ++i)
        mainRows << node(main, "warning");
    mainRows << node(main, "error");
    introRows << node(intro, "error") << node(intro, "warning");
    LatexLogParser parser;
    ErrorOutlineDataSource rows(&parser);
    QAbstractItemModelTester tester(&rows);
    parser.takeResult({{main, mainRows}, {intro, introRows}}, false);

    QCOMPARE(rows.rowCount(), 3);
    const QModelIndex mainRow = rows.index(0, 0), introRow = rows.index(1, 0);
    QCOMPARE(rows.rowCount(mainRow), 99);
    QCOMPARE(rows.rowCount(introRow), 1);
    // main.tex's error, last in its list, is shown; so is intro.tex's.
    QCOMPARE(rows.diagnosticForIndex(rows.index(98, 0, mainRow)), mainRows.last());
    QCOMPARE(rows.diagnosticForIndex(rows.index(0, 0, introRow)), introRows.first());
    const QModelIndex more = rows.index(2, 0);
    QCOMPARE(more.data().toString(), "… and 53 more");
    QCOMPARE(rows.hiddenCount(), 53);
    QVERIFY(!(rows.flags(more) & Qt::ItemIsSelectable));
    QVERIFY(!rows.diagnosticForIndex(more) && !rows.fileForIndex(more));

    // A compile within the limit has no such row.
    parser.takeResult({{intro, introRows}}, false);
    QCOMPARE(rows.rowCount(), 1);
    QCOMPARE(rows.rowCount(rows.index(0, 0)), 2);
}

QUILLSET_TEST_GUILESS_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
