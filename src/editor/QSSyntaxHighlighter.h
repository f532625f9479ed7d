#pragma once

#include "model/QSRange.h"

#include <QFont>
#include <QList>
#include <QStringView>
#include <QTextBlock>
#include <QTextLayout>
#include <QVariantMap>
#include <optional>
#include <utility>

class QPlainTextEdit;
class QTextDocument;

// Colours LaTeX source in a text view: control sequences blue, comments light grey,
// the six brackets purple, everything else black. The rules look at one line at a
// time, so an edit re-colours only the lines it touches. One for the whole program.
class QSSyntaxHighlighter
{
public:
    enum class TokenKind { ControlSequence, Comment, Bracket };
    struct ColouredRun
    {
        qsizetype start;
        qsizetype length;
        TokenKind kind;
        bool operator==(const ColouredRun &) const = default;
    };

    // Reads "FontInfo" once; the first one made is the shared one.
    QSSyntaxHighlighter();
    ~QSSyntaxHighlighter();
    static QSSyntaxHighlighter *sharedSyntaxHightlighter();

    // The tokens of one line of text, its terminator included.
    static QList<ColouredRun> colouredRunsOfLine(QStringView line);

    // Re-colours the whole lines that the range touches in the view's text.
    void highlightTextView(QPlainTextEdit *textView, QSRange range) const;
    // The first and the last of the whole lines that the range touches; none when the
    // range goes past the end of the text.
    static std::optional<std::pair<QTextBlock, QTextBlock>> linesOfRange(QTextDocument *document,
                                                                         QSRange range);
    // Colours one block of a document anew, with the extra formats laid over the
    // colours, and marks it as coloured (its user state is 1; a block never coloured
    // has -1).
    static void colourBlock(QTextDocument *document, const QTextBlock &block,
                            const QList<QTextLayout::FormatRange> &extra = {});

    // The font that "FontInfo" names, or the system's fixed-pitch font at that size
    // when no installed font has the name.
    QFont font() const;

private:
    QVariantMap _fontInfo;
};
