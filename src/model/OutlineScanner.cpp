#include "model/OutlineScanner.h"

namespace {

const char16_t *const commandWords[] = {u"part",          u"chapter", u"section", u"subsection",
                                        u"subsubsection", u"input",   u"include"};

} // namespace

OutlineScanner::OutlineScanner(QStringView text)
    : _text(text)
{}

bool OutlineScanner::holdsCommand(QStringView text)
{
    return OutlineScanner(text).next().has_value();
}

std::optional<OutlineScanner::Command> OutlineScanner::next()
{
    const qsizetype size = _text.size();
    while (_position < size) {
        const qsizetype backslash = _text.indexOf(u'\\', _position);
        if (backslash < 0)
            break;
        _position = backslash + 1;
        const qsizetype length = wordLength(backslash + 1);
        if (length == 0)
            continue;
        qsizetype at = backslash + 1 + length;
        if (at < size && _text[at] == u'*')
            ++at;
        if (at < size && _text[at] == u'[')
            at = afterOptionalArgument(at);
        if (at < 0 || at >= size || _text[at] != u'{' || !startsCommand(backslash))
            continue;
        const qsizetype close = closingBrace(at);
        if (close < 0 || holdsParameter(at + 1, close))
            continue;
        _position = close + 1;
        return Command{backslash, close + 1, _text.mid(backslash + 1, length), at + 1, close};
    }
    _position = size;
    return std::nullopt;
}

// A title or file name that holds a macro's parameter (#1, not \#1) is that of a
// command in a definition (\newcommand{\chap}[1]{\chapter{#1}}): no heading.
bool OutlineScanner::holdsParameter(qsizetype from, qsizetype to) const
{
    for (qsizetype i = from; i + 1 < to; ++i) {
        if (_text[i] == u'\\')
            ++i;
        else if (_text[i] == u'#' && _text[i + 1] >= u'1' && _text[i + 1] <= u'9')
            return true;
    }
    return false;
}

// No command word is the start of another, so the first that fits is the one.
qsizetype OutlineScanner::wordLength(qsizetype at) const
{
    if (at >= _text.size())
        return 0;
    // Most backslashes start other commands: one look at the first letter sends them on.
    const char16_t first = _text[at].unicode();
    if (first != u'p' && first != u'c' && first != u's' && first != u'i')
        return 0;
    const QStringView rest = _text.mid(at);
    for (const char16_t *word : commandWords) {
        const QStringView candidate(word);
        if (rest.startsWith(candidate))
            return candidate.size();
    }
    return 0;
}

// Just after the bracket that closes the one at open, or -1 when it does not close
// on its line. Brackets inside braces do not count.
qsizetype OutlineScanner::afterOptionalArgument(qsizetype open) const
{
    int brackets = 0;
    int braces = 0;
    for (qsizetype i = open; i < _text.size(); ++i) {
        const QChar c = _text[i];
        if (c == u'\n' || c == u'%')
            return -1;
        if (c == u'\\') {
            if (i + 1 < _text.size() && _text[i + 1] == u'\n')
                return -1;
            ++i;
        } else if (c == u'{') {
            ++braces;
        } else if (c == u'}') {
            if (braces == 0)
                return -1;
            --braces;
        } else if (braces == 0 && c == u'[') {
            ++brackets;
        } else if (braces == 0 && c == u']' && --brackets == 0) {
            return i + 1;
        }
    }
    return -1;
}

// The brace that balances the one at open; when none does on its line, the last
// closing brace of the line (a title broken over lines shows its first line); -1
// when the line has none.
qsizetype OutlineScanner::closingBrace(qsizetype open) const
{
    int depth = 0;
    qsizetype lastClose = -1;
    for (qsizetype i = open; i < _text.size(); ++i) {
        const QChar c = _text[i];
        if (c == u'\n' || c == u'%')
            break;
        if (c == u'\\') {
            if (i + 1 < _text.size() && _text[i + 1] == u'\n')
                break;
            ++i;
        } else if (c == u'{') {
            ++depth;
        } else if (c == u'}') {
            if (--depth == 0)
                return i;
            lastClose = i;
        }
    }
    return lastClose;
}

// Reads the line token by token up to the backslash: it starts a command unless a
// comment began before it or it is the second half of an escape (\\section). The
// reading goes on from where the last call stopped while the line is the same, so
// a line is read once however many candidates it holds.
bool OutlineScanner::startsCommand(qsizetype backslash)
{
    if (_readTo < backslash
        && _text.mid(_readTo, backslash - _readTo).contains(QLatin1Char('\n'))) {
        _readTo = _text.lastIndexOf(u'\n', backslash - 1) + 1;
        _inComment = false;
    }
    while (!_inComment && _readTo < backslash) {
        const QChar c = _text[_readTo];
        if (c == u'\\')
            _readTo += 2;
        else if (c == u'%')
            _inComment = true;
        else
            ++_readTo;
    }
    return !_inComment && _readTo == backslash;
}
