#include "TestSupport.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/QSTextView.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

using Kind = QSSyntaxHighlighter::TokenKind;

namespace {

// The colour of every character of a block as the letter of its kind, as in
// tests/data/colouring/lines.txt: blue "s", grey "c", purple "b", none ".".
QString colours(const QTextBlock &block)
{
    QString letters(block.length() - 1, u'.');
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        const QColor colour = range.format.foreground().color();
        const QChar letter = colour == QColor::fromRgbF(0, 0, 1)       ? u's'
                             : colour == QColor::fromRgbF(0.5, 0, 0.5) ? u'b'
                                                                       : u'c';
        for (int i = range.start; i < range.start + range.length && i < letters.size(); ++i)
            letters[i] = letter;
    }
    return letters;
}

} // namespace

class TestQSSyntaxHighlighter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QTest::failOnWarning(QRegularExpression(".*")); }
    void colourRunsOfALine_data();
    void colourRunsOfALine();
    void coloursTheLinesOfARange();
    void fallsBackToAFixedPitchFont();
};

void TestQSSyntaxHighlighter::colourRunsOfALine_data()
{
    goldenRows("colouring/lines.txt");
}

void TestQSSyntaxHighlighter::colourRunsOfALine()
{
    QFETCH(GoldenCase, golden);
    const QString line = golden.part("line");
    QString letters(line.size(), u'.');
    for (const QSSyntaxHighlighter::ColouredRun &run :
         QSSyntaxHighlighter::colouredRunsOfLine(line)) {
        const QChar letter = run.kind == Kind::ControlSequence ? u's'
                             : run.kind == Kind::Comment       ? u'c'
                                                               : u'b';
        letters.replace(run.start, run.length, QString(run.length, letter));
    }
    QCOMPARE(letters, golden.part("colours"));
}

void TestQSSyntaxHighlighter::coloursTheLinesOfARange()
{
    TestFolder folder;
    QSSyntaxHighlighter highlighter;
    QPlainTextEdit view;
    view.setPlainText("\\section{Intro}\n% note {x}\n\\a {b} \\c\nlast (one)");
    QSSyntaxHighlighter::sharedSyntaxHightlighter()->highlightTextView(&view, QSRange{30, 1});
    QTextDocument *document = view.document();
    // Only the line that holds the range, but all of that line's tokens.
    QCOMPARE(colours(document->findBlockByNumber(2)), "ss.b.b.ss");
    QCOMPARE(colours(document->findBlockByNumber(0)), "...............");

    highlighter.highlightTextView(&view, QSRange{0, quint32(document->characterCount() - 1)});
    QCOMPARE(colours(document->findBlockByNumber(0)), "ssssssssb.....b");
    QCOMPARE(colours(document->findBlockByNumber(1)), "cccccccccc");
    QCOMPARE(colours(document->findBlockByNumber(3)), ".....b...b");

    // An edit that ends the comment early: the line is coloured anew.
    QTextCursor cursor(document->findBlockByNumber(1));
    cursor.deleteChar();
    highlighter.highlightTextView(&view, QSRange{16, 0});
    QCOMPARE(colours(document->findBlockByNumber(1)), "......b.b");

    // An empty text takes any colouring; a range past the text is refused.
    QPlainTextEdit empty;
    highlighter.highlightTextView(&empty, QSRange{0, 0});
    view.setPlainText("\\x");
    QTest::ignoreMessage(QtInfoMsg, "highlightTextView: range out of bound");
    highlighter.highlightTextView(&view, QSRange{0, 3});
    QCOMPARE(colours(document->firstBlock()), "..");

    // The editor's view colours the lines it shows when it first shows them, and
    // leaves the others alone until they are scrolled into view.
    QSTextView shown;
    shown.resize(400, 300);
    shown.setPlainText(QStringLiteral("\\line {x}\n").repeated(5000));
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QTRY_COMPARE(colours(shown.document()->firstBlock()), QStringLiteral("sssss.b.b"));
    QCOMPARE(colours(shown.document()->lastBlock().previous()), ".........");
    shown.moveCursor(QTextCursor::End);
    QTRY_COMPARE(colours(shown.document()->lastBlock().previous()), QStringLiteral("sssss.b.b"));
}

void TestQSSyntaxHighlighter::fallsBackToAFixedPitchFont()
{
    TestFolder folder;
    UserDefaults::standardUserDefaults().setObject(
        QVariantMap{{"font", QVariantMap{{"fonttype", "No Such Font Anywhere"}, {"fontsize", 15}}}},
        QSFontInfo);
    const QSSyntaxHighlighter highlighter;
    QCOMPARE(highlighter.font().family(),
             QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QCOMPARE(highlighter.font().pointSizeF(), 15.0);
}

QUILLSET_TEST_MAIN(TestQSSyntaxHighlighter)
#include "tst_qssyntaxhighlighter.moc"
