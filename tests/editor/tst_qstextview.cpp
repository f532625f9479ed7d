#include "TestSupport.h"
#include "editor/QSTextView.h"
#include "editor/references/ReferenceProblem.h"

#include <QTextBlock>
#include <QTextLayout>

namespace {

QSRange selection(const QSTextView &view)
{
    const QTextCursor cursor = view.textCursor();
    return QSRange{quint32(cursor.selectionStart()),
                   quint32(cursor.selectionEnd() - cursor.selectionStart())};
}

// Shows the text with the caret at "|", or with the part between "<<" and ">>" selected.
void showMarked(QSTextView &view, QString text)
{
    int start = int(text.indexOf(u'|')), end = start;
    if (start >= 0) {
        text.remove(start, 1);
    } else {
        start = int(text.indexOf("<<"));
        end = int(text.indexOf(">>")) - 2;
        text.remove("<<").remove(">>");
    }
    view.setPlainText(text);
    select(view, start, end);
}

} // namespace

class TestQSTextView : public QObject
{
    Q_OBJECT

private slots:
    void findSteps_data();
    void findSteps();
    void currentLineBar();
    void lineEdits_data();
    void lineEdits();
    void goToLineStaysInTheText();
    void typingPairs_data();
    void typingPairs();
    void matchingBrackets();
    void referenceMarksInSightFollowEdits();
};

void TestQSTextView::findSteps_data()
{
    tableRows("find/steps.tsv");
}

// The steps of tests/data/find/steps.tsv.
void TestQSTextView::findSteps()
{
    QFETCH(QStringList, fields);
    const QString text = fields[0], key = fields[2], steps = fields[3];
    const QStringList selected = fields[4].split(u' ');
    QSTextView view;
    view.setPlainText(text);
    select(view, fields[1].toInt());
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (steps.at(i) == u'n')
            view.selectAndHighlightNextRangeOfString(key);
        else
            view.selectAndHighlightPreviousRangeOfString(key);
        QCOMPARE(selection(view).location, selected.at(i).toUInt());
        if (text.contains(key, Qt::CaseInsensitive) && !key.isEmpty()) {
            QCOMPARE(selection(view).length, quint32(key.size()));
            QCOMPARE(view.findIndicatorRange(), selection(view));
        }
    }
    QCOMPARE(view.searchKey(), key.isEmpty() ? QString() : key);
}

void TestQSTextView::currentLineBar()
{
    QSTextView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.lineHighlightRect(), QRectF(0, -2, view.width(), 17));

    view.setPlainText("first line\nsecond line\n");
    const qreal lineHeight = view.document()->firstBlock().layout()->lineAt(0).height();
    select(view, 3);
    const qreal firstY = view.lineHighlightRect().y();
    select(view, 13);
    const qreal secondY = view.lineHighlightRect().y();
    QCOMPARE(secondY - firstY, lineHeight);
    QCOMPARE(view.lineHighlightRect().x(), 0.0);
    QVERIFY(view.lineHighlightRect().width() > 0);
    QCOMPARE(view.lineHighlightRect().height(),
             view.document()->firstBlock().layout()->lineAt(0).rect().height() + 5);

    // On the empty line after the final line feed: 14 below the line of that feed.
    select(view, 23);
    QCOMPARE(view.lineHighlightRect().y(), secondY + 14);
}

void TestQSTextView::lineEdits_data()
{
    goldenRows("editor/line-edits.txt");
}

// The cases of tests/data/editor/line-edits.txt.
void TestQSTextView::lineEdits()
{
    QFETCH(GoldenCase, golden);
    QSTextView view;
    showMarked(view, golden.part("text"));
    const bool tab = golden.part("do") == "tab";
    QTest::keyClick(&view, tab ? Qt::Key_Tab : Qt::Key_Backtab,
                    tab ? Qt::NoModifier : Qt::ShiftModifier);
    QCOMPARE(view.toPlainText(), golden.part("gives"));
}

void TestQSTextView::goToLineStaysInTheText()
{
    QSTextView view;
    view.setPlainText("one\ntwo\nthree");
    for (const auto &[asked, shown] : {std::pair{2, 2}, {99, 3}, {0, 1}}) {
        view.goToLine(asked);
        QCOMPARE(view.textCursor().blockNumber() + 1, shown);
        QCOMPARE(view.textCursor().positionInBlock(), 0);
    }
}

void TestQSTextView::typingPairs_data()
{
    goldenRows("editor/typing-pairs.txt");
}

// The cases of tests/data/editor/typing-pairs.txt, typed as key presses.
void TestQSTextView::typingPairs()
{
    QFETCH(GoldenCase, golden);
    QSTextView view;
    showMarked(view, golden.part("text"));
    const QStringList typed = golden.part("type").split("<BS>");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (i > 0)
            QTest::keyClick(&view, Qt::Key_Backspace);
        QTest::keyClicks(&view, typed[i]);
    }
    QString shown = view.toPlainText();
    shown.insert(view.textCursor().position(), u'|');
    QCOMPARE(shown, golden.part("gives"));
}

// The bracket at the caret and its partner light up; escaped ones pair with none.
void TestQSTextView::matchingBrackets()
{
    QSTextView view;
    view.setPlainText("\\frac{a}{b_{c}} \\{ (x]");
    QCOMPARE(view.matchingBracket(5), 7);
    QCOMPARE(view.matchingBracket(14), 8);
    QCOMPARE(view.matchingBracket(17), -1); // \{
    QCOMPARE(view.matchingBracket(19), -1); // ( closed by ]
    select(view, 15);
    QCOMPARE(view.highlightedBrackets(), (QList<int>{14, 8}));
    select(view, 2);
    QVERIFY(view.highlightedBrackets().isEmpty());
}

// A document may have thousands of marks: only those in sight are selections, and
// the rest follow the edits as offsets.
void TestQSTextView::referenceMarksInSightFollowEdits()
{
    QSTextView view;
    view.resize(400, 300);
    view.show();
    QString text;
    for (int line = 0; line < 2000; ++line)
        text += QStringLiteral("See \\ref{x%1}.\n").arg(line);
    view.setPlainText(text);
    QList<ReferenceProblem> problems;
    for (int line : {2, 1990}) {
        ReferenceProblem problem;
        problem.key = QStringLiteral("x%1").arg(line);
        problem.offset = qint32(text.indexOf(u'{' + problem.key + u'}')) + 1;
        problem.length = qint32(problem.key.size());
        problem.message = QStringLiteral("No label");
        problems << problem;
    }
    view.setReferenceProblems(problems);
    const auto underlined = [&view] {
        QStringList keys;
        for (const QTextEdit::ExtraSelection &selection : view.extraSelections()) {
            if (selection.format.underlineStyle() == QTextCharFormat::DotLine)
                keys << selection.cursor.selectedText();
        }
        return keys;
    };
    QCOMPARE(underlined(), QStringList{"x2"});
    view.moveCursor(QTextCursor::End);
    QCOMPARE(underlined(), QStringList{"x1990"});

    // Typing before both moves them; a key typed over keeps its mark until the
    // next check, a key deleted loses it.
    QTextCursor start(view.document());
    start.insertText(QStringLiteral("ab"));
    const QList<QSRange> marks = view.referenceMarks();
    QCOMPARE(marks.size(), 2);
    QCOMPARE(view.document()->toPlainText().mid(int(marks[1].location), int(marks[1].length)),
             "x1990");
    QTextCursor key(view.document());
    key.setPosition(int(marks[0].location));
    key.setPosition(int(marks[0].location + marks[0].length), QTextCursor::KeepAnchor);
    key.insertText(QStringLiteral("y"));
    QCOMPARE(view.referenceMarks().value(0).length, 1u);
    QCOMPARE(view.referenceMessageAt(int(view.referenceMarks()[0].location)), "No label");
    key.deletePreviousChar();
    QCOMPARE(view.referenceMarks().size(), 1);
}

QUILLSET_TEST_MAIN(TestQSTextView)
#include "tst_qstextview.moc"
