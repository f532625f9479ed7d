#include "model/SymbolScanner.h"

namespace {

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'@';
}

class Reader
{
public:
    explicit Reader(QStringView text)
        : _text(text)
    {}

    QList<Symbol> scan()
    {
        while (_at < _text.size()) {
            const QChar c = _text[_at++];
            if (c == u'%')
                skipComment();
            else if (c == u'\\')
                command();
        }
        return _symbols;
    }

private:
    void skipComment()
    {
        const qsizetype end = _text.indexOf(u'\n', _at);
        _at = end < 0 ? _text.size() : end + 1;
    }

    QStringView word()
    {
        const qsizetype start = _at;
        while (_at < _text.size() && isLetter(_text[_at]))
            ++_at;
        // A backslash before anything else escapes it (\%, \\, \{).
        if (_at == start && _at < _text.size())
            ++_at;
        return _text.mid(start, _at - start);
    }

    void skipSpaces()
    {
        while (_at < _text.size() && (_text[_at] == u' ' || _text[_at] == u'\t' || _text[_at] == u'\n'))
            ++_at;
    }

    bool skip(QChar c)
    {
        skipSpaces();
        if (_at < _text.size() && _text[_at] == c) {
            ++_at;
            return true;
        }
        return false;
    }

    // The text of a group that opens here, without its delimiters and the spaces
    // around them; empty (and nothing read) when none opens or it does not close.
    QString group(QChar open, QChar close)
    {
        const qsizetype start = _at;
        if (!skip(open))
            return {};
        int depth = 1;
        for (qsizetype i = _at; i < _text.size(); ++i) {
            const QChar c = _text[i];
            if (c == u'\\')
                ++i;
            else if (c == open)
                ++depth;
            else if (c == close && --depth == 0) {
                const QString inside = _text.mid(_at, i - _at).toString().trimmed();
                _at = i + 1;
                return inside;
            }
        }
        _at = start;
        return {};
    }

    int argumentCount()
    {
        const QString count = group(u'[', u']');
        bool ok = false;
        const int n = count.toInt(&ok);
        return ok && n >= 0 && n <= 9 ? n : 0;
    }

    // \name or {\name}
    QString definedName()
    {
        skipSpaces();
        if (_at < _text.size() && _text[_at] == u'\\') {
            ++_at;
            return u'\\' + word().toString();
        }
        const QString braced = group(u'{', u'}');
        if (braced.size() > 1 && braced[0] == u'\\')
            return braced;
        return {};
    }

    void add(Symbol::Kind kind, const QString &name, int arguments = 0)
    {
        if (!name.isEmpty())
            _symbols.append(Symbol{kind, name, arguments});
    }

    void command()
    {
        const QStringView name = word();
        if (name.isEmpty() || !isLetter(name[0]))
            return;
        // Most commands are none of these: one look at the first letter sends them on.
        const QChar first = name[0];
        if (first != u'l' && first != u'n' && first != u'r' && first != u'p' && first != u'D'
            && first != u'd' && first != u'b' && first != u'a')
            return;
        if (name == u"label") {
            add(Symbol::Kind::Label, group(u'{', u'}'));
        } else if (name == u"newcommand" || name == u"renewcommand" || name == u"providecommand"
                   || name == u"DeclareMathOperator") {
            skip(u'*');
            const QString defined = definedName();
            add(Symbol::Kind::Command, defined, name[0] == u'D' ? 0 : argumentCount());
        } else if (name == u"def") {
            const QString defined = definedName();
            int arguments = 0;
            while (_at + 1 < _text.size() && _text[_at] == u'#' && _text[_at + 1].isDigit()) {
                ++arguments;
                _at += 2;
            }
            add(Symbol::Kind::Command, defined, arguments);
        } else if (name == u"newenvironment" || name == u"renewenvironment") {
            skip(u'*');
            const QString environment = group(u'{', u'}');
            add(Symbol::Kind::Environment, environment, argumentCount());
        } else if (name == u"bibliography" || name == u"addbibresource") {
            group(u'[', u']');
            const QString names = group(u'{', u'}');
            for (QString database : names.split(u',', Qt::SkipEmptyParts)) {
                database = database.trimmed();
                if (!database.isEmpty() && !database.section(u'/', -1).contains(u'.'))
                    database += QLatin1String(".bib");
                add(Symbol::Kind::Bibliography, database);
            }
        }
    }

    QStringView _text;
    qsizetype _at = 0;
    QList<Symbol> _symbols;
};

} // namespace

QList<Symbol> SymbolScanner::scan(QStringView text)
{
    return Reader(text).scan();
}
