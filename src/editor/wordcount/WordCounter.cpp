#include "editor/wordcount/WordCounter.h"

namespace {

using Math = SpellingScanner::Math;
using Reading = SpellingScanner::Reading;
using ScannerState = SpellingScanner::State;
using Word = SpellingScanner::Word;

// The characters at which the scanner may change what it is reading: a command, math,
// a comment, a group, a key=value list. Between two of them, or between one of them
// and a word the scanner took, the reading stays what it was.
bool isSpecial(QChar c)
{
    return QStringView(u"\\$%{}[]=").contains(c);
}

bool isTokenCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'\'' || c == u'\u2019' || c == u'-'
           || c == u'.';
}

// Whether text at this state is running text: no math, no verbatim body, no
// argument that is a key, and no command still waiting for one.
bool readsText(const ScannerState &state)
{
    return state.math == Math::None && !state.verbatim && state.expected.isEmpty()
           && (state.groups.isEmpty() || state.groups.last().reading == Reading::Text);
}

// Tokens of running text that the scanner leaves to others (numbers, abbreviations,
// names), in [from, to). A token glued to a command or a group before or after it
// is a piece of a word spelt with accent commands (M\"{u}ller), not one of its own.
int tokensBetween(QStringView line, qsizetype from, qsizetype to)
{
    int count = 0;
    qsizetype at = from;
    while (at < to) {
        if (!isTokenCharacter(line[at])) {
            ++at;
            continue;
        }
        const qsizetype start = at;
        bool hasLetterOrNumber = false;
        // An en or em dash (--) parts two words; one hyphen joins them.
        while (at < to && isTokenCharacter(line[at])
               && !(line[at] == u'-' && at + 1 < to && line[at + 1] == u'-')) {
            hasLetterOrNumber = hasLetterOrNumber || line[at].isLetterOrNumber();
            ++at;
        }
        if (at == start) {
            ++at;
            continue;
        }
        const QChar before = start > 0 ? line[start - 1] : QChar();
        const QChar after = at < line.size() ? line[at] : QChar();
        const QChar afterCommand = at + 1 < line.size() ? line[at + 1] : QChar();
        const bool gluedAfter =
            after == u'{'
            || (after == u'\\'
                && (afterCommand.isLetter() || QStringView(u"\"'^`~=.").contains(afterCommand)));
        const bool touches =
            before == u'\\' || before == u'}'
            || (start > 1 && line[start - 2] == u'\\' && QStringView(u"\"'^`~=.").contains(before))
            || gluedAfter;
        if (hasLetterOrNumber && !touches)
            ++count;
    }
    return count;
}

// The tokens of one gap between the scanner's words: the running text from its start
// up to the first character that may change the reading (when the gap starts in
// running text), and from after the last such character to its end (when it ends in
// running text, and that character is neither a command, whose bare arguments may
// follow, nor a comment's start).
int tokensInGap(QStringView line, qsizetype from, qsizetype to, bool opensInText, bool closesInText)
{
    qsizetype firstSpecial = -1;
    qsizetype lastSpecial = -1;
    bool comment = false;
    for (qsizetype at = from; at < to; ++at) {
        if (!isSpecial(line[at]))
            continue;
        if (firstSpecial < 0)
            firstSpecial = at;
        lastSpecial = at;
        if (line[at] == u'%')
            comment = true;
        // An escaped character (\%, \{, \]) is the last of the command it makes.
        if (line[at] == u'\\' && at + 1 < to && !line[at + 1].isLetter())
            lastSpecial = ++at;
    }
    if (firstSpecial < 0)
        return opensInText || closesInText ? tokensBetween(line, from, to) : 0;
    int count = opensInText ? tokensBetween(line, from, firstSpecial) : 0;
    if (closesInText && !comment && line[lastSpecial] != u'\\')
        count += tokensBetween(line, lastSpecial + 1, to);
    return count;
}

int countLine(QStringView line, ScannerState &state)
{
    const bool startsInText = readsText(state);
    const QList<Word> words = SpellingScanner::words(line, state);
    int count = 0;
    qsizetype gapStart = 0;
    bool afterWord = false;
    for (const Word &word : words) {
        // The scanner checks the parts of "well-known" one by one; a reader sees one word.
        const bool hyphenated = afterWord && word.start == gapStart + 1 && line[gapStart] == u'-';
        if (!hyphenated)
            ++count;
        count += tokensInGap(line, gapStart, word.start, afterWord || startsInText, true);
        gapStart = word.start + word.length;
        afterWord = true;
    }
    count += tokensInGap(line, gapStart, line.size(), afterWord || startsInText, readsText(state));
    return count;
}

} // namespace

int WordCounter::count(QStringView text, State &state)
{
    // The preamble's settings and definitions are read by no one; what of them the
    // title page shows (\title, \author) is the title, not the text.
    static const QString documentClass = QStringLiteral("\\documentclass");
    static const QString beginDocument = QStringLiteral("\\begin{document}");
    if (state.preamble) {
        const qsizetype begin = text.indexOf(beginDocument);
        if (begin < 0)
            return 0;
        state.preamble = false;
        return count(text.mid(begin + beginDocument.size()), state);
    }
    if (const qsizetype opening = text.indexOf(documentClass); opening >= 0) {
        const int words = countLines(text.left(opening), state);
        state.preamble = true;
        return words + count(text.mid(opening + documentClass.size()), state);
    }
    return countLines(text, state);
}

int WordCounter::countLines(QStringView text, State &state)
{
    int count = 0;
    qsizetype from = 0;
    for (;;) {
        qsizetype end = from;
        while (end < text.size() && text[end] != u'\n' && text[end] != QChar::ParagraphSeparator)
            ++end;
        const QStringView piece = text.mid(from, end - from);
        // The empty piece after a text's last line feed is no line.
        if (end < text.size() || !piece.isEmpty())
            count += countLine(piece, state.scanner);
        if (end == text.size())
            return count;
        from = end + 1;
    }
}

int WordCounter::count(QStringView text)
{
    State state;
    return count(text, state);
}
