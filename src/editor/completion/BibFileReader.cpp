#include "editor/completion/BibFileReader.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace {

class Reader
{
public:
    explicit Reader(QStringView text)
        : _text(text)
    {}

    QList<BibEntry> read()
    {
        QList<BibEntry> entries;
        for (;;) {
            const qsizetype at = _text.indexOf(u'@', _at);
            if (at < 0)
                break;
            _at = at + 1;
            const QString type = word().toLower();
            skipSpaces();
            if (type.isEmpty() || _at >= _text.size()
                || (_text[_at] != u'{' && _text[_at] != u'('))
                continue;
            const QChar close = _text[_at] == u'{' ? u'}' : u')';
            ++_at;
            if (type == u"comment" || type == u"string" || type == u"preamble") {
                if (!skipGroup(close))
                    break;
                continue;
            }
            std::optional<BibEntry> entry = this->entry(close);
            if (!entry) {
                // A damaged entry costs only itself: reading goes on at the next @.
                _at = at + 1;
                continue;
            }
            if (!entry->key.isEmpty())
                entries.append(*entry);
        }
        return entries;
    }

private:
    QString word()
    {
        const qsizetype start = _at;
        while (_at < _text.size()
               && (_text[_at].isLetterOrNumber() || QStringView(u"_:-.+/").contains(_text[_at])))
            ++_at;
        return _text.mid(start, _at - start).toString();
    }

    void skipSpaces()
    {
        while (_at < _text.size() && _text[_at].isSpace())
            ++_at;
    }

    // Past the delimiter that closes what was opened, counting braces.
    bool skipGroup(QChar close)
    {
        int depth = 0;
        for (; _at < _text.size(); ++_at) {
            const QChar c = _text[_at];
            if (c == u'{')
                ++depth;
            else if (c == u'}' && depth > 0)
                --depth;
            else if (c == close && depth == 0) {
                ++_at;
                return true;
            }
        }
        return false;
    }

    // A braced or quoted value's text without its delimiters and inner braces;
    // none when it does not close.
    std::optional<QString> delimited()
    {
        const QChar open = _text[_at];
        int depth = 0;
        QString value;
        for (++_at; _at < _text.size(); ++_at) {
            const QChar c = _text[_at];
            if (c == u'\\' && _at + 1 < _text.size()) {
                value += c;
                value += _text[++_at];
            } else if (c == u'{') {
                ++depth;
            } else if (c == u'}') {
                if (depth == 0) {
                    if (open != u'{')
                        return std::nullopt;
                    ++_at;
                    return value;
                }
                --depth;
            } else if (c == u'"' && open == u'"' && depth == 0) {
                ++_at;
                return value;
            } else {
                value += c;
            }
        }
        return std::nullopt;
    }

    std::optional<QString> value()
    {
        QString value;
        for (;;) {
            skipSpaces();
            if (_at >= _text.size())
                return std::nullopt;
            if (_text[_at] == u'{' || _text[_at] == u'"') {
                const std::optional<QString> part = delimited();
                if (!part)
                    return std::nullopt;
                value += *part;
            } else {
                value += word(); // a number, or a @string's name
            }
            skipSpaces();
            if (_at < _text.size() && _text[_at] == u'#') {
                ++_at;
                continue;
            }
            return value.simplified();
        }
    }

    std::optional<BibEntry> entry(QChar close)
    {
        skipSpaces();
        const qsizetype keyEnd = [&] {
            qsizetype end = _at;
            while (end < _text.size() && _text[end] != u',' && _text[end] != close
                   && !_text[end].isSpace())
                ++end;
            return end;
        }();
        BibEntry entry;
        entry.key = _text.mid(_at, keyEnd - _at).toString();
        _at = keyEnd;
        QHash<QString, QString> fields;
        for (;;) {
            skipSpaces();
            if (_at >= _text.size())
                return std::nullopt;
            if (_text[_at] == u',') {
                ++_at;
                continue;
            }
            if (_text[_at] == close) {
                ++_at;
                break;
            }
            const QString name = word().toLower();
            skipSpaces();
            if (name.isEmpty() || _at >= _text.size() || _text[_at] != u'=')
                return std::nullopt;
            ++_at;
            const std::optional<QString> value = this->value();
            if (!value)
                return std::nullopt;
            fields.insert(name, *value);
        }
        entry.author = surnames(fields.value(u"author"_qs, fields.value(u"editor"_qs)));
        entry.year = fields.value(u"year"_qs);
        if (entry.year.isEmpty())
            entry.year = fields.value(u"date"_qs).left(4);
        entry.title = fields.value(u"title"_qs);
        return entry;
    }

    static QString surnames(const QString &names)
    {
        static const QRegularExpression and_(QStringLiteral("\\s+and\\s+"));
        QStringList surnames;
        for (const QString &name : names.split(and_, Qt::SkipEmptyParts)) {
            const QString trimmed = name.trimmed();
            surnames << (trimmed.contains(u',') ? trimmed.section(u',', 0, 0).trimmed()
                                                : trimmed.section(u' ', -1));
        }
        if (surnames.size() > 2 || surnames.contains(u"others"_qs))
            return surnames.first() + QStringLiteral(" et al.");
        return surnames.join(QStringLiteral(" and "));
    }

    QStringView _text;
    qsizetype _at = 0;
};

} // namespace

QList<BibEntry> BibFileReader::read(QStringView text)
{
    return Reader(text).read();
}
