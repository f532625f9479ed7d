#include "app/AppFixture.h"
#include "compile/ErrorOutlineDataSource.h"
#include "compile/LatexCompiler.h"
#include "model/ErrorWarningNode.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFViewController.h"

#include <QAbstractItemModelTester>
#include <QFileDialog>
#include <QLabel>
#include <QPdfDocument>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace {

// The console area: the widget the console's content sits in.
QWidget *consoleArea(MyDocument *document)
{
    return document->consoleViewController()->view()->parentWidget();
}

QString logger(MyDocument *document)
{
    return document->consoleViewController()->textLogger()->toPlainText();
}

MainMenuController *menu()
{
    return MainMenuController::sharedMainMenuController();
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void init() { _fixture = std::make_unique<AppFixture>(); }
    void cleanup() { _fixture.reset(); }
    void errorInAChapterTakesYouToItsLineAndTheChainFinishesTheThesis();
    void bibliographyProblemsGetRows_data();
    void bibliographyProblemsGetRows();
    void unicodeEnginesShowTheErrorThenThePdf_data();
    void unicodeEnginesShowTheErrorThenThePdf();
    void enginesThatFailOrTalk_data();
    void enginesThatFailOrTalk();
    void anErrorIsOneRowWithItsCulprit();
    void aFailureWithoutErrorsSaysWhy();
    void stoppingOrClosingEndsTheEngine();
    void untitledDocumentIsSavedFirstAndCompiledOnce();
    void showHideAndDividerLimits();

private:
    // A one-line document in the test's folder, compiled with the engine named,
    // found in the folder given ("" for the test's folder).
    MyDocument *openWithEngine(const QString &engine, const QString &directory = {},
                               const QByteArray &text = "x\n")
    {
        TestFolder &folder = _fixture->folder;
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(directory.isEmpty() ? folder.path({}) + u'/' : directory,
                           QSTexEngineDirectoryPath);
        defaults.setObject(engine, QSSelectedEngineExec);
        return _fixture->open(folder.write("main.tex", text));
    }

    // The example thesis with a command put before a text of its methods chapter.
    MyDocument *openThesisWithError(const QByteArray &before, const QByteArray &command)
    {
        _fixture->copyExample();
        const QString methods = _fixture->folder.path("chapters/methods.tex");
        _fixture->folder.write("chapters/methods.tex",
                               TestFolder::read(methods).replace(before, command + before));
        return _fixture->open(_fixture->folder.path("thesis.tex"));
    }

    std::unique_ptr<AppFixture> _fixture;
};

// The error's row, its marker in the chapter's gutter and its line all follow a line
// typed above it; mended, the chain finishes the thesis and clears the markers.
void TestConsole::errorInAChapterTakesYouToItsLineAndTheChainFinishesTheThesis()
{
    MyDocument *document = openThesisWithError("Twelve pools", "\\undefinedpools "); // line 4
    const QString methods = _fixture->folder.path("chapters/methods.tex");
    ConsoleViewController *console = document->consoleViewController();
    ErrorOutlineDataSource *errors = console->errorOutlineDataSource();
    QSTextView *view = document->textView();
    QAbstractItemModelTester tester(errors);
    QCOMPARE(consoleArea(document)->height(), 1);

    // The console opens while the engine runs, and stays open on an error.
    QSignalSpy updated(console, &ConsoleViewController::errorWarningOutlineUpdated);
    menu()->compileItem()->trigger();
    QVERIFY(console->isShown() && menu()->hideConsoleItem()->isVisible());
    QVERIFY(document->compileStateLabel()->text().startsWith("Compiling… 0."));
    QVERIFY(updated.wait(120000));
    const QString state = document->compileStateLabel()->text();
    // One row for the error, the engine's fatal end none: the chain's engine runs on
    // past the error and writes the PDF, which the status bar names the engine of.
    QVERIFY2(state.contains(QRegularExpression(
                 "^Failed in \\d+\\.\\d s with pdfLaTeX via latexmk: 1 error, \\d+ warnings$")),
             qPrintable(state));
    QVERIFY(console->errorWarningOutline()->isVisible() && console->textLoggerView()->isHidden());
    QTRY_COMPARE(consoleArea(document)->height(), ConsoleViewController::openHeight);
    QCOMPARE(errors->index(0, 0).data().toString(), "introduction.tex");
    QModelIndex fileRow;
    for (int row = 0; row < errors->rowCount(); ++row)
        if (errors->index(row, 0).data().toString() == "methods.tex")
            fileRow = errors->index(row, 0);
    QVERIFY(fileRow.isValid());
    QVERIFY(console->errorWarningOutline()->isExpanded(fileRow));
    const QModelIndex errorRow = errors->index(0, 0, fileRow);
    QCOMPARE(errors->diagnosticForIndex(errorRow)->type, "error");
    QCOMPARE(errors->diagnosticForIndex(errorRow)->msg, " Undefined control sequence.(on line: 4)");
    QCOMPARE(errors->diagnosticForIndex(errorRow)->context.section(u'\n', 0, 0),
             "l.4 \\undefinedpools");
    // Each file's gutter marks its own lines: none in the root shown, a warning in
    // the introduction.
    QVERIFY(view->markedLines().isEmpty());
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "introduction.tex"));
    QCOMPARE(view->markedLines(), (QMap<int, bool>{{2, false}}));

    // Choosing the error shows the chapter with the first character of line 4
    // selected, its marker there with the message as tooltip.
    const auto choose = [&] {
        QItemSelectionModel *rows = console->errorWarningOutline()->selectionModel();
        rows->clear();
        rows->select(errorRow, QItemSelectionModel::Select);
    };
    choose();
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    QCOMPARE(view->textCursor().selectionStart(),
             view->document()->findBlockByNumber(3).position());
    QCOMPARE(view->textCursor().selectedText(), "\\");
    // The chain's engine ran on past the error, to a citation on line 7.
    QCOMPARE(view->markedLines(), (QMap<int, bool>{{4, true}, {7, false}}));
    QVERIFY(view->markerMessagesAt(view->cursorRect().center().y())
                .startsWith("Undefined control sequence."));
    // A line typed above takes the marker, and where the row goes, to line 5.
    AppFixture::typeBefore(view, "\\section{Sampling}", "\n");
    QCOMPARE(view->markedLines(), (QMap<int, bool>{{5, true}, {8, false}}));
    choose();
    QTextCursor selection = view->textCursor();
    QCOMPARE(selection.blockNumber() + 1, 5);

    // Mended in the window, the next compile runs BibTeX and the reruns and is clean:
    // the PDF has its contents and citations, the markers go, and the console closes
    // to nothing, then is kept at one pixel so it can be dragged open.
    selection.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    selection.removeSelectedText();
    AppFixture::settle();
    QVERIFY(AppFixture::compile(document));
    QProcess pdfToText;
    pdfToText.start("pdftotext", {_fixture->folder.path("thesis.pdf"), "-"});
    QVERIFY(pdfToText.waitForFinished(60000));
    const QString pdf = QString::fromUtf8(pdfToText.readAllStandardOutput());
    QVERIFY2(pdf.contains("1.1 Questions") && pdf.contains("Bibliography"), qPrintable(pdf));
    QVERIFY(pdf.contains("a day [3]") && !pdf.contains("[?]"));
    QVERIFY(!TestFolder::read(methods).contains("undefinedpools"));
    QVERIFY(view->markedLines().isEmpty());
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    QVERIFY(console->errorWarningOutline()->isHidden() && !console->latexCompiler()->isCompiling());
    QVERIFY(document->compileStateLabel()->text().endsWith(
        "s with pdfLaTeX via latexmk: 0 errors, 0 warnings"));
    QTRY_COMPARE(consoleArea(document)->height(), 1);
    QVERIFY(!console->isShown() && menu()->showConsoleItem()->isVisible());
}

void TestConsole::bibliographyProblemsGetRows_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("BibTeX, a comma missing") << "bibtex.tex"
                                             << "refs.bib" << 10 << "expecting";
    QTest::newRow("a missing database") << "missing-database.tex"
                                        << "missing-database.tex" << 0 << "missing.bib not found";
    QTest::newRow("biber, a comma missing") << "biber.tex"
                                            << "refs.bib" << 10 << "syntax error";
}

// The documents of tests/data/bibliography/documents compiled through latexmk: what
// BibTeX, biber or latexmk said becomes a row on the database's line, or on the root
// file; a citation they could not resolve stays the engine's warning on its line.
// Chosen, a database's row opens the database in a window of its own at the line.
void TestConsole::bibliographyProblemsGetRows()
{
    QFETCH(QString, root);
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(QString, message);
    _fixture->folder.copyData("bibliography/documents");
    MyDocument *document = _fixture->open(_fixture->folder.path(root));
    const QDateTime written = QFileInfo(_fixture->folder.path(root)).lastModified();
    QVERIFY(AppFixture::compile(document));
    // Without edits, F5 compiles what is on disk and writes nothing.
    QCOMPARE(QFileInfo(_fixture->folder.path(root)).lastModified(), written);
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QModelIndex found, citation;
    for (int row = 0; row < errors->rowCount(); ++row) {
        const QModelIndex fileRow = errors->index(row, 0);
        for (int child = 0; child < errors->rowCount(fileRow); ++child) {
            const QModelIndex index = errors->index(child, 0, fileRow);
            const ErrorWarningNode *node = errors->diagnosticForIndex(index).get();
            if (fileRow.data().toString() == file && node->msg.contains(message)
                && node->lineNumber == line)
                found = index;
            if (fileRow.data().toString() == root && node->msg.contains("nokey")
                && node->msg.contains("undefined"))
                citation = index;
        }
    }
    QVERIFY2(found.isValid() && citation.isValid(), qPrintable(logger(document)));
    QCOMPARE(errors->diagnosticForIndex(citation)->lineNumber, root == "biber.tex" ? 5 : 3);

    document->consoleViewController()->errorWarningOutline()->selectionModel()->select(
        found, QItemSelectionModel::ClearAndSelect);
    auto *shown = qobject_cast<MyDocument *>(
        DocumentController::sharedDocumentController()->currentDocument());
    QVERIFY(shown);
    QCOMPARE(shown->fileOpened()->name(), file);
    if (line > 0)
        QCOMPARE(shown->textView()->textCursor().blockNumber(), line - 1);
}

void TestConsole::unicodeEnginesShowTheErrorThenThePdf_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("xelatex") << "xelatex";
    QTest::newRow("lualatex") << "lualatex";
}

// A UTF-8 document set in an OpenType font through fontspec, with an error on line 5.
void TestConsole::unicodeEnginesShowTheErrorThenThePdf()
{
    QFETCH(QString, engine);
    MyDocument *document =
        openWithEngine(engine, "/usr/bin/",
                       "\\documentclass{article}\n\\usepackage{fontspec}\n\\begin{document}\n"
                       "Grüße aus Århus, Œuvres complètes.\n\\undefinedcommand\n\\end{document}\n");
    QVERIFY(AppFixture::compile(document));
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QCOMPARE(errors->rowCount(), 1);
    const QModelIndex error = errors->index(0, 0, errors->index(0, 0));
    QCOMPARE(errors->diagnosticForIndex(error)->msg, " Undefined control sequence.(on line: 5)");

    document->textView()->document()->find("\\undefinedcommand").removeSelectedText();
    AppFixture::settle();
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errors->rowCount(), 0);
    QCOMPARE(document->pdfViewController()->pdfDocument()->pageCount(), 1);
}

void TestConsole::enginesThatFailOrTalk_data()
{
    goldenRows("engines/failing-and-talking.txt");
}

// Engines set in the preferences: missing, not runnable, chatty on both streams,
// failing without a log. The console tells the user, and a new compile can start.
void TestConsole::enginesThatFailOrTalk()
{
    QFETCH(GoldenCase, golden);
    const QString engine = golden.part("engine").section(u' ', 0, 0).remove(u',');
    const QString output = golden.part("console shows");
    const bool staysOpen = golden.part("console") == "stays open";
    const bool executable =
        golden.labels.contains("script") && !golden.part("engine").contains("not");
    if (golden.labels.contains("script")) {
        QFile file(_fixture->folder.write(engine, golden.part("script").toUtf8()));
        QVERIFY(!executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    }
    const QString directory = golden.part("engine").section(" in ", 1);
    // The chain asked for by name (Ctrl+F5) needs latexmk; F5 alone would run the
    // engine once without it.
    const bool chain = golden.labels.contains("through latexmk");
    UserDefaults::standardUserDefaults().setObject(!chain, QSRunEngineOnce);
    MyDocument *document = openWithEngine(
        engine, directory, "\\documentclass{article}\\begin{document}x\\end{document}\n");
    ConsoleViewController *console = document->consoleViewController();
    QSignalSpy updated(console, &ConsoleViewController::errorWarningOutlineUpdated);
    if (chain)
        document->compileDocumentWithBibliography();
    else
        document->compileDocument();
    console->latexCompiler()->waitUntilDone();
    if (executable)
        QVERIFY(updated.wait(120000));
    QTRY_VERIFY2_WITH_TIMEOUT(logger(document).contains(output),
                              qPrintable(logger(document).right(2000)), 60000);
    // Only a run that succeeded loads its PDF.
    QCOMPARE(logger(document).contains("could not be shown"),
             output.contains("could not be shown"));
    // The console keeps its last 50,000 lines, none longer than 10,000 characters.
    const QStringList lines = logger(document).split(u'\n');
    QVERIFY(lines.size() <= 50001);
    QVERIFY(std::all_of(lines.begin(), lines.end(),
                        [](const QString &line) { return line.size() <= 10000; }));
    QVERIFY(!console->latexCompiler()->isCompiling());
    QCOMPARE(console->isShown(), staysOpen);
    QTRY_COMPARE(consoleArea(document)->height(),
                 staysOpen ? ConsoleViewController::openHeight : 1);
}

// The engine run once stops at an undefined command: one row, not two (the engine's
// fatal end is the outcome, said in the status bar), with the command under the
// message and a hint; the tooltip has them all.
void TestConsole::anErrorIsOneRowWithItsCulprit()
{
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    MyDocument *document =
        openWithEngine("pdflatex", "/usr/bin/",
                       "\\documentclass{article}\n\\begin{document}\nEnergy.\n\nThe energy is "
                       "\\undefinedcmd{} of the mass.\n\\end{document}\n");
    ConsoleViewController *console = document->consoleViewController();
    ErrorOutlineDataSource *errors = console->errorOutlineDataSource();
    QAbstractItemModelTester tester(errors);
    QVERIFY(AppFixture::compile(document));
    const QString state = document->compileStateLabel()->text();
    QVERIFY2(state.contains(QRegularExpression(
                 "^Failed in \\d+\\.\\d s with pdfLaTeX: 1 error, 0 warnings, no PDF written$")),
             qPrintable(state));
    QCOMPARE(errors->rowCount(), 1);
    QCOMPARE(errors->rowCount(errors->index(0, 0)), 1);
    const QModelIndex row = errors->index(0, 0, errors->index(0, 0));
    const ErrorWarningNode *error = errors->diagnosticForIndex(row).get();
    QCOMPARE(error->msg, " Undefined control sequence.(on line: 5)");
    QCOMPARE(error->context.section(u'\n', 0, 0), "l.5 The energy is \\undefinedcmd");
    const QStringList shown = row.data().toString().split(u'\n');
    QCOMPARE(shown.value(0), error->msg);
    QCOMPARE(shown.value(1), "l.5 The energy is \\undefinedcmd");
    QVERIFY2(shown.value(2).startsWith("\\undefinedcmd is not defined"),
             qPrintable(shown.value(2)));
    QVERIFY(row.data(Qt::ToolTipRole).toString().contains("{} of the mass."));
    QVERIFY(console->hintLabel()->isVisible());
    QVERIFY(console->hintLabel()->text().contains("no PDF"));
}

// An engine that ends without a log says why only on its output: the status bar
// says it, and the root file gets it as its error.
void TestConsole::aFailureWithoutErrorsSaysWhy()
{
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    QFile engine(_fixture->folder.write(
        "pdflatex", "#!/bin/sh\necho 'This is pdfTeX'\necho \"I can't find the format file "
                    "\\`pdflatex.fmt'!\"\nexit 1\n"));
    QVERIFY(engine.setPermissions(engine.permissions() | QFileDevice::ExeOwner));
    // A log of an earlier run is no answer.
    _fixture->folder.write("main.log", "(./main.tex\n./main.tex:1: Undefined control sequence.\n");
    QFile oldLog(_fixture->folder.path("main.log"));
    QVERIFY(oldLog.open(QIODevice::ReadWrite)
            && oldLog.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                  QFileDevice::FileModificationTime));
    oldLog.close();
    MyDocument *document = openWithEngine("pdflatex");
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QAbstractItemModelTester tester(errors);
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(document->compileStateLabel()->text(),
             "Failed: I can't find the format file `pdflatex.fmt'!");
    QCOMPARE(errors->rowCount(), 1);
    const ErrorWarningNode *error =
        errors->diagnosticForIndex(errors->index(0, 0, errors->index(0, 0))).get();
    QVERIFY(error);
    QCOMPARE(error->msg, " I can't find the format file `pdflatex.fmt'!");
    QVERIFY(error->hint.contains("format pdflatex.fmt is missing"));
}

// A chain that never ends, latexmk with an engine it started: the Stop action ends
// every process of the chain's group, and so does closing the window; the window
// answers all the while.
void TestConsole::stoppingOrClosingEndsTheEngine()
{
    TestFolder &folder = _fixture->folder;
    QFile engine(folder.write("latexmk", "#!/bin/sh\necho $$ >> pids\n"
                                         "sh -c 'while true; do sleep 0.02; done' &\n"
                                         "while true; do echo tick; sleep 0.02; done\n"));
    QVERIFY(engine.setPermissions(engine.permissions() | QFileDevice::ExeOwner));
    MyDocument *document = openWithEngine("pdflatex");
    ConsoleViewController *console = document->consoleViewController();
    // Whether a process of the group that the chain's run started is still there.
    const auto running = [&folder](int run) {
        const QByteArray group = TestFolder::read(folder.path("pids")).split('\n').value(run);
        const QStringList processes = QDir("/proc").entryList(QDir::Dirs);
        return !group.isEmpty() && std::any_of(processes.begin(), processes.end(), [&](auto &pid) {
            const QByteArray stat = TestFolder::read("/proc/" + pid + "/stat");
            return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(2) == group;
        });
    };
    menu()->compileWithBibliographyItem()->trigger();
    QTRY_VERIFY(logger(document).count(QStringLiteral("tick")) > 3);
    // latexmk's output names the pass it is on.
    console->addStringToOutputLogger("Latexmk: applying rule 'bibtex main'...\n"
                                     "Run number 2 of rule 'pdflatex'\n");
    QTRY_VERIFY(document->compileStateLabel()->text().endsWith("s (pdflatex, run 2)"));
    menu()->stopCompilingItem()->trigger();
    QTRY_VERIFY(!console->latexCompiler()->isCompiling());
    QTRY_VERIFY(document->compileStateLabel()->text().startsWith("Stopped after "));
    QTRY_VERIFY(logger(document).endsWith("Compile stopped.\n"));
    QVERIFY(console->isShown());
    QTRY_VERIFY(!running(0));

    document->compileDocumentWithBibliography();
    QTRY_VERIFY(running(1));
    QVERIFY(document->window()->close());
    QVERIFY(!DocumentController::sharedDocumentController()->documents().contains(document));
    QCoreApplication::processEvents();
    QTRY_VERIFY(!running(1));
}

// A compile of a new document asks where to save it, then compiles it; a compile
// asked for while one runs does not run the engine again.
void TestConsole::untitledDocumentIsSavedFirstAndCompiledOnce()
{
    // The engine's banner counts its runs: latexmk would run it twice.
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    MyDocument *document = _fixture->open();
    ConsoleViewController *console = document->consoleViewController();
    const QString path = _fixture->folder.path("fresh.tex");
    QTimer::singleShot(0, [path] {
        auto *panel = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(panel);
        panel->selectFile(path);
        QMetaObject::invokeMethod(panel, "accept");
    });
    QSignalSpy updated(console, &ConsoleViewController::errorWarningOutlineUpdated);
    document->compileDocument();
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(console->latexCompiler()->isCompiling());
    document->compileDocument();
    QVERIFY(updated.wait(120000));
    console->latexCompiler()->waitUntilDone();
    QCoreApplication::processEvents();
    QCOMPARE(logger(document).count(QStringLiteral("This is pdfTeX")), 1);
    QCOMPARE(updated.size(), 1);
    QVERIFY(QFileInfo::exists(_fixture->folder.path("fresh.log")));
}

void TestConsole::showHideAndDividerLimits()
{
    MyDocument *document = _fixture->open(_fixture->folder.write("main.tex", "x\n"));
    // The menu offers to hide the console while it shows, and to show it once hidden.
    menu()->showConsoleItem()->trigger();
    QTRY_COMPARE(consoleArea(document)->height(), ConsoleViewController::openHeight);
    QVERIFY(!menu()->showConsoleItem()->isVisible() && menu()->hideConsoleItem()->isVisible());
    // Dragged up, the console grows no taller than it opens; dragged down, it follows.
    auto *split = qobject_cast<QSplitter *>(consoleArea(document)->parentWidget());
    split->setSizes({20, split->height() - 20 - split->handleWidth()});
    emit split->splitterMoved(20, 1);
    QCOMPARE(consoleArea(document)->height(), ConsoleViewController::openHeight);
    split->setSizes({split->height() - 60, 60});
    emit split->splitterMoved(split->height() - 60 - split->handleWidth(), 1);
    QCOMPARE(consoleArea(document)->height(), 60);
    menu()->hideConsoleItem()->trigger();
    QTRY_COMPARE(consoleArea(document)->height(), 1);
    QVERIFY(menu()->showConsoleItem()->isVisible() && !menu()->hideConsoleItem()->isVisible());
}

QUILLSET_TEST_MAIN(TestConsole)
#include "tst_console.moc"
