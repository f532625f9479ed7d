// References checked as the document is typed, in real windows on documents of
// several files written to a temporary folder: what is marked and what must not be,
// the marks in the text view and their tooltips, and the "References" group of the
// console's error tree, with and without a compile.
#include "AppFixture.h"
#include "compile/ErrorOutlineDataSource.h"
#include "editor/completion/BibliographyIndex.h"
#include "editor/references/ReferenceChecker.h"
#include "model/ErrorWarningNode.h"
#include "model/TextStorageDelegate.h"

#include <QAbstractItemModelTester>
#include <QHelpEvent>
#include <QToolTip>
#include <QTreeView>

using Files = QList<std::pair<QString, QByteArray>>;
Q_DECLARE_METATYPE(Files)

class TestReferences : public QObject
{
    Q_OBJECT

private slots:
    void problemsOfDocuments_data();
    void problemsOfDocuments();
    void marksFollowTheTyping();
    void groupOutlivesCompiles();
    void manyProblemsAreCounted();
};

namespace {

ReferenceChecker *checkerOf(MyDocument *document)
{
    auto *checker = document->findChild<ReferenceChecker *>();
    if (!checker)
        qFatal("the window checks no references");
    return checker;
}

// Lets the edit worker, the databases' reading and the check run, and the window
// take their results; the databases are read again when the symbols change, so
// twice over.
void settle(MyDocument *document)
{
    ReferenceChecker *checker = checkerOf(document);
    for (int round = 0; round < 2; ++round) {
        AppFixture::settle();
        checker->bibliography()->waitForReading();
        QCoreApplication::processEvents();
        checker->waitUntilIdle();
        QCoreApplication::processEvents();
    }
}

// Each problem as "file:line: message".
QStringList problems(MyDocument *document)
{
    QStringList lines;
    for (const ReferenceProblem &problem : checkerOf(document)->problems())
        lines << QStringLiteral("%1:%2: %3")
                     .arg(problem.file.lock()->name())
                     .arg(problem.line)
                     .arg(problem.message);
    return lines;
}

// The text under each mark of the text view.
QStringList markedTexts(QSTextView *view)
{
    QStringList texts;
    for (const QSRange &mark : view->referenceMarks())
        texts << view->toPlainText().mid(mark.location, mark.length);
    return texts;
}

// The tooltip the view shows over the middle of a text.
QString tooltipOver(QSTextView *view, const QString &text)
{
    QTextCursor cursor = view->document()->find(text);
    cursor.setPosition(cursor.selectionStart() + int(text.size()) / 2);
    const QPoint at = view->cursorRect(cursor).center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &help);
    return QToolTip::text();
}

// The rows under "References" in the error tree.
QStringList referenceRows(ErrorOutlineDataSource *errors)
{
    QStringList rows;
    const QModelIndex group = errors->referencesIndex();
    for (int row = 0; row < errors->rowCount(group); ++row)
        rows << errors->index(row, 0, group).data().toString();
    return rows;
}

const QByteArray bib = "@book{knuth84, title={The TeXbook}, author={Knuth, D.}, year=1984}\n"
                       "@article{Lamport94, title={LaTeX}, author={Lamport, L.}, year=1994}\n";

} // namespace

void TestReferences::problemsOfDocuments_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("expected");

    const QByteArray start = "\\documentclass{book}\n\\begin{document}\n";
    QTest::newRow("references and lists")
        << Files{{"main.tex", start
                                  + "\\chapter{A}\\label{ch:a}\nSee \\ref{ch:a} and \\ref{fig:x}.\n"
                                    "\\cref{ch:a, sec:b}\\crefrange{ch:a}{sec:c}\n\\input{part}\n"
                                    "\\end{document}\n"},
                 {"part.tex",
                  "\\section{B}\\label{sec:in-part}\n\\autoref{sec:in-part}\\ref{ch:a}\n"
                  "\\pageref{nowhere}\n"}}
        << QStringList{"main.tex:4: No \\label{fig:x} in this document",
                       "main.tex:5: No \\label{sec:b} in this document",
                       "main.tex:5: No \\label{sec:c} in this document",
                       "part.tex:3: No \\label{nowhere} in this document"};
    QTest::newRow("natbib and biblatex keys")
        << Files{{"main.tex",
                  start
                      + "\\citep[p.~4]{knuth84, lamport94}\\citet*{Knuth84}\n"
                        "\\parencite[see][12]{knuth84,nokey}\\textcites{knuth84}[2]{other}\n"
                        "\\nocite{*}\n\\bibliography{refs}\n\\end{document}\n"},
                 {"refs.bib", bib}}
        << QStringList{"main.tex:4: No entry \"nokey\" in refs.bib",
                       "main.tex:4: No entry \"other\" in refs.bib"};
    QTest::newRow("two databases")
        << Files{{"main.tex",
                  start + "\\cite{knuth84,abc}\n\\bibliography{refs,more}\n\\end{document}\n"},
                 {"refs.bib", bib},
                 {"more.bib", "@misc{xyz, title={X}}\n"}}
        << QStringList{"main.tex:3: No entry \"abc\" in refs.bib or more.bib"};
    QTest::newRow("a database missing") << Files{
        {"main.tex", start + "\\cite{knuth84,abc}\n\\bibliography{refs,gone}\n\\end{document}\n"},
        {"refs.bib", bib}} << QStringList{};
    QTest::newRow("bibitems")
        << Files{{"main.tex", start
                                  + "\\cite{a1}\\cite{b2}\n\\begin{thebibliography}{9}\n"
                                    "\\bibitem{a1} A.\n\\end{thebibliography}\n\\end{document}\n"}}
        << QStringList{"main.tex:3: No \\bibitem{b2} in this document"};
    QTest::newRow("no bibliography")
        << Files{{"main.tex", start + "\\cite{a1}\n\\end{document}\n"}} << QStringList{};
    QTest::newRow("printed from databases not named")
        << Files{{"main.tex", start
                                  + "\\cite{a1}\\cite{b2}\n\\printbibliography\n"
                                    "\\begin{thebibliography}{9}\n\\bibitem{a1} A.\n"
                                    "\\end{thebibliography}\n\\end{document}\n"}}
        << QStringList{};
    QTest::newRow("duplicate labels")
        << Files{{"main.tex", start + "\\label{sec:a}\n\\input{part}\n\\end{document}\n"},
                 {"part.tex", "text\n\\label{sec:a}\n\\label{sec:b}\n"}}
        << QStringList{"main.tex:3: \\label{sec:a} is also defined in part.tex, line 2",
                       "part.tex:2: \\label{sec:a} is also defined in main.tex, line 3"};
    QTest::newRow("labels made by macros")
        << Files{{"main.tex", "\\documentclass{book}\n"
                              "\\newcommand\\chap[1]{\\chapter{#1}\\label{ch:#1}}\n"
                              "\\newcommand\\see[1]{\\ref{#1}\\cite{#1}}\n\\begin{document}\n"
                              "\\chap{Intro}\\ref{ch:Intro}\\ref{ch:Other}\\ref{sec:\\x}\n"
                              "\\ref{nope}\n\\end{document}\n"}}
        << QStringList{"main.tex:6: No \\label{nope} in this document"};
    QTest::newRow("xr prefix")
        << Files{{"main.tex",
                  "\\documentclass{book}\n\\usepackage{xr}\n\\externaldocument[A-]{other}\n"
                  "\\begin{document}\n\\ref{A-fig}\\ref{fig}\n\\end{document}\n"}}
        << QStringList{"main.tex:5: No \\label{fig} in this document"};
    QTest::newRow("xr without prefix")
        << Files{{"main.tex", "\\documentclass{book}\n\\usepackage{xr}\n\\externaldocument{other}\n"
                              "\\begin{document}\n\\ref{A-fig}\\ref{fig}\n\\end{document}\n"}}
        << QStringList{};
    QTest::newRow("options, comments and passed-over text") << Files{
        {"main.tex", start
                         + "\\begin{lstlisting}[caption=Code, label=lst:a]\n\\ref{in:code}\n"
                           "\\end{lstlisting}\n\\ref{lst:a} % \\ref{in:comment}\n"
                           "\\iffalse\n\\label{sec:a}\\ref{old}\n\\fi\n\\label{sec:a}\n"
                           "\\end{document}\n"}} << QStringList{};
    QTest::newRow("captions, expl3 and keys over lines")
        << Files{{"main.tex", start
                                  + "\\caption{Data\\label{t:data}}\\ref{t:data}\n\\ExplSyntaxOn\n"
                                    "\\label { count: all }\n\\ExplSyntaxOff\n\\ref*{count:all}\n"
                                    "\\label{sec:two words}\\ref{sec:two\nwords}\\ref{t:date}\n"
                                    "\\end{document}\n"}}
        << QStringList{"main.tex:9: No \\label{t:date} in this document"};
    QTest::newRow("code typeset as written")
        << Files{{"main.tex", "\\documentclass{article}\n\\newcommand*{\\code}[1]{%\n"
                              "  \\detokenize\\expandafter{\\string#1}}\n\\begin{document}\n"
                              "\\code{\\cite{a1}} \\code{\\ref{b1}} \\cite{a2}\n"
                              "\\bibliography{refs}\n\\end{document}\n"},
                 {"refs.bib", bib}}
        << QStringList{"main.tex:5: No entry \"a2\" in refs.bib"};
    QTest::newRow("TeX shown in verbatim text")
        << Files{{"main.tex", start
                                  + "\\begin{verbatim}\n\\include{intro}\n\\end{verbatim}\n"
                                    "\\ref{nope}\n\\end{document}\n"}}
        << QStringList{"main.tex:6: No \\label{nope} in this document"};
    QTest::newRow("a chapter showing a class")
        << Files{{"chapter.tex", "\\chapter{A}\n\\begin{lstlisting}\n\\documentclass{article}\n"
                                 "\\end{lstlisting}\n\\ref{elsewhere}\n"}}
        << QStringList{};
    QTest::newRow("a chapter naming its root")
        << Files{{"a.tex", "% !TeX root = main.tex\n\\ref{lab:b}\\ref{nope}\n"},
                 {"main.tex", start + "\\input{a}\n\\input{b}\n\\end{document}\n"},
                 {"b.tex", "\\section{B}\\label{lab:b}\n"}}
        << QStringList{"a.tex:2: No \\label{nope} in this document"};
    QTest::newRow("a chapter alone")
        << Files{{"chapter.tex", "\\chapter{A}\\label{ch:a}\\label{ch:a}\n\\ref{elsewhere}\n"}}
        << QStringList{"chapter.tex:1: \\label{ch:a} is also defined in chapter.tex, line 1",
                       "chapter.tex:1: \\label{ch:a} is also defined in chapter.tex, line 1"};
    QTest::newRow("an include not found")
        << Files{{"main.tex", start + "\\input{notyet}\n\\ref{there}\n\\end{document}\n"}}
        << QStringList{};
    QTest::newRow("a subfile") << Files{{"main.tex",
                                         start + "\\subfile{ch}\n\\ref{there}\n\\end{document}\n"}}
                               << QStringList{};
    QTest::newRow("drawings and the TeX tree's files")
        << Files{{"main.tex", "\\documentclass{book}\n\\input glyphtounicode\n\\begin{document}\n"
                              "\\input{drawing.pdf_tex}\n\\ref{there}\n\\end{document}\n"},
                 {"drawing.pdf_tex", "\\begin{picture}(1,1)\\end{picture}\n"}}
        << QStringList{"main.tex:5: No \\label{there} in this document"};
}

void TestReferences::problemsOfDocuments()
{
    QFETCH(Files, files);
    QFETCH(QStringList, expected);
    AppFixture fixture;
    for (const auto &[name, text] : files)
        fixture.folder.write(name, text);
    MyDocument *document = fixture.open(fixture.folder.path(files.first().first));
    QVERIFY(document);
    settle(document);
    QCOMPARE(problems(document), expected);
}

// Typed key by key through the text view and the edit worker: each mark appears and
// goes as the text is typed and mended, and the error tree lists them meanwhile.
void TestReferences::marksFollowTheTyping()
{
    AppFixture fixture;
    fixture.folder.write({{"main.tex", "\\documentclass{book}\n\\begin{document}\n"
                                       "\\chapter{A}\\label{ch:a}\nText.\n\\input{part}\n"
                                       "\\bibliography{refs}\n\\end{document}\n"},
                          {"part.tex", "\\section{B}\nMore text.\n"},
                          {"refs.bib", bib}});
    MyDocument *document = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(document);
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QAbstractItemModelTester tester(errors, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSTextView *view = document->textView();
    settle(document);
    QCOMPARE(problems(document), QStringList());
    QVERIFY(!errors->referencesIndex().isValid());

    AppFixture::typeBefore(view, "Text.", "See \\ref{fig:x} and \\cite{knuth84,nokey}. ");
    settle(document);
    QCOMPARE(markedTexts(view), (QStringList{"fig:x", "nokey"}));
    QCOMPARE(tooltipOver(view, "fig:x"), "No \\label{fig:x} in this document");
    QCOMPARE(tooltipOver(view, "nokey"), "No entry \"nokey\" in refs.bib");
    QCOMPARE(referenceRows(errors),
             (QStringList{"main.tex, line 4: No \\label{fig:x} in this document",
                          "main.tex, line 4: No entry \"nokey\" in refs.bib"}));
    // The check reads the edit worker's trees, which may be a keystroke behind the
    // view: a problem whose key does not stand where it says gets no mark.
    ReferenceChecker *checker = checkerOf(document);
    QList<ReferenceProblem> behind = checker->problemsIn(document->fileOpened().get());
    for (ReferenceProblem &problem : behind)
        ++problem.offset;
    view->setReferenceProblems(behind);
    QCOMPARE(markedTexts(view), QStringList());
    view->setReferenceProblems(checker->problemsIn(document->fileOpened().get()));
    QCOMPARE(markedTexts(view), (QStringList{"fig:x", "nokey"}));
    // The group lists them without a compile, in view in the console.
    QTreeView *tree = document->consoleViewController()->errorWarningOutline();
    QVERIFY(!tree->isHidden() && tree->isExpanded(errors->referencesIndex()));

    // The label typed in the other file, as it is shown, mends the reference.
    const std::shared_ptr<QSFile> part = AppFixture::fileNamed(document, "part.tex");
    document->selectRange({0, 0}, part);
    AppFixture::typeBefore(view, "More text.", "\\label{fig:x}");
    settle(document);
    QCOMPARE(referenceRows(errors),
             QStringList{"main.tex, line 4: No entry \"nokey\" in refs.bib"});
    QCOMPARE(markedTexts(view), QStringList());

    // A second \label{ch:a}: both are marked, each naming the other.
    AppFixture::typeBefore(view, "More text.", "\\label{ch:a}");
    settle(document);
    QCOMPARE(markedTexts(view), QStringList{"ch:a"});
    QCOMPARE(tooltipOver(view, "ch:a"), "\\label{ch:a} is also defined in main.tex, line 3");

    // Choosing a row shows its place.
    QModelIndex duplicate;
    for (int row = 0; row < errors->rowCount(errors->referencesIndex()); ++row) {
        const QModelIndex index = errors->index(row, 0, errors->referencesIndex());
        if (index.data().toString().startsWith("main.tex, line 3"))
            duplicate = index;
    }
    QVERIFY(duplicate.isValid());
    tree->selectionModel()->select(duplicate, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(), "main.tex");
    QCOMPARE(view->textCursor().blockNumber(), 2);
    QCOMPARE(markedTexts(view), (QStringList{"ch:a", "nokey"}));

    // The entry written into the database on disk: the database is read again and
    // the key's mark goes.
    fixture.folder.write("refs.bib", bib + "@misc{nokey, title={N}}\n");
    QTRY_COMPARE(markedTexts(view), QStringList{"ch:a"});

    // The label defined twice renamed as it is typed: with the last mark, the group goes.
    document->selectRange({0, 0}, part);
    view->setTextCursor(view->document()->find("ch:a"));
    AppFixture::type(view, "ch:b");
    settle(document);
    QCOMPARE(problems(document), QStringList());
    QCOMPARE(markedTexts(view), QStringList());
    QVERIFY(!errors->referencesIndex().isValid());

    // A file that leaves the document takes its labels with it.
    document->selectRange({0, 0}, document->fileOpened());
    AppFixture::typeBefore(view, "\\input{part}", "%");
    settle(document);
    QCOMPARE(markedTexts(view), QStringList{"fig:x"});
}

// A compile's rows and the group keep each other: the group survives the compile,
// and the compile's errors survive changes of the group.
void TestReferences::groupOutlivesCompiles()
{
    AppFixture fixture;
    fixture.folder.write("main.tex", "\\documentclass{article}\n\\begin{document}\n"
                                     "See \\ref{sec:x}.\n\\undefinedcommand\n\\end{document}\n");
    MyDocument *document = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(document);
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    settle(document);
    QCOMPARE(referenceRows(errors),
             QStringList{"main.tex, line 3: No \\label{sec:x} in this document"});

    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errors->compileRowCount(), 1);
    QCOMPARE(referenceRows(errors),
             QStringList{"main.tex, line 3: No \\label{sec:x} in this document"});

    AppFixture::typeBefore(document->textView(), "\\end{document}", "\\label{sec:x}\n");
    settle(document);
    QVERIFY(!errors->referencesIndex().isValid());
    QCOMPARE(errors->compileRowCount(), 1);
    QVERIFY(errors->diagnosticForIndex(errors->index(0, 0, errors->index(0, 0))));
}

// More problems than the tree lists: the first ones, and a row that counts the rest;
// as they are mended in one edit, the rows past the shorter list go.
void TestReferences::manyProblemsAreCounted()
{
    const int count = ErrorOutlineDataSource::rowLimit + 5;
    QByteArray references;
    for (int i = 0; i < count; ++i)
        references += "\\ref{m" + QByteArray::number(i) + "}\n";
    AppFixture fixture;
    fixture.folder.write("main.tex", "\\documentclass{article}\n\\begin{document}\n" + references
                                         + "\\end{document}\n");
    MyDocument *document = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(document);
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QAbstractItemModelTester tester(errors, QAbstractItemModelTester::FailureReportingMode::QtTest);
    settle(document);
    QStringList rows = referenceRows(errors);
    QCOMPARE(rows.size(), ErrorOutlineDataSource::rowLimit + 1);
    QCOMPARE(rows.first(), "main.tex, line 3: No \\label{m0} in this document");
    QCOMPARE(rows.last(), "… and 5 more");
    const QModelIndex more = errors->index(rows.size() - 1, 0, errors->referencesIndex());
    QVERIFY(!(errors->flags(more) & Qt::ItemIsSelectable));
    QVERIFY(!errors->diagnosticForIndex(more));

    QString labels;
    for (int i = 0; i < 60; ++i)
        labels += QStringLiteral("\\label{m%1}").arg(i);
    QTextCursor end = document->textView()->document()->find("\\end{document}");
    end.setPosition(end.selectionStart());
    end.insertText(labels + u'\n');
    settle(document);
    rows = referenceRows(errors);
    QCOMPARE(rows.size(), count - 60);
    QCOMPARE(rows.first(), "main.tex, line 63: No \\label{m60} in this document");
    QCOMPARE(document->textView()->referenceMarks().size(), count - 60);
}

QTEST_MAIN(TestReferences)
#include "tst_references.moc"
