#include "TestSupport.h"
#include "compile/ErrorOutlineDataSource.h"
#include "model/ErrorWarningNode.h"
#include "compile/LatexLogParser.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/TextEncoding.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

// The diagnostics of a parse, one line per diagnostic: file, type, line, message.
QStringList lines(const QList<LatexLogParser::FileDiagnostics> &result,
                  const std::function<QString(const std::shared_ptr<QSFile> &)> &nameOf)
{
    QStringList out;
    for (const LatexLogParser::FileDiagnostics &entry : result) {
        for (const std::shared_ptr<ErrorWarningNode> &node : entry.diagnostics) {
            const QString file = node->file.lock() == entry.file ? nameOf(entry.file)
                                                                 : QStringLiteral("(other file)");
            out << QStringList{file, node->type, QString::number(node->lineNumber), node->msg}.join(
                u'\t');
        }
    }
    return out;
}

} // namespace

class TestLatexLogParser : public QObject
{
    Q_OBJECT

private slots:
    void realLogsGiveTheExpectedDiagnostics_data();
    void realLogsGiveTheExpectedDiagnostics();
    void segmentsAndPatterns_data();
    void segmentsAndPatterns();
    void resultReachesTheFilesOnTheUiThread();
};

// Logs that pdflatex (and lualatex) wrote for the documents of tests/data/compile,
// each folder with the diagnostics they should give in its expected.tsv. A log
// belongs to the root file whose name it begins with ("main-long-lines.log" to
// main.tex), in its own folder. Among them: runs with the log lines broken at 79
// bytes, as TeX writes them unless told otherwise (inside ".tex", inside a UTF-8
// character, an error line of exactly 79 bytes that is whole), and with the limit
// raised as the editor runs the engine; names beyond ASCII written as "^^c3"; names
// with dots; a file read from beside the root's folder, as "../shared/macros.tex".
void TestLatexLogParser::realLogsGiveTheExpectedDiagnostics_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("log");
    const QDir data(dataPath("compile"));
    for (const QString &fixture : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir folder(data.filePath(fixture));
        QVERIFY(folder.exists("expected.tsv"));
        QDirIterator logs(folder.path(), {"*.log"}, QDir::Files, QDirIterator::Subdirectories);
        while (logs.hasNext()) {
            const QString log = folder.relativeFilePath(logs.next());
            QTest::addRow("%s %s", qPrintable(fixture), qPrintable(log)) << fixture << log;
        }
    }
}

// The log parsed with the fixture's files open in the pool as a document window holds them.
void TestLatexLogParser::realLogsGiveTheExpectedDiagnostics()
{
    QFETCH(QString, fixture);
    QFETCH(QString, log);
    TestFolder folder;
    folder.copyData("compile/" + fixture);
    const QFileInfo logFile(folder.path(log));
    QSFilePool pool;
    QVERIFY(pool.readFile(QUrl::fromLocalFile(
        logFile.dir().filePath(logFile.completeBaseName().section(u'-', 0, 0) + ".tex"))));
    const auto result = LatexLogParser::parseLogBytes(
        TestFolder::read(logFile.filePath()), TextEncoding::UTF8, logFile.absolutePath() + u'/',
        [&pool](const QString &path) { return pool.fileObjectForPath(QUrl::fromLocalFile(path)); });
    const qsizetype root = folder.path({}).size() + 1;
    QCOMPARE(lines(result, [root](const auto &file) { return file->pathText().mid(root); }),
             TestFolder::lines(folder.path("expected.tsv")));
}

void TestLatexLogParser::segmentsAndPatterns_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *name, const QString &log, const QStringList &expected) {
        QTest::newRow(name) << log << expected;
    };
    row("error in an included file",
        "(./main.tex text (./intro.tex\n./intro.tex:7: Missing $ inserted.\n",
        {"intro.tex\terror\t7\t Missing $ inserted.(on line: 7)"});
    row("warning with its input line; the rest dropped",
        "(./main.tex\nLaTeX Warning: Reference 'fig1' on page 2 undefined on input line 31.\n"
        "LaTeX Warning: There were undefined references.\n",
        {"main.tex\twarning\t31\t Reference 'fig1' on page 2 undefined on input "
         "line 31."});
    row("errors first, then warnings, each in log order",
        "(./main.tex\nLaTeX Warning: Citation on input line 4.\n./main.tex:9: B\n./main.tex:2: "
        "A\n",
        {"main.tex\terror\t9\t B(on line: 9)", "main.tex\terror\t2\t A(on line: 2)",
         "main.tex\twarning\t4\t Citation on input line 4."});
    row("text before the first file is never read", "./main.tex:3: early\n(./main.tex\n", {});
    row("errors go to the file they name, in any segment",
        "(./main.tex (./other.tex\n./main.tex:5: lost? no: named\n(./unknown.tex\n./main.tex:6: "
        "x\n",
        {"main.tex\terror\t5\t lost? no: named(on line: 5)", "main.tex\terror\t6\t x(on line: 6)"});
    row("a word that is no number gives line 0", "(./main.tex\n./main.tex:abc: odd\n",
        {"main.tex\terror\t0\t odd(on line: abc)"});
    row("a file read twice keeps the diagnostics of both readings",
        "(./intro.tex\n./intro.tex:1: first\n(./main.tex (./intro.tex\n./intro.tex:2: second\n",
        {"intro.tex\terror\t1\t first(on line: 1)", "intro.tex\terror\t2\t second(on line: 2)"});
    row("warning whose full stop the engine wrapped",
        "(./main.tex\nLaTeX Warning: Reference `x' on page 1 undefined on input line 12\n.\n",
        {"main.tex\twarning\t12\t Reference `x' on page 1 undefined on input line 12"});
    row("names with hyphens", "(./main.tex (./chapter-1.tex\n./chapter-1.tex:3: bad\n",
        {"chapter-1.tex\terror\t3\t bad(on line: 3)"});
    row("CR LF line ends", "(./main.tex\r\n./main.tex:2: bad\r\n",
        {"main.tex\terror\t2\t bad(on line: 2)"});
    row("dotted names end at the first .tex that no name byte follows",
        "(./my.thesis.tex (./v2.tex.d/notes.tex\nLaTeX Warning: Label on input line 2.\n"
        ") (./ch.1/intro.tex\n./ch.1/intro.tex:4: bad\n",
        {"v2.tex.d/notes.tex\twarning\t2\t Label on input line 2.",
         "ch.1/intro.tex\terror\t4\t bad(on line: 4)"});
    row("other files with dots in their names have no segments",
        "(./main.tex (./main.aux) (./my.thesis.bbl\nLaTeX Warning: Citation on input line "
        "3.\n(./my.thesis.toc [1] see the notes.tex\n./my.thesis.tex:5: bad\n",
        {"main.tex\twarning\t3\t Citation on input line 3.",
         "my.thesis.tex\terror\t5\t bad(on line: 5)"});
    row("text that quotes an error line is none",
        "(./main.tex\nPackage x Warning: see ./main.tex:3: there\n./main.tex:4: real\n",
        {"main.tex\terror\t4\t real(on line: 4)"});
    row("error lines that name a file outside the log's folder",
        "(./main.tex\n../doc/intro.tex:2: up\n/doc/chapters/one.tex:3: absolute\n",
        {"intro.tex\terror\t2\t up(on line: 2)",
         "chapters/one.tex\terror\t3\t absolute(on line: 3)"});
    row("files in subfolders have their own segments",
        "(./main.tex (./chapters/one.tex\nLaTeX Warning: Label on input line 3.\n"
        "./chapters/one.tex:12: Undefined control sequence.\n",
        {"chapters/one.tex\terror\t12\t Undefined control sequence.(on line: 12)",
         "chapters/one.tex\twarning\t3\t Label on input line 3."});

    // TeX's lines are 79 bytes long; one that fills them may go on or be whole.
    const QString fill = QString(64, u'x');
    row("file opening broken after its (",
        "(./main.tex " + fill + "xx(\n./chapter-1.tex\nLaTeX Warning: Label on input line 3.\n",
        {"chapter-1.tex\twarning\t3\t Label on input line 3."});
    row("error line of 79 bytes, then another error",
        "(./main.tex\n./main.tex:2: " + fill + "x\n./main.tex:5: next\n",
        {"main.tex\terror\t2\t " + fill + "x(on line: 2)",
         "main.tex\terror\t5\t next(on line: 5)"});
    row("error line broken, CR LF line ends",
        "(./main.tex\r\n./main.tex:12: " + fill + "\r\nend.\r\n",
        {"main.tex\terror\t12\t " + fill + "end.(on line: 12)"});
}

// Hand-written logs for what real ones rarely show; the lookup holds the files
// listed below.
void TestLatexLogParser::segmentsAndPatterns()
{
    QFETCH(QString, log);
    QFETCH(QStringList, expected);
    QMap<QString, std::shared_ptr<QSFile>> held;
    for (const char *name : {"main.tex", "intro.tex", "chapters/one.tex", "chapter-1.tex",
                             "my.thesis.tex", "ch.1/intro.tex", "v2.tex.d/notes.tex"}) {
        const QString path = QStringLiteral("/doc/") + QString::fromLatin1(name);
        held.insert(path, QSFile::initUntitledFileWithTemplateString(QStringLiteral("x"), path));
    }
    const auto result = LatexLogParser::parseLogText(
        log, QStringLiteral("/doc/"), [&held](const QString &path) { return held.value(path); });
    QCOMPARE(lines(result, [&held](const auto &file) { return held.key(file).mid(5); }), expected);
}

// The parse runs on a worker; the files get their lists on the UI thread, each
// file listed once and only with diagnostics. A missing log gives an empty parse.
void TestLatexLogParser::resultReachesTheFilesOnTheUiThread()
{
    TestFolder folder;
    folder.write({{"main.tex", "\\input{intro}\n"},
                  {"intro.tex", "a\nb\n"},
                  {"main.log", "(./main.tex (./intro.tex\n./intro.tex:2: bad\n(./intro.tex\n"}});
    QSFilePool pool;
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    const std::shared_ptr<QSFile> intro = pool.fileObjectForPath(folder.url("intro.tex"));
    QVERIFY(main && intro);
    main->addCompileErrorOrWarning(std::make_shared<ErrorWarningNode>());

    LatexLogParser parser;
    QSignalSpy changed(&parser, &LatexLogParser::filesWithErrorsDidChange);
    std::thread worker([&] { parser.parseLog(folder.url("main.log"), false); });
    worker.join();
    QVERIFY(parser.filesWithErrors().isEmpty());
    QVERIFY(changed.wait());
    QCOMPARE(parser.filesWithErrors(), QList<std::shared_ptr<QSFile>>{intro});
    QCOMPARE(intro->compileErrorsAndWarnings().size(), 1);
    QCOMPARE(main->compileErrorsAndWarnings().size(), 0);

    // Another window's parser that shows intro.tex hears when its diagnostics change.
    LatexLogParser other;
    ErrorOutlineDataSource otherRows(&other);
    QAbstractItemModelTester tester(&otherRows);
    other.setFilesWithErrors({intro});
    QCOMPARE(otherRows.rowCount(otherRows.index(0, 0)), 1);
    QSignalSpy otherReset(&otherRows, &QAbstractItemModel::modelReset);
    parser.takeResult({{intro, {}}}, true);
    QCOMPARE(otherReset.size(), 1);
    QCOMPARE(otherRows.rowCount(otherRows.index(0, 0)), 0);

    parser.parseLog(folder.url("missing.log"), false);
    QVERIFY(changed.wait());
    QVERIFY(parser.filesWithErrors().isEmpty());
}

QTEST_GUILESS_MAIN(TestLatexLogParser)
#include "tst_latexlogparser.moc"
