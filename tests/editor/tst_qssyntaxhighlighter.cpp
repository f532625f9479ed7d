#include "TestSupport.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/QSTextView.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

using Kind = QSSyntaxHighlighter::TokenKind;
using Runs = QList<QSSyntaxHighlighter::ColouredRun>;
Q_DECLARE_METATYPE(Runs)

namespace {

// The colour of every character of a block as a letter: b(lue), g(rey), p(urple), - (none).
QString colours(const QTextBlock &block)
{
    QString letters(block.length() - 1, u'-');
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        const QColor colour = range.format.foreground().color();
        const QChar letter = colour == QColor::fromRgbF(0, 0, 1)       ? u'b'
                             : colour == QColor::fromRgbF(0.5, 0, 0.5) ? u'p'
                                                                       : u'g';
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
    QTest::addColumn<QString>("line");
    QTest::addColumn<Runs>("runs");
    const Kind cs = Kind::ControlSequence, comment = Kind::Comment, bracket = Kind::Bracket;
    QTest::newRow("section with a title") << "\\section{Intro}\n"
                                          << Runs{{0, 8, cs}, {8, 1, bracket}, {14, 1, bracket}};
    QTest::newRow("comment line with braces") << "% a {comment}\n" << Runs{{0, 14, comment}};
    QTest::newRow("escaped percent") << "50\\% off" << Runs{{2, 2, cs}};
    QTest::newRow("two backslashes and a space") << "\\\\ next" << Runs{{0, 2, cs}};
    QTest::newRow("brackets in prose")
        << "words (a) and [b]"
        << Runs{{6, 1, bracket}, {8, 1, bracket}, {14, 1, bracket}, {16, 1, bracket}};
    QTest::newRow("tab inside a command")
        << "\\foo\tbar{x}" << Runs{{0, 8, cs}, {8, 1, bracket}, {10, 1, bracket}};
    QTest::newRow("command at the line end takes the terminator") << "\\end\r\n"
                                                                  << Runs{{0, 6, cs}};
    QTest::newRow("commands back to back")
        << "\\a\\b{c}" << Runs{{0, 4, cs}, {4, 1, bracket}, {6, 1, bracket}};
    QTest::newRow("percent inside a command")
        << "\\cmd%x {y}" << Runs{{0, 6, cs}, {7, 1, bracket}, {9, 1, bracket}};
    QTest::newRow("comment after text") << "x % y}" << Runs{{2, 4, comment}};
    QTest::newRow("plain") << "nothing to colour" << Runs{};
}

void TestQSSyntaxHighlighter::colourRunsOfALine()
{
    QFETCH(QString, line);
    QFETCH(Runs, runs);
    QCOMPARE(QSSyntaxHighlighter::colouredRunsOfLine(line), runs);
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
    QCOMPARE(colours(document->findBlockByNumber(2)), QStringLiteral("bb-p-p-bb"));
    QCOMPARE(colours(document->findBlockByNumber(0)), QStringLiteral("---------------"));

    highlighter.highlightTextView(&view, QSRange{0, quint32(document->characterCount() - 1)});
    QCOMPARE(colours(document->findBlockByNumber(0)), QStringLiteral("bbbbbbbbp-----p"));
    QCOMPARE(colours(document->findBlockByNumber(1)), QStringLiteral("gggggggggg"));
    QCOMPARE(colours(document->findBlockByNumber(3)), QStringLiteral("-----p---p"));

    // An edit that ends the comment early: the line is coloured anew.
    QTextCursor cursor(document->findBlockByNumber(1));
    cursor.deleteChar();
    highlighter.highlightTextView(&view, QSRange{16, 0});
    QCOMPARE(colours(document->findBlockByNumber(1)), QStringLiteral("------p-p"));

    // An empty text takes any colouring; a range past the text is refused.
    QPlainTextEdit empty;
    highlighter.highlightTextView(&empty, QSRange{0, 0});
    view.setPlainText("\\x");
    QTest::ignoreMessage(QtInfoMsg, "highlightTextView: range out of bound");
    highlighter.highlightTextView(&view, QSRange{0, 3});
    QCOMPARE(colours(document->firstBlock()), QStringLiteral("--"));

    // The editor's view colours the lines it shows when it first shows them, and
    // leaves the others alone until they are scrolled into view.
    QSTextView shown;
    shown.resize(400, 300);
    shown.setPlainText(QStringLiteral("\\line {x}\n").repeated(5000));
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QTRY_COMPARE(colours(shown.document()->firstBlock()), QStringLiteral("bbbbb-p-p"));
    QCOMPARE(colours(shown.document()->lastBlock().previous()), QStringLiteral("---------"));
    shown.moveCursor(QTextCursor::End);
    QTRY_COMPARE(colours(shown.document()->lastBlock().previous()), QStringLiteral("bbbbb-p-p"));
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

QTEST_MAIN(TestQSSyntaxHighlighter)
#include "tst_qssyntaxhighlighter.moc"
