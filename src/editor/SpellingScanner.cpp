#include "editor/SpellingScanner.h"

#include "editor/spelling/ArgumentSignatures.h"

namespace {

using Math = SpellingScanner::Math;
using Reading = SpellingScanner::Reading;
using Group = SpellingScanner::Group;
using State = SpellingScanner::State;
using Word = SpellingScanner::Word;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == u'\u2019';
}

// What may join the parts of one token: apostrophes within words, hyphens and
// slashes between words, and the characters of names that are not words
// ("fig:plot", "a_b", "x@y", "a.tex").
bool isJoiner(QChar c)
{
    return isApostrophe(c) || c == u'-' || c == u'.' || c == u':' || c == u'_' || c == u'@'
           || c == u'/';
}

// Joiners that make a token a name rather than words.
bool joinsNames(QChar c)
{
    return c == u'.' || c == u':' || c == u'_' || c == u'@';
}

// Joiners between the words of a token ("well-known", "and/or").
bool partsWords(QChar c)
{
    return c == u'-' || c == u'/';
}

// Accents written as a command and a letter: \"o, \'{e}, \u{a}.
bool isSymbolAccent(QChar c)
{
    return QStringView(u"\"'^`~=.").contains(c);
}

bool isLetterAccent(QStringView name)
{
    static const QStringList names = {"u", "v", "H", "c", "d", "b", "r", "k", "t", "G", "U"};
    return names.contains(name.toString());
}

// Letters written as a command: \ss, \o, \ae.
bool isLetterCommand(QStringView name)
{
    static const QStringList names = {"ss", "o",  "O", "ae", "AE", "oe", "OE",
                                      "aa", "AA", "l", "L",  "i",  "j"};
    return names.contains(name.toString());
}

// After the brace that closes the one at `open`, or -1 when the line ends first.
qsizetype afterClosingBrace(QStringView line, qsizetype open, bool escapes)
{
    int depth = 0;
    for (qsizetype at = open; at < line.size(); ++at) {
        if (line[at] == u'\\' && escapes) {
            ++at;
        } else if (line[at] == u'{') {
            ++depth;
        } else if (line[at] == u'}' && --depth == 0) {
            return at + 1;
        }
    }
    return -1;
}

// Whether the group that opens at the position holds a key=value list: an '=' in
// it, outside its inner groups, before it closes or the line ends.
bool holdsKeys(QStringView line, qsizetype open)
{
    const QChar close = line[open] == u'{' ? u'}' : u']';
    int depth = 0;
    bool math = false;
    for (qsizetype at = open + 1; at < line.size(); ++at) {
        const QChar c = line[at];
        if (c == u'\\') {
            ++at;
        } else if (c == u'%') {
            return false;
        } else if (c == u'$') {
            math = !math;
        } else if (c == u'{' || c == u'[') {
            ++depth;
        } else if ((c == u'}' || c == u']') && depth > 0) {
            --depth;
        } else if (c == close) {
            return false;
        } else if (c == u'=' && depth == 0 && !math) {
            return true;
        }
    }
    return false;
}

// Where the math ends in the line (after its closing), or -1 when the line ends in it.
qsizetype mathEnd(QStringView line, qsizetype at, const State &state)
{
    for (; at < line.size(); ++at) {
        const QChar c = line[at];
        if (c == u'%')
            return -1;
        if (c == u'\\' && at + 1 < line.size()) {
            const QChar next = line[at + 1];
            if ((state.math == Math::Bracket && next == u']')
                || (state.math == Math::Parenthesis && next == u')'))
                return at + 2;
            if (state.math == Math::Environment && line.mid(at).startsWith(u"\\end{")) {
                const qsizetype close = afterClosingBrace(line, at + 4, true);
                if (close > 0 && line.mid(at + 5, close - at - 6) == state.environment)
                    return close;
            }
            ++at;
        } else if (c == u'$' && state.math == Math::Dollar) {
            return at + 1;
        } else if (c == u'$' && state.math == Math::DoubleDollar && at + 1 < line.size()
                   && line[at + 1] == u'$') {
            return at + 2;
        }
    }
    return -1;
}

// One pass over one line, carrying the state from the line before to the next.
class LineScanner
{
public:
    LineScanner(QStringView line, State &state)
        : _line(line)
        , _state(state)
    {}

    QList<Word> run()
    {
        if (_line.trimmed().isEmpty() && !_state.verbatim && _state.math == Math::None) {
            endParagraph();
            return {};
        }
        while (!atEnd()) {
            if (_state.verbatim) {
                leaveVerbatim();
            } else if (_state.math != Math::None) {
                leaveMath();
            } else if (!_state.expected.isEmpty() && takeArgument()) {
                continue;
            } else if (!_state.groups.isEmpty() && _state.groups.last().reading != Reading::Text) {
                skipInsideGroup();
            } else if (!readText()) {
                break;
            }
        }
        endLine();
        return _found;
    }

private:
    bool atEnd() const { return _at >= _line.size(); }
    QChar current() const { return _line[_at]; }
    QChar next() const { return _at + 1 < _line.size() ? _line[_at + 1] : QChar(); }

    // One step through running text; false at a comment, which ends the line.
    bool readText()
    {
        const QChar c = current();
        if (c == u'%')
            return false;
        if (c == u'$') {
            const bool twice = next() == u'$';
            _state.math = twice ? Math::DoubleDollar : Math::Dollar;
            _at += twice ? 2 : 1;
        } else if (c == u'\\') {
            command();
        } else if (c == u'{') {
            if (!_state.groups.isEmpty())
                ++_state.groups.last().depth;
            ++_at;
        } else if (c == u'}' || c == u']') {
            close(c);
            ++_at;
        } else if (c == u'=') {
            keysFollow();
            ++_at;
        } else if (isWordCharacter(c)) {
            token();
        } else {
            ++_at;
        }
        return true;
    }

    // A blank line ends a paragraph, and with it any argument that was never closed
    // and would keep the text after it from being checked.
    void endParagraph()
    {
        _state.expected.clear();
        while (!_state.groups.isEmpty() && _state.groups.last().reading != Reading::Text)
            _state.groups.removeLast();
    }

    void endLine()
    {
        if (_state.expected.startsWith(u'D'))
            _state.expected.clear();
        // A verbatim body begins on the line after its \begin when no more of its
        // optional arguments follow there.
        qsizetype item = 0;
        while (item < _state.expected.size()
               && QStringView(u"*oOp").contains(_state.expected[item]))
            ++item;
        if (item < _state.expected.size() && _state.expected[item] == u'V') {
            _state.verbatim = true;
            _state.expected.clear();
        }
    }

    void leaveVerbatim()
    {
        const QString end = QStringLiteral("\\end{") + _state.environment + u'}';
        const qsizetype found = _line.indexOf(end, _at);
        if (found < 0) {
            _at = _line.size();
            return;
        }
        _state.verbatim = false;
        _state.environment.clear();
        _at = found + end.size();
    }

    void leaveMath()
    {
        const qsizetype end = mathEnd(_line, _at, _state);
        if (end < 0) {
            _at = _line.size();
            return;
        }
        if (_state.math == Math::Environment)
            _state.environment.clear();
        _state.math = Math::None;
        _at = end;
    }

    void open(QChar close, Reading reading, bool mayHoldKeys, const QString &after)
    {
        _state.groups.append(Group{close, reading, mayHoldKeys, 0, after});
        _state.expected.clear();
    }

    void pop() { _state.expected = _state.groups.takeLast().after; }

    void skipCommandToken()
    {
        ++_at;
        if (!atEnd() && (current().isLetter() || current() == u'@')) {
            while (!atEnd() && (current().isLetter() || current() == u'@'))
                ++_at;
        } else if (!atEnd()) {
            ++_at;
        }
    }

    // Takes the next argument the latest command expects, if it is there; false when
    // none is and the text goes on as running text.
    bool takeArgument()
    {
        QString &expected = _state.expected;
        const QChar item = expected.front();
        if (item == u'V') {
            _state.verbatim = true;
            expected.clear();
            return true;
        }
        if (item == u'D') {
            // Only what touches the command is its argument.
            const QChar c = current();
            if (c != u'{' && c != u'[') {
                expected.clear();
                return false;
            }
            const bool keys = holdsKeys(_line, _at);
            ++_at;
            open(c == u'{' ? u'}' : u']', keys ? Reading::Keys : Reading::Text, !keys,
                 QStringLiteral("D"));
            return true;
        }
        while (!atEnd() && current().isSpace())
            ++_at;
        if (atEnd())
            return true;
        const QChar c = current();
        const QString rest = expected.mid(1);
        switch (item.unicode()) {
        case u'*':
            if (c == u'*')
                ++_at;
            expected = rest;
            return true;
        case u'o':
        case u'O':
            if (c == u'[') {
                ++_at;
                open(u']', item == u'O' ? Reading::Text : Reading::Keys, false, rest);
            } else {
                expected = rest;
            }
            return true;
        case u'p':
            if (c == u'(') {
                const qsizetype close = _line.indexOf(u')', _at);
                _at = close < 0 ? _line.size() : close + 1;
            }
            expected = rest;
            return true;
        case u'v':
            verbatimArgument();
            expected = rest;
            return true;
        default: // m, M, u, c, f
            if (c == u'{') {
                ++_at;
                open(u'}',
                     item == u'M'   ? Reading::Text
                     : item == u'u' ? Reading::Url
                                    : Reading::Keys,
                     false, rest);
                return true;
            }
            if (c == u'\\') {
                skipCommandToken();
                expected = rest;
                return true;
            }
            if (item == u'f' && c != u'%' && c != u'}') {
                while (!atEnd() && !current().isSpace() && current() != u'%' && current() != u'}')
                    ++_at;
                expected = rest;
                return true;
            }
            expected.clear();
            return false;
        }
    }

    // \verb|text|, \lstinline{text}: up to the same character, or the closing brace.
    void verbatimArgument()
    {
        if (current() == u'{') {
            const qsizetype end = afterClosingBrace(_line, _at, false);
            _at = end < 0 ? _line.size() : end;
            return;
        }
        const qsizetype close = _line.indexOf(current(), _at + 1);
        _at = close < 0 ? _line.size() : close + 1;
    }

    // Inside an argument that is not text, up to its end; braces pair, an escaped
    // brace is a character, and a comment ends the line.
    void skipInsideGroup()
    {
        Group &group = _state.groups.last();
        const bool url = group.reading == Reading::Url;
        while (!atEnd()) {
            const QChar c = current();
            if (c == u'\\' && !url) {
                _at += 2;
                continue;
            }
            if (c == u'%' && !url) {
                _at = _line.size();
                return;
            }
            ++_at;
            if (c == u'{') {
                ++group.depth;
            } else if (c == u'}' && group.depth > 0) {
                --group.depth;
            } else if (c == group.close && group.depth == 0) {
                pop();
                return;
            }
        }
    }

    void close(QChar c)
    {
        if (_state.groups.isEmpty())
            return;
        Group &group = _state.groups.last();
        if (c == u'}' && group.depth > 0)
            --group.depth;
        else if (c == group.close && group.depth == 0)
            pop();
    }

    // An '=' in the text argument of a command not known: the argument is a key=value
    // list, and the key before it was not prose either.
    void keysFollow()
    {
        if (_state.groups.isEmpty())
            return;
        Group &group = _state.groups.last();
        if (!group.mayHoldKeys || group.depth != 0)
            return;
        qsizetype from = _at;
        while (from > 0 && !QStringView(u",{[").contains(_line[from - 1]))
            --from;
        while (!_found.isEmpty() && _found.last().start >= from)
            _found.removeLast();
        group.reading = Reading::Keys;
        group.mayHoldKeys = false;
    }

    void command()
    {
        const qsizetype start = _at;
        skipCommandToken();
        const QStringView name = _line.mid(start + 1, _at - start - 1);
        if (name.isEmpty())
            return;
        const QChar first = name.front();
        if (name.size() == 1 && !first.isLetter() && first != u'@') {
            if (first == u'[')
                _state.math = Math::Bracket;
            else if (first == u'(')
                _state.math = Math::Parenthesis;
            else if (first == u'\\')
                _state.expected = ArgumentSignatures::command(name);
            else if (isSymbolAccent(first))
                accent(start);
            else if (first == u'-')
                glue(start);
            return;
        }
        if (name == u"begin") {
            beginEnvironment();
        } else if (name == u"end") {
            _state.expected.clear();
            if (!atEnd() && current() == u'{') {
                const qsizetype end = afterClosingBrace(_line, _at, true);
                _at = end < 0 ? _line.size() : end;
            }
        } else if (name == u"csname") {
            const qsizetype end = _line.indexOf(u"\\endcsname", _at);
            _at = end < 0 ? _line.size() : end + 10;
        } else if (isLetterAccent(name) && !atEnd() && current() == u'{') {
            accent(start);
        } else if (isLetterCommand(name)) {
            if (_line.mid(_at).startsWith(u"{}"))
                _at += 2;
            else if (!atEnd() && current() == u' ' && next().isLetter())
                ++_at;
            glue(start);
        } else {
            _state.expected = ArgumentSignatures::command(name);
        }
    }

    // A word spelt with accent commands (Gr\"o\ss e) cannot be checked as one word
    // of the line: its parts are left out rather than taken for misspellings.
    void glue(qsizetype commandStart)
    {
        if (!_found.isEmpty() && _found.last().start + _found.last().length == commandStart)
            _found.removeLast();
        _gluedTo = _at;
    }

    void accent(qsizetype commandStart)
    {
        if (!atEnd() && current() == u'{') {
            const qsizetype end = afterClosingBrace(_line, _at, true);
            _at = end < 0 ? _line.size() : end;
        } else if (!atEnd() && current() == u'\\') {
            skipCommandToken();
        } else if (!atEnd() && current().isLetter()) {
            ++_at;
        }
        glue(commandStart);
    }

    void beginEnvironment()
    {
        _state.expected.clear();
        while (!atEnd() && current().isSpace())
            ++_at;
        if (atEnd() || current() != u'{')
            return;
        const qsizetype end = afterClosingBrace(_line, _at, true);
        if (end < 0) {
            _at = _line.size();
            return;
        }
        const QStringView name = _line.mid(_at + 1, end - _at - 2);
        _at = end;
        if (ArgumentSignatures::isMathEnvironment(name)) {
            _state.math = Math::Environment;
            _state.environment = name.toString();
            return;
        }
        _state.expected = ArgumentSignatures::environment(name);
        if (_state.expected.contains(u'V'))
            _state.environment = name.toString();
    }

    // A run of letters, digits and joiners: its words, split at hyphens, unless it
    // is a name (with digits, dots, colons, underscores, at signs or slashes) or
    // part of a word spelt with accent commands.
    void token()
    {
        const qsizetype start = _at;
        while (!atEnd() && (isWordCharacter(current()) || isJoiner(current())))
            ++_at;
        qsizetype end = _at;
        while (end > start && isJoiner(_line[end - 1]))
            --end;
        if (start == _gluedTo)
            return;
        for (qsizetype at = start; at < end; ++at) {
            if (_line[at].isNumber() || joinsNames(_line[at]))
                return;
        }
        qsizetype part = start;
        for (qsizetype at = start; at <= end; ++at) {
            if (at < end && !partsWords(_line[at]))
                continue;
            qsizetype first = part, last = at;
            while (first < last && isApostrophe(_line[first]))
                ++first;
            while (last > first && isApostrophe(_line[last - 1]))
                --last;
            if (last > first)
                _found.append({first, last - first});
            part = at + 1;
        }
    }

    QStringView _line;
    State &_state;
    qsizetype _at = 0;
    qsizetype _gluedTo = -1; // where a word spelt with accent commands goes on
    QList<Word> _found;
};

} // namespace

QList<SpellingScanner::Word> SpellingScanner::words(QStringView line, State &state)
{
    return LineScanner(line, state).run();
}
