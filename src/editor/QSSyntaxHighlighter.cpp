#include "editor/QSSyntaxHighlighter.h"

#include "platform/Log.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {

QSSyntaxHighlighter *sharedHighlighter = nullptr;

bool isLineTerminator(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x0085) || c == QChar::LineSeparator
           || c == QChar::ParagraphSeparator;
}

bool isBracket(QChar c)
{
    return c == u'{' || c == u'[' || c == u'(' || c == u')' || c == u']' || c == u'}';
}

QTextCharFormat formatOf(QSSyntaxHighlighter::TokenKind kind)
{
    const Theme &theme = Theme::current();
    QTextCharFormat format;
    switch (kind) {
    case QSSyntaxHighlighter::TokenKind::ControlSequence:
        format.setForeground(theme.controlSequence);
        break;
    case QSSyntaxHighlighter::TokenKind::Comment:
        format.setForeground(theme.comment);
        break;
    case QSSyntaxHighlighter::TokenKind::Bracket:
        format.setForeground(theme.bracket);
        break;
    }
    return format;
}

// The runs of a block's text, which may hold several lines (a CR or a line
// separator ends a line inside a block).
QList<QTextLayout::FormatRange> formatRangesOfBlock(const QString &text)
{
    QList<QTextLayout::FormatRange> ranges;
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !isLineTerminator(text.at(lineEnd)))
            ++lineEnd;
        if (lineEnd < text.size())
            lineEnd += text.at(lineEnd) == u'\r' && lineEnd + 1 < text.size()
                               && text.at(lineEnd + 1) == u'\n'
                           ? 2
                           : 1;
        const QStringView line = QStringView(text).mid(lineStart, lineEnd - lineStart);
        for (const QSSyntaxHighlighter::ColouredRun &run :
             QSSyntaxHighlighter::colouredRunsOfLine(line))
            ranges.append({int(lineStart + run.start), int(run.length), formatOf(run.kind)});
        lineStart = lineEnd;
    }
    return ranges;
}

} // namespace

QSSyntaxHighlighter::QSSyntaxHighlighter()
    : _fontInfo(UserDefaults::standardUserDefaults().dictionaryForKey(QSFontInfo))
{
    if (!sharedHighlighter)
        sharedHighlighter = this;
}

QSSyntaxHighlighter::~QSSyntaxHighlighter()
{
    if (sharedHighlighter == this)
        sharedHighlighter = nullptr;
}

QSSyntaxHighlighter *QSSyntaxHighlighter::sharedSyntaxHightlighter()
{
    return sharedHighlighter;
}

QList<QSSyntaxHighlighter::ColouredRun> QSSyntaxHighlighter::colouredRunsOfLine(QStringView line)
{
    QList<ColouredRun> runs;
    const qsizetype lineEnd = line.size();
    qsizetype i = 0;
    while (i < lineEnd) {
        const QChar c = line.at(i);
        if (c == u'\\') {
            // Only a space or a bracket ends a control sequence; else the line's end does.
            qsizetype stop = i + 1;
            while (stop < lineEnd && line.at(stop) != u' ' && !isBracket(line.at(stop)))
                ++stop;
            runs.append({i, stop - i, TokenKind::ControlSequence});
            i = stop;
        } else if (c == u'%') {
            runs.append({i, lineEnd - i, TokenKind::Comment});
            i = lineEnd;
        } else if (isBracket(c)) {
            runs.append({i, 1, TokenKind::Bracket});
            ++i;
        } else {
            ++i;
        }
    }
    return runs;
}

void QSSyntaxHighlighter::highlightTextView(QPlainTextEdit *textView, QSRange range) const
{
    QTextDocument *document = textView->document();
    const auto lines = linesOfRange(document, range);
    if (!lines) {
        qsLog(quillsetEditor, QStringLiteral("highlightTextView: range out of bound"));
        return;
    }
    // Each line is coloured anew, so what lies outside the range comes out as a fresh
    // colouring of the line would have it.
    for (QTextBlock block = lines->first; block.isValid(); block = block.next()) {
        colourBlock(document, block);
        if (block == lines->second)
            break;
    }
}

std::optional<std::pair<QTextBlock, QTextBlock>>
QSSyntaxHighlighter::linesOfRange(QTextDocument *document, QSRange range)
{
    if (qint64(range.location) + range.length > document->characterCount() - 1)
        return std::nullopt;
    // From the line that holds the start to the one that holds the last character.
    return std::pair{
        document->findBlock(int(range.location)),
        document->findBlock(int(range.location + (range.length > 0 ? range.length - 1 : 0)))};
}

void QSSyntaxHighlighter::colourBlock(QTextDocument *document, const QTextBlock &block,
                                      const QList<QTextLayout::FormatRange> &extra)
{
    QTextBlock coloured = block;
    coloured.layout()->setFormats(formatRangesOfBlock(block.text()) + extra);
    coloured.setUserState(1);
    document->markContentsDirty(block.position(), block.length());
}

QFont QSSyntaxHighlighter::font() const
{
    const QVariantMap font = _fontInfo.value(QStringLiteral("font")).toMap();
    const QString family = font.value(QStringLiteral("fonttype")).toString();
    const qreal size = qreal(font.value(QStringLiteral("fontsize")).toInt());
    QFont chosen = QFontDatabase::hasFamily(family)
                       ? QFont(family)
                       : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (size > 0)
        chosen.setPointSizeF(size);
    return chosen;
}
