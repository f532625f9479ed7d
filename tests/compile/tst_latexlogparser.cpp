#include "TestSupport.h"
#include "compile/ErrorOutlineDataSource.h"
#include "compile/LatexLogParser.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/TextEncoding.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

// The diagnostics of a parse, one a line: file (from the folder), type, line, message.
QStringList lines(const QList<LatexLogParser::FileDiagnostics> &result, const QString &folder)
{
    QStringList out;
    for (const LatexLogParser::FileDiagnostics &entry : result) {
        for (const std::shared_ptr<ErrorWarningNode> &node : entry.diagnostics) {
            const QString file = node->file.lock() == entry.file
                                     ? entry.file->pathText().mid(folder.size() + 1)
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
    void logsGiveTheExpectedDiagnostics_data();
    void logsGiveTheExpectedDiagnostics();
    void resultReachesTheFilesOnTheUiThread();
    void closingWordsSayWhetherToRerun_data();
    void closingWordsSayWhetherToRerun();
    void bibliographyProgramsGiveTheirRows_data();
    void bibliographyProgramsGiveTheirRows();
};

// Logs that pdflatex (and lualatex) wrote for the documents of tests/data/compile,
// each folder with the diagnostics they should give in its expected.tsv. A log
// belongs to the root file whose name it begins with ("main-long-lines.log" to
// main.tex), in its own folder. Among them: runs with the log lines broken at 79
// bytes, as TeX writes them unless told otherwise (inside ".tex", inside a UTF-8
// character, an error line of exactly 79 bytes that is whole), and with the limit
// raised as the editor runs the engine; names beyond ASCII written as "^^c3"; names
// with dots; a file read from beside the root's folder, as "../shared/macros.tex".
// In hand-written, logs written by hand for what real ones rarely show, each named
// for its case and with its own .tsv beside it; "<FOLDER>" stands for their folder.
void TestLatexLogParser::logsGiveTheExpectedDiagnostics_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("log");
    const QDir data(dataPath("compile"));
    for (const QString &fixture : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir folder(data.filePath(fixture));
        // The broken documents with their culprits and hints have a test of their own.
        if (folder.exists("expected.txt"))
            continue;
        QDirIterator logs(folder.path(), {"*.log"}, QDir::Files, QDirIterator::Subdirectories);
        while (logs.hasNext()) {
            const QString log = folder.relativeFilePath(logs.next());
            QTest::addRow("%s %s", qPrintable(fixture), qPrintable(log)) << fixture << log;
        }
    }
}

// The log parsed with the fixture's files open in the pool as a document window holds them.
void TestLatexLogParser::logsGiveTheExpectedDiagnostics()
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
        TestFolder::read(logFile.filePath()).replace("<FOLDER>", logFile.path().toUtf8()),
        TextEncoding::UTF8, logFile.absolutePath() + u'/',
        [&pool](const QString &path) { return pool.fileObjectForPath(QUrl::fromLocalFile(path)); });
    const QString own = log.chopped(4) + ".tsv";
    QCOMPARE(
        lines(result, folder.path({})),
        TestFolder::lines(folder.path(QFile::exists(folder.path(own)) ? own : "expected.tsv")));
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

void TestLatexLogParser::closingWordsSayWhetherToRerun_data()
{
    goldenRows("compile/closing-words.txt");
}

// The cases of tests/data/compile/closing-words.txt.
void TestLatexLogParser::closingWordsSayWhetherToRerun()
{
    QFETCH(GoldenCase, golden);
    using Rerun = LatexLogParser::Rerun;
    const QMap<QString, Rerun> reruns{{"nothing", Rerun::NotNeeded},
                                      {"labels changed", Rerun::LabelsChanged},
                                      {"undefined references", Rerun::UndefinedReferences}};
    const QByteArray log = golden.labels.contains("log")
                               ? golden.part("log").toUtf8()
                               : TestFolder::read(dataPath("compile/" + golden.part("log file")));
    QVERIFY(reruns.contains(golden.part("rerun")));
    QVERIFY(LatexLogParser::rerunNeeded(log) == reruns.value(golden.part("rerun")));
}

// What BibTeX and biber wrote in their .blg files, and latexmk printed, on real
// runs (tests/data/bibliography), each with the rows it should give beside it.
void TestLatexLogParser::bibliographyProgramsGiveTheirRows_data()
{
    QTest::addColumn<QString>("output");
    for (const QString &name :
         QDir(dataPath("bibliography")).entryList({"*.blg", "*.out"}, QDir::Files))
        QTest::newRow(qPrintable(name)) << dataPath("bibliography/" + name);
}

void TestLatexLogParser::bibliographyProgramsGiveTheirRows()
{
    QFETCH(QString, output);
    const QString text = QString::fromUtf8(TestFolder::read(output));
    const auto diagnostics = output.endsWith(".blg")
                                 ? BibliographyLogParser::parseBlg(text)
                                 : BibliographyLogParser::parseLatexmkOutput(text);
    QStringList rows;
    for (const BibliographyLogParser::Diagnostic &each : diagnostics)
        rows << QStringList{each.file, QString::number(each.lineNumber), each.type, each.message}
                    .join(u'\t');
    QCOMPARE(rows, TestFolder::lines(output.chopped(4) + ".tsv"));
}

QUILLSET_TEST_GUILESS_MAIN(TestLatexLogParser)
#include "tst_latexlogparser.moc"
