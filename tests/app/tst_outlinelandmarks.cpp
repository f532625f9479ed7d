// The outline's rows for labels, figures, tables and bibliographies: what each
// shows, that they follow the typing, and that choosing one goes to its place.
#include "AppFixture.h"
#include "app/OutlineLandmarkRows.h"
#include "app/OutlineViewDataSource.h"
#include "platform/UserDefaults.h"

#include <QAbstractItemModelTester>
#include <QTreeView>

namespace {

QStringList shownRows(const QString &text, int shown)
{
    QStringList rows;
    for (const OutlineLandmarkRows::Row &row :
         OutlineLandmarkRows::rows(LandmarkScanner::scan(text), shown))
        rows << OutlineLandmarkRows::displayText(row);
    return rows;
}

const char *const document = R"(\documentclass{article}
\newcommand\chap[1]{\label{ch:#1}}
\begin{document}
\section{One}\label{sec:one}
Text.
\begin{figure}
  \begin{subfigure}{.4\linewidth}\caption{Left}\label{fig:left}\end{subfigure}
  \caption{Pools at low tide}\label{fig:pools}
\end{figure}
\section{Two}
\begin{table}\caption{Depths}\label{tab:depths}\end{table}
See \ref{sec:one}.
\bibliography{refs}
\end{document}
)";

} // namespace

class TestOutlineLandmarks : public QObject
{
    Q_OBJECT

private slots:
    void rowsOfText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QStringList>("expected");
        const int all = OutlineLandmarkRows::All;
        QTest::newRow("subfigures stand in until the float's own")
            << "\\begin{figure}\\begin{subfigure}\\caption{A}\\label{a}\\end{subfigure}"
               "\\end{figure}"
            << all << QStringList{"Fig. A (a)"};
        QTest::newRow("no caption")
            << "\\begin{table*}\\label{t}\\end{table*}" << all << QStringList{"Tab. (t)"};
        QTest::newRow("unclosed float still a row")
            << "\\begin{figure}\\caption{Open}" << all << QStringList{"Fig. Open"};
        QTest::newRow("labels off") << "\\label{x}\\begin{figure}\\label{f}\\end{figure}"
                                    << int(OutlineLandmarkRows::Floats) << QStringList{"Fig. (f)"};
        QTest::newRow("floats off keep their labels out")
            << "\\label{x}\\begin{figure}\\label{f}\\end{figure}\\printbibliography"
            << int(OutlineLandmarkRows::Labels | OutlineLandmarkRows::Bibliography)
            << QStringList{"x", "Bibliography"};
        QTest::newRow("a macro's label is no row")
            << "\\def\\l#1{\\label{s:#1}}" << all << QStringList{};
    }

    void rowsOfText()
    {
        QFETCH(QString, text);
        QFETCH(int, shown);
        QFETCH(QStringList, expected);
        QCOMPARE(shownRows(text, shown), expected);
    }

    void rowsFollowTypingAndGoToTheirPlace()
    {
        AppFixture fixture;
        // Long enough that the second section is out of sight at first.
        QByteArray source = document;
        source.replace("\\section{Two}", QByteArray("Text.\n").repeated(150) + "\\section{Two}");
        fixture.folder.write({{"main.tex", source}});
        MyDocument *window = fixture.open(fixture.folder.path("main.tex"));
        QTreeView *view = window->outlineView();
        QAbstractItemModel *model = view->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        AppFixture::settle();
        QCOMPARE(AppFixture::outline(model, u'|'),
                 "main.tex(One(sec:one|Fig. Pools at low tide (fig:pools))|"
                 "Two(Tab. Depths (tab:depths)|Bibliography))");

        // A label typed in appears in its place; a caption edited changes its row.
        QSTextView *text = window->textView();
        AppFixture::typeBefore(text, "See \\ref", "\\label{sec:two}\n");
        AppFixture::typeBefore(text, "Depths}", "Deep ");
        QCOMPARE(AppFixture::outline(model, u'|'),
                 "main.tex(One(sec:one|Fig. Pools at low tide (fig:pools))|"
                 "Two(Tab. Deep Depths (tab:depths)|sec:two|Bibliography))");

        // Typing before a row's landmark moves where its row goes.
        AppFixture::typeBefore(text, "\\section{Two}", "More text.\n");
        for (const QString &row : {QString("sec:two"), QString("Tab. Deep Depths (tab:depths)")}) {
            const QModelIndexList found =
                model->match(model->index(0, 0), Qt::DisplayRole, row, 1, Qt::MatchRecursive);
            QCOMPARE(found.size(), 1);
            text->moveCursor(QTextCursor::Start);
            view->setCurrentIndex(found.first()); // as a click does
            const QString landmark = row == "sec:two" ? "sec:two" : "\\begin{table}";
            QCOMPARE(text->textCursor().position(), text->toPlainText().indexOf(landmark));
            // A place out of sight comes to the middle of the view.
            const int middle = text->cursorRect().center().y();
            QVERIFY(middle > text->viewport()->height() / 4
                    && middle < text->viewport()->height() * 3 / 4);
        }

        // Typing that turns the chosen row's float into text takes the row away,
        // and the caret stays where the typing is.
        const int caret = text->textCursor().position();
        QVERIFY(text->toPlainText().mid(caret).startsWith("\\begin{table}"));
        AppFixture::type(text, "\\");
        AppFixture::settle();
        QCOMPARE(text->textCursor().position(), caret + 1);
        QVERIFY(AppFixture::outline(model, u'|').contains("Two(tab:depths|sec:two|Bibliography)"));
        QTest::keyClick(text, Qt::Key_Backspace);
        AppFixture::settle();

        // The View menu's items take rows away and bring them back, in every window.
        QAction *labels = MainMenuController::sharedMainMenuController()->outlineLabelsItem();
        QAction *floats = MainMenuController::sharedMainMenuController()->outlineFloatsItem();
        labels->trigger();
        floats->trigger();
        QCOMPARE(AppFixture::outline(model, u'|'), "main.tex(One|Two(Bibliography))");
        labels->trigger();
        floats->trigger();
        QVERIFY(AppFixture::outline(model, u'|').startsWith("main.tex(One(sec:one|Fig. Pools"));
        QVERIFY(UserDefaults::standardUserDefaults().boolForKey(QSOutlineShowsLabels));
    }
};

QTEST_MAIN(TestOutlineLandmarks)
#include "tst_outlinelandmarks.moc"
