#include "TestSupport.h"
#include "compile/ErrorOutlineDataSource.h"
#include "model/ErrorWarningNode.h"
#include "compile/LatexLogParser.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/TextEncoding.h"

#include <QAbstractItemModelTester>
#include <QDirIterator>
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

void TestLatexLogParser::realLogsGiveTheExpectedDiagnostics_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("log");
    auto add = [](const char *fixture, const char *log, const char *root = "main.tex") {
        QTest::addRow("%s %s", fixture, log)
            << QString::fromUtf8(fixture) << QString::fromUtf8(root) << QString::fromUtf8(log);
    };
    for (const char *name :
         {"include-error", "missing-dollar", "warnings", "subfolder", "after-include"})
        add(name, "main.log");
    // The same runs of pdflatex with its log lines broken at 79 bytes, as it writes
    // them unless told otherwise, and with the limit raised as the editor runs it.
    // long-paths breaks a file opening, an error line, a warning and the message of
    // the missing PDF; wrapped-names, run in nonstop mode, breaks inside ".tex" and
    // inside a UTF-8 character of a warning, and has an error line of exactly 79
    // bytes that is whole.
    // non-ascii-names breaks its opening and error line inside a three-byte
    // character, in a chapter whose name and folder name are not ASCII.
    for (const char *name : {"long-paths", "wrapped-names", "non-ascii-names"}) {
        for (const char *log : {"main.log", "main-long-lines.log"})
            add(name, log);
    }
    // Run with a translation file under which TeX writes the bytes above ASCII as
    // "^^c3" and so on, as an engine whose format was made without one does: so
    // appear the names in its file openings and the text of its warnings, while
    // its error lines keep the bytes.
    add("non-ascii-names", "main-hat-notation.log");
    // lualatex writes the name's bytes as they are too; with the limit raised as
    // the editor runs it, for it breaks lines before a character that does not fit
    // whole and lets a file name run past the limit.
    add("non-ascii-names", "main-lualatex-long-lines.log");
    // Names with dots in the root's, the folders' and the files' names, among
    // hyperref's and the font warnings' own parenthesised lines and the openings
    // of the .aux and .out files.
    for (const char *log : {"my.thesis.log", "my.thesis-long-lines.log"})
        add("dotted-names", log, "my.thesis.tex");
    // A book that reads a file from beside its own folder: the engine names it
    // "../shared/macros.tex" in its error line.
    add("outside-folder", "book/main.log", "book/main.tex");
}

// Logs written by pdflatex for the fixtures, parsed with the fixtures' files open
// in the pool as a document window holds them.
void TestLatexLogParser::realLogsGiveTheExpectedDiagnostics()
{
    QFETCH(QString, fixture);
    QFETCH(QString, root);
    QFETCH(QString, log);
    TestFolder folder;
    const QDir source(QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/compile/") + fixture);
    QDirIterator files(source.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        folder.write(source.relativeFilePath(path), TestFolder::read(path));
    }
    QSFilePool pool;
    QVERIFY(pool.readFile(folder.url(root)));
    const QString rootFolder = folder.path(QString()) + u'/';
    const auto result = LatexLogParser::parseLogBytes(
        TestFolder::read(folder.path(log)), TextEncoding::UTF8,
        QFileInfo(folder.path(log)).absolutePath() + u'/',
        [&pool](const QString &path) { return pool.fileObjectForPath(QUrl::fromLocalFile(path)); });

    const QStringList expected = QString::fromUtf8(TestFolder::read(folder.path("expected.tsv")))
                                     .split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(
        lines(result,
              [&rootFolder](const auto &file) { return file->pathText().mid(rootFolder.size()); }),
        expected);
}

void TestLatexLogParser::segmentsAndPatterns_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("error in an included file")
        << "(./main.tex text (./intro.tex\n./intro.tex:7: Missing $ inserted.\n"
        << QStringList{"intro.tex\terror\t7\t Missing $ inserted.(on line: 7)"};
    QTest::newRow("warning with its input line; the rest dropped")
        << "(./main.tex\nLaTeX Warning: Reference 'fig1' on page 2 undefined on input line 31.\n"
           "LaTeX Warning: There were undefined references.\n"
        << QStringList{"main.tex\twarning\t31\t Reference 'fig1' on page 2 undefined on input "
                       "line 31."};
    QTest::newRow("errors first, then warnings, each in log order")
        << "(./main.tex\nLaTeX Warning: Citation on input line 4.\n./main.tex:9: B\n./main.tex:2: "
           "A\n"
        << QStringList{"main.tex\terror\t9\t B(on line: 9)", "main.tex\terror\t2\t A(on line: 2)",
                       "main.tex\twarning\t4\t Citation on input line 4."};
    QTest::newRow("text before the first file is never read")
        << "./main.tex:3: early\n(./main.tex\n"
        << QStringList{};
    QTest::newRow("errors go to the file they name, in any segment")
        << "(./main.tex (./other.tex\n./main.tex:5: lost? no: named\n(./unknown.tex\n./main.tex:6: "
           "x\n"
        << QStringList{"main.tex\terror\t5\t lost? no: named(on line: 5)",
                       "main.tex\terror\t6\t x(on line: 6)"};
    QTest::newRow("a word that is no number gives line 0")
        << "(./main.tex\n./main.tex:abc: odd\n"
        << QStringList{"main.tex\terror\t0\t odd(on line: abc)"};
    QTest::newRow("a file read twice keeps the diagnostics of both readings")
        << "(./intro.tex\n./intro.tex:1: first\n(./main.tex (./intro.tex\n./intro.tex:2: second\n"
        << QStringList{"intro.tex\terror\t1\t first(on line: 1)",
                       "intro.tex\terror\t2\t second(on line: 2)"};
    QTest::newRow("warning whose full stop the engine wrapped")
        << "(./main.tex\nLaTeX Warning: Reference `x' on page 1 undefined on input line 12\n.\n"
        << QStringList{
               "main.tex\twarning\t12\t Reference `x' on page 1 undefined on input line 12"};
    QTest::newRow("names with hyphens") << "(./main.tex (./chapter-1.tex\n./chapter-1.tex:3: bad\n"
                                        << QStringList{"chapter-1.tex\terror\t3\t bad(on line: 3)"};
    QTest::newRow("CR LF line ends") << "(./main.tex\r\n./main.tex:2: bad\r\n"
                                     << QStringList{"main.tex\terror\t2\t bad(on line: 2)"};
    QTest::newRow("dotted names end at the first .tex that no name byte follows")
        << "(./my.thesis.tex (./v2.tex.d/notes.tex\nLaTeX Warning: Label on input line 2.\n"
           ") (./ch.1/intro.tex\n./ch.1/intro.tex:4: bad\n"
        << QStringList{"v2.tex.d/notes.tex\twarning\t2\t Label on input line 2.",
                       "ch.1/intro.tex\terror\t4\t bad(on line: 4)"};
    QTest::newRow("other files with dots in their names have no segments")
        << "(./main.tex (./main.aux) (./my.thesis.bbl\nLaTeX Warning: Citation on input line "
           "3.\n(./my.thesis.toc [1] see the notes.tex\n./my.thesis.tex:5: bad\n"
        << QStringList{"main.tex\twarning\t3\t Citation on input line 3.",
                       "my.thesis.tex\terror\t5\t bad(on line: 5)"};
    QTest::newRow("text that quotes an error line is none")
        << "(./main.tex\nPackage x Warning: see ./main.tex:3: there\n./main.tex:4: real\n"
        << QStringList{"main.tex\terror\t4\t real(on line: 4)"};
    QTest::newRow("error lines that name a file outside the log's folder")
        << "(./main.tex\n../doc/intro.tex:2: up\n/doc/chapters/one.tex:3: absolute\n"
        << QStringList{"intro.tex\terror\t2\t up(on line: 2)",
                       "chapters/one.tex\terror\t3\t absolute(on line: 3)"};
    QTest::newRow("files in subfolders have their own segments")
        << "(./main.tex (./chapters/one.tex\nLaTeX Warning: Label on input line 3.\n"
           "./chapters/one.tex:12: Undefined control sequence.\n"
        << QStringList{"chapters/one.tex\terror\t12\t Undefined control sequence.(on line: 12)",
                       "chapters/one.tex\twarning\t3\t Label on input line 3."};

    // TeX's lines are 79 bytes long; one that fills them may go on or be whole.
    const QString fill = QString(64, u'x');
    QTest::newRow("file opening broken after its (")
        << "(./main.tex " + fill + "xx(\n./chapter-1.tex\nLaTeX Warning: Label on input line 3.\n"
        << QStringList{"chapter-1.tex\twarning\t3\t Label on input line 3."};
    QTest::newRow("error line of 79 bytes, then another error")
        << "(./main.tex\n./main.tex:2: " + fill + "x\n./main.tex:5: next\n"
        << QStringList{"main.tex\terror\t2\t " + fill + "x(on line: 2)",
                       "main.tex\terror\t5\t next(on line: 5)"};
    QTest::newRow("error line broken, CR LF line ends")
        << "(./main.tex\r\n./main.tex:12: " + fill + "\r\nend.\r\n"
        << QStringList{"main.tex\terror\t12\t " + fill + "end.(on line: 12)"};
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
