// How F5 builds a document (latexmk's chain by default, the engine the document
// names or is given, the root a chapter names) and what else a document's header
// says, through real windows, files and engines.
#include "AppFixture.h"
#include "compile/CompileProgress.h"
#include "compile/EngineChoice.h"
#include "model/ErrorWarningNode.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFViewController.h"
#include "pdf/SyncResolver.h"
#include "platform/TextEncoding.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>

class TestBuildChoice : public QObject
{
    Q_OBJECT

private slots:
    void oneF5FinishesTheDocument();
    void theEngineComesFromTheDocument_data();
    void theEngineComesFromTheDocument();
    void aChapterCompilesTheRootItNames();
    void rootsThatCannotBeUsedAreSaid_data();
    void rootsThatCannotBeUsedAreSaid();
    void withoutLatexmkTheEngineRunsOnce();
    void ctrlClickWithoutSyncDataSaysWhy();
    void theHeaderNamesEncodingAndLanguage();
};

namespace {

QString consoleText(MyDocument *document)
{
    QCoreApplication::processEvents();
    return document->consoleViewController()->textLogger()->toPlainText();
}

QString statusMessage(MyDocument *document)
{
    return qobject_cast<QMainWindow *>(document->window())->statusBar()->currentMessage();
}

int errorCount(MyDocument *document)
{
    int errors = 0;
    std::lock_guard lock(QSFilePool::documentModelLock());
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(document->fileOpened().get()))
        for (const std::shared_ptr<ErrorWarningNode> &diagnostic : file->compileErrorsAndWarnings())
            errors += diagnostic->type == QStringLiteral("error");
    return errors;
}

const QByteArray bookWithEverything = R"(\documentclass{article}
\usepackage{makeidx}
\makeindex
\begin{document}
\tableofcontents
\section{Start}\label{sec:start}
See section~\ref{sec:end} and \cite{knuth84}.\index{start}
\section{End}\label{sec:end}
Back to~\ref{sec:start}.\index{end}
\bibliographystyle{plain}
\bibliography{refs}
\printindex
\end{document}
)";

const QByteArray bibliography = R"(@book{knuth84,
  author = {Donald E. Knuth},
  title = {The {\TeX}book},
  publisher = {Addison-Wesley},
  year = {1984}
}
)";

} // namespace

// One F5 on a fresh profile gives the contents, the references, the citation and the
// index; a document with three errors lists all three; mended, one F5 finishes it.
void TestBuildChoice::oneF5FinishesTheDocument()
{
    AppFixture fixture;
    fixture.folder.write("book.tex", bookWithEverything);
    fixture.folder.write("refs.bib", bibliography);
    MyDocument *document = fixture.open(fixture.folder.path("book.tex"));
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errorCount(document), 0);
    const QByteArray log = TestFolder::read(fixture.folder.path("book.log"));
    QVERIFY2(!log.contains("undefined"), log.constData());
    QVERIFY(TestFolder::read(fixture.folder.path("book.toc")).contains("End"));
    QVERIFY(TestFolder::read(fixture.folder.path("book.bbl")).contains("knuth84"));
    QVERIFY(QFile::exists(fixture.folder.path("book.ind")));
    QVERIFY(QFile::exists(fixture.folder.path("book.synctex.gz")));

    QByteArray broken = bookWithEverything;
    broken.replace("See section", "See \\textbff{section}");
    broken.replace("Back to", "Back \\undefinedtwo to");
    broken.replace("\\printindex", "\\includegraphics{plot}\n\\printindex");
    fixture.folder.write("book.tex", broken);
    QCOMPARE(document->fileOpened()->readFile(), true);
    AppFixture::settle();
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errorCount(document), 3);
    // The hints come from the commands completion knows.
    QStringList hints;
    for (const std::shared_ptr<ErrorWarningNode> &error :
         document->fileOpened()->compileErrorsAndWarnings())
        hints << error->hint;
    QVERIFY2(hints.join(u' ').contains("\\textbf"), qPrintable(hints.join(u'|')));
    QVERIFY2(hints.join(u' ').contains("graphicx"), qPrintable(hints.join(u'|')));

    fixture.folder.write("book.tex", bookWithEverything);
    QCOMPARE(document->fileOpened()->readFile(), true);
    AppFixture::settle();
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errorCount(document), 0);
    QVERIFY(!TestFolder::read(fixture.folder.path("book.log")).contains("undefined"));
}

void TestBuildChoice::theEngineComesFromTheDocument_data()
{
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<QString>("menuChoice");
    QTest::addColumn<QString>("logStart");
    QTest::addColumn<bool>("saysProblem");
    QTest::newRow("magic comment")
        << QByteArray("% !TEX TS-program = xelatex\n") << QString() << "This is XeTeX" << false;
    QTest::newRow("magic beats the menu") << QByteArray("%!TeX program=xelatex\n") << "lualatex"
                                          << "This is XeTeX" << false;
    QTest::newRow("menu choice") << QByteArray() << "lualatex"
                                 << "This is LuaHBTeX" << false;
    QTest::newRow("unknown program falls back to the menu")
        << QByteArray("% !TeX program = foo\n") << "xelatex"
        << "This is XeTeX" << true;
    QTest::newRow("unknown program falls back to the preferences")
        << QByteArray("% !TeX program = foo\n") << QString() << "This is pdfTeX" << true;
}

// The magic comment first, then the document's choice in the Typeset menu, then the
// preferences; a name that is no engine is said, never run silently as another.
void TestBuildChoice::theEngineComesFromTheDocument()
{
    QFETCH(QByteArray, magic);
    QFETCH(QString, menuChoice);
    QFETCH(QString, logStart);
    QFETCH(bool, saysProblem);
    AppFixture fixture;
    fixture.folder.write("size.tex", magic + R"(\documentclass{article}
\usepackage{iftex}
\ifPDFTeX\usepackage[T1]{fontenc}\else\usepackage{fontspec}\fi
\begin{document}
Größe
\end{document}
)");
    MyDocument *document = fixture.open(fixture.folder.path("size.tex"));
    QMenu *engines = fixture.menu.engineMenu();
    emit engines->aboutToShow();
    for (QAction *item : engines->actions())
        if (item->isCheckable() && item->data().toString() == menuChoice)
            item->trigger();
    QCOMPARE(document->documentEngine(), menuChoice);
    emit engines->aboutToShow();
    const auto checked = std::find_if(engines->actions().cbegin(), engines->actions().cend(),
                                      [](QAction *item) { return item->isChecked(); });
    QVERIFY(checked != engines->actions().cend());
    QCOMPARE((*checked)->data().toString(), menuChoice);
    QCOMPARE(engines->actions().first()->isVisible(), !magic.isEmpty());

    QVERIFY(AppFixture::compile(document));
    const QByteArray log = TestFolder::read(fixture.folder.path("size.log"));
    QVERIFY2(log.startsWith(logStart.toUtf8()), log.left(80).constData());
    QCOMPARE(errorCount(document), 0);
    QCOMPARE(consoleText(document).contains("names no engine"), saysProblem);
    QCOMPARE(statusMessage(document).contains("names no engine"), saysProblem);
    const QString engine = QString::fromLatin1(logStart == "This is XeTeX"      ? "XeLaTeX"
                                               : logStart == "This is LuaHBTeX" ? "LuaLaTeX"
                                                                                : "pdfLaTeX");
    QVERIFY2(document->compileStateLabel()->text().contains(engine),
             qPrintable(document->compileStateLabel()->text()));
}

// A chapter opened alone compiles the root its magic comment names, shows that
// root's PDF and syncs with it, and its title says which root.
void TestBuildChoice::aChapterCompilesTheRootItNames()
{
    AppFixture fixture;
    fixture.folder.write("thesis/main.tex", R"(\documentclass{article}
\begin{document}
\input{chapters/one}
\end{document}
)");
    fixture.folder.write("thesis/chapters/one.tex", R"(% !TeX root = ../main.tex
\section{One}
First line of the chapter.

Second paragraph.
)");
    MyDocument *document = fixture.open(fixture.folder.path("thesis/chapters/one.tex"));
    QVERIFY2(document->window()->windowTitle().contains("(root: main.tex)"),
             qPrintable(document->window()->windowTitle()));
    QVERIFY(AppFixture::compile(document));
    QVERIFY(QFile::exists(fixture.folder.path("thesis/main.pdf")));
    QVERIFY(!QFile::exists(fixture.folder.path("thesis/chapters/one.pdf")));
    QTRY_COMPARE(document->pdfViewController()->currentDocumentPath(),
                 fixture.folder.path("thesis/main.pdf"));

    // Both ways through the root's SyncTeX data, which latexmk wrote.
    const std::shared_ptr<QSFile> root = document->compiledRoot();
    const std::shared_ptr<QSFile> chapter = document->fileOpened();
    QVERIFY(root != chapter);
    const auto position = SyncResolver::positionForLine(
        *root, *chapter, 5, document->pdfViewController()->pdfDocument());
    QVERIFY(position);
    QSTextView *text = document->textView();
    text->setTextCursor(QTextCursor(text->document()->findBlockByNumber(4)));
    document->pdfSyncFromTextViewToPdf();
    QCOMPARE(statusMessage(document), QString());
    text->setTextCursor(QTextCursor(text->document()));
    document->pdfSyncFromPdfViewToTextView(position->page, position->point);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), chapter);
    QCOMPARE(text->textCursor().blockNumber(), 4);
}

void TestBuildChoice::rootsThatCannotBeUsedAreSaid_data()
{
    QTest::addColumn<QByteArray>("chapter");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing") << QByteArray("% !TeX root = ../gone.tex\n") << "names no file";
    QTest::newRow("circle") << QByteArray("% !TeX root = other.tex\n") << "in a circle";
}

// A root that does not exist or a circle of roots is said in the console and the
// status bar, and the window's own file is compiled.
void TestBuildChoice::rootsThatCannotBeUsedAreSaid()
{
    QFETCH(QByteArray, chapter);
    QFETCH(QString, said);
    AppFixture fixture;
    const QByteArray body = "\\documentclass{article}\\begin{document}Text\\end{document}\n";
    fixture.folder.write("doc/chapter.tex", chapter + body);
    fixture.folder.write("doc/other.tex", "% !TeX root = chapter.tex\n" + body);
    MyDocument *document = fixture.open(fixture.folder.path("doc/chapter.tex"));
    QVERIFY(AppFixture::compile(document));
    QVERIFY(QFile::exists(fixture.folder.path("doc/chapter.pdf")));
    QVERIFY2(consoleText(document).contains(said), qPrintable(consoleText(document)));
    QVERIFY(statusMessage(document).contains(said));
    QVERIFY(!document->window()->windowTitle().contains("root:"));
}

// With no latexmk in the engine folder, F5 runs the engine once and says so.
void TestBuildChoice::withoutLatexmkTheEngineRunsOnce()
{
    AppFixture fixture;
    QDir().mkpath(fixture.folder.path("bin"));
    QVERIFY(QFile::link("/usr/bin/pdflatex", fixture.folder.path("bin/pdflatex")));
    UserDefaults::standardUserDefaults().setObject(fixture.folder.path("bin/"),
                                                   QSTexEngineDirectoryPath);
    fixture.folder.write("note.tex", "\\documentclass{article}\\begin{document}A "
                                     "\\undefinedone\\ B \\undefinedtwo\\end{document}\n");
    MyDocument *document = fixture.open(fixture.folder.path("note.tex"));
    QVERIFY(AppFixture::compile(document));
    QVERIFY(consoleText(document).contains("latexmk is not installed"));
    // The single run halts at the first error.
    QCOMPARE(errorCount(document), 1);
}

// With the single run and no sync data, Ctrl-click says why nothing happened.
void TestBuildChoice::ctrlClickWithoutSyncDataSaysWhy()
{
    AppFixture fixture;
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    fixture.folder.write("note.tex",
                         "\\documentclass{article}\\begin{document}Text\\end{document}\n");
    MyDocument *document = fixture.open(fixture.folder.path("note.tex"));
    document->pdfSyncFromTextViewToPdf();
    QVERIFY(statusMessage(document).contains("compile with F5"));
    QVERIFY(AppFixture::compile(document));
    QVERIFY(!QFile::exists(fixture.folder.path("note.synctex.gz")));
    document->pdfSyncFromTextViewToPdf();
    QVERIFY2(statusMessage(document).contains("\\synctex=1"), qPrintable(statusMessage(document)));
}

// The window shows the encoding a file's header names and says what it could not
// follow: a language without its dictionary, an encoding the bytes are not in.
void TestBuildChoice::theHeaderNamesEncodingAndLanguage()
{
    AppFixture fixture;
    fixture.folder.write("latin.tex", "% !TeX encoding = ISO-8859-1\n% !TeX spellcheck = xx_XX\n"
                                      "\\documentclass{article}\\begin{document}Gr\xf6\xdf"
                                      "e\n"
                                      "\\end{document}\n");
    MyDocument *latin = fixture.open(fixture.folder.path("latin.tex"));
    QCOMPARE(latin->encodingLabel()->text(), TextEncoding::label(TextEncoding::ISOLatin1));
    QVERIFY(latin->textView()->toPlainText().contains(QStringLiteral("Größe")));
    QVERIFY2(statusMessage(latin).contains("xx_XX"), qPrintable(statusMessage(latin)));

    fixture.folder.write("claims.tex", "% !TeX encoding = latin2\n\\documentclass{article}\n"
                                       "\\begin{document}Größe\\end{document}\n");
    MyDocument *claims = fixture.open(fixture.folder.path("claims.tex"));
    QCOMPARE(claims->encodingLabel()->text(), TextEncoding::label(TextEncoding::UTF8));
    QVERIFY2(statusMessage(claims).contains("encoding"), qPrintable(statusMessage(claims)));
}

QTEST_MAIN(TestBuildChoice)
#include "tst_buildchoice.moc"
