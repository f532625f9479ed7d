// Folding in a real text view: where each fold ends, closing and opening from the
// gutter, folds kept through edits above them, and a caret landing inside.
#include "TestSupport.h"
#include "editor/LineNumberGutter.h"
#include "editor/QSTextView.h"
#include "editor/TextFolding.h"

#include <QTest>
#include <QTextBlock>

class TestFolding : public QObject
{
    Q_OBJECT

private slots:
    void foldsEndWhereTheTextSays_data();
    void foldsEndWhereTheTextSays();
    void foldsCloseOpenAndFollowEdits();
};

namespace {

const QString text = QStringLiteral("\\documentclass{book}\n"                    // 0
                                    "\\begin{document}\n"                        // 1
                                    "\\chapter{One}\n"                           // 2
                                    "\\section{A}\n"                             // 3
                                    "Text of A.\n"                               // 4
                                    "\\begin{itemize}\n"                         // 5
                                    "  \\item x % \\end{itemize} in a comment\n" // 6
                                    "  \\begin{itemize}\\item y\\end{itemize}\n" // 7
                                    "  \\item z\n"                               // 8
                                    "\\end{itemize}\n"                           // 9
                                    "\\subsection{A.1}\n"                        // 10
                                    "\\begin{quote}\n"                           // 11
                                    "Short.\n"                                   // 12
                                    "\\end{quote}\n"                             // 13
                                    "\\section*{B}\n"                            // 14
                                    "Text of B.\n"                               // 15
                                    "\\chapter{Two}\n"                           // 16
                                    "Last words.\n"                              // 17
                                    "\\end{document}\n");                        // 18

} // namespace

void TestFolding::foldsEndWhereTheTextSays_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("end");
    QTest::newRow("chapter to the next chapter") << 2 << 15;
    QTest::newRow("section to the next section, starred") << 3 << 13;
    QTest::newRow("subsection to the next section") << 10 << 13;
    QTest::newRow("last chapter to \\end{document}") << 16 << 17;
    QTest::newRow("environment past a nested one and a comment") << 5 << 9;
    QTest::newRow("short environment") << 11 << -1;
    QTest::newRow("plain line") << 4 << -1;
}

void TestFolding::foldsEndWhereTheTextSays()
{
    QFETCH(int, line);
    QFETCH(int, end);
    QSTextView view;
    view.setPlainText(text);
    QCOMPARE(TextFolding::foldEnd(view.document(), line), end);
    QCOMPARE(TextFolding::startsFold(view.document()->findBlockByNumber(line)), end >= 0);
}

void TestFolding::foldsCloseOpenAndFollowEdits()
{
    QSTextView view;
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setPlainText(text);
    const auto visible = [&view](int line) {
        return view.document()->findBlockByNumber(line).isVisible();
    };

    // A click on the marker of the section's first line closes it.
    const QRect firstLine = view.cursorRect(QTextCursor(view.document()->findBlockByNumber(3)));
    view.gutterClicked(QPoint(view.gutter()->width() - 2, firstLine.center().y()));
    QVERIFY(view.folding()->isFolded(3));
    QVERIFY(visible(3) && !visible(4) && !visible(13) && visible(14));
    // The click left of the markers does nothing.
    view.gutterClicked(QPoint(2, firstLine.center().y()));
    QVERIFY(view.folding()->isFolded(3));

    // An inner fold closed inside stays closed when the outer one opens.
    view.folding()->toggle(3);
    view.folding()->toggle(5);
    view.folding()->toggle(3);
    QCOMPARE(view.folding()->foldedLines(), QList<int>({3, 5}));
    view.folding()->toggle(3);
    QVERIFY(visible(4) && visible(5) && !visible(6) && !visible(9) && visible(10));

    // Lines typed above move the folds with them.
    QTextCursor top(view.document());
    top.insertText("% a new first line\n% and a second\n");
    QCOMPARE(view.folding()->foldedLines(), QList<int>({7}));
    QVERIFY(!visible(8) && visible(12));

    // A caret that lands inside opens what hides it.
    view.folding()->toggle(5);
    QCOMPARE(view.folding()->foldedLines(), QList<int>({5, 7}));
    QTextCursor inside(view.document()->findBlockByNumber(9));
    view.setTextCursor(inside);
    QVERIFY(visible(9));
    QVERIFY(view.folding()->foldedLines().isEmpty());

    // Shown anew, the lines that still start folds are closed again.
    view.setPlainText(text);
    view.folding()->setFoldedLines({2, 4, 11});
    QCOMPARE(view.folding()->foldedLines(), QList<int>{2});
    QVERIFY(!visible(15) && visible(16));
}

QUILLSET_TEST_MAIN(TestFolding)
#include "tst_folding.moc"
