#include "model/SearchPattern.h"

namespace {

constexpr QSRange notFound{QSNotFound, 0};

bool isAsciiDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

} // namespace

SearchPattern::SearchPattern(const QString &key, Options options)
    : _key(key)
    , _options(options)
{
    if (!isRegularExpression())
        return;
    // Anchors hold at every line of the text, and \w and friends know more than ASCII.
    QRegularExpression::PatternOptions flags =
        QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!(options & MatchCase))
        flags |= QRegularExpression::CaseInsensitiveOption;
    _expression = QRegularExpression(key, flags);
    // Whole words go into the expression as lookarounds, so that a match that fails
    // the test gives way to another one from the same place. The key compiles alone
    // first so that an error names the user's own expression.
    if (_expression.isValid() && (options & WholeWords)) {
        _expression.setPattern(QStringLiteral("(?<![\\p{L}\\p{N}])(?:") + key
                               + QStringLiteral(")(?![\\p{L}\\p{N}])"));
    }
}

SearchPattern SearchPattern::usagesOf(const UsageName &name)
{
    SearchPattern pattern(name.name, MatchCase | Usages);
    pattern._usageKind = name.kind;
    return pattern;
}

std::optional<UsageName> SearchPattern::usages() const
{
    if (!(_options & Usages))
        return std::nullopt;
    return UsageName{_usageKind, _key};
}

bool SearchPattern::isValid() const
{
    return !isRegularExpression() || _expression.isValid();
}

QString SearchPattern::errorString() const
{
    return isValid() ? QString() : _expression.errorString();
}

bool SearchPattern::isWholeWordAt(const QString &text, qsizetype at, qsizetype length) const
{
    return (at == 0 || !text.at(at - 1).isLetterOrNumber())
           && (at + length >= text.size() || !text.at(at + length).isLetterOrNumber());
}

QSRange SearchPattern::findLiteral(const QString &text, qsizetype from) const
{
    const Qt::CaseSensitivity cs = _options & MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(_key, from, cs); at >= 0;
         at = text.indexOf(_key, at + 1, cs)) {
        if (!(_options & WholeWords) || isWholeWordAt(text, at, _key.size()))
            return QSRange{quint32(at), quint32(_key.size())};
    }
    return notFound;
}

QSRange SearchPattern::find(const QString &text, qsizetype from) const
{
    if (_key.isEmpty() || !isValid() || from > text.size())
        return notFound;
    from = qMax<qsizetype>(from, 0);
    if (_options & Usages) {
        for (const QSRange found : findAll(text))
            if (qsizetype(found.location) >= from)
                return found;
        return notFound;
    }
    if (!isRegularExpression())
        return findLiteral(text, from);
    QRegularExpressionMatchIterator matches = _expression.globalMatch(text, from);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedLength() > 0)
            return QSRange{quint32(match.capturedStart()), quint32(match.capturedLength())};
    }
    return notFound;
}

QSRange SearchPattern::findBackwards(const QString &text, qsizetype before) const
{
    if (_key.isEmpty() || !isValid())
        return notFound;
    before = qBound<qsizetype>(0, before, text.size());
    if (_options & Usages) {
        QSRange last = notFound;
        for (const QSRange found : findAll(text))
            if (qsizetype(found.location + found.length) <= before)
                last = found;
        return last;
    }
    if (!isRegularExpression()) {
        const Qt::CaseSensitivity cs =
            _options & MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const QStringView head = QStringView(text).left(before);
        for (qsizetype at = head.lastIndexOf(_key, -1, cs); at >= 0;
             at = at > 0 ? head.lastIndexOf(_key, at - 1, cs) : -1) {
            if (!(_options & WholeWords) || isWholeWordAt(text, at, _key.size()))
                return QSRange{quint32(at), quint32(_key.size())};
        }
        return notFound;
    }
    // An expression only runs forwards: the last of its matches from the start.
    QSRange last = notFound;
    QRegularExpressionMatchIterator matches = _expression.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedEnd() > before)
            break;
        if (match.capturedLength() > 0)
            last = QSRange{quint32(match.capturedStart()), quint32(match.capturedLength())};
    }
    return last;
}

QList<QSRange> SearchPattern::findAll(const QString &text) const
{
    QList<QSRange> matches;
    if (const std::optional<UsageName> name = usages()) {
        for (const Usage &usage : UsageScanner::inText(text, *name))
            matches << QSRange{quint32(usage.offset), quint32(usage.length)};
        return matches;
    }
    for (QSRange match = find(text); match.location != QSNotFound;
         match = find(text, match.location + match.length))
        matches << match;
    return matches;
}

QString SearchPattern::replacementFor(const QString &text, QSRange match,
                                      const QString &replacement) const
{
    if (!isRegularExpression() || !isValid())
        return replacement;
    // Matched again where it was found, for its groups.
    const QRegularExpressionMatch found =
        _expression.match(text, match.location, QRegularExpression::NormalMatch,
                          QRegularExpression::AnchorAtOffsetMatchOption);
    if (!found.hasMatch() || found.capturedLength() != qsizetype(match.length))
        return replacement;
    const int groups = _expression.captureCount();
    QString result;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        if (replacement.at(i) == u'\\' && i + 1 < replacement.size()
            && isAsciiDigit(replacement.at(i + 1))) {
            int group = replacement.at(i + 1).digitValue();
            qsizetype used = 1;
            // Two digits name a group when the expression has that many.
            if (i + 2 < replacement.size() && isAsciiDigit(replacement.at(i + 2))) {
                const int twoDigits = group * 10 + replacement.at(i + 2).digitValue();
                if (twoDigits <= groups) {
                    group = twoDigits;
                    used = 2;
                }
            }
            if (group <= groups) {
                result += found.captured(group);
                i += used;
                continue;
            }
        }
        result += replacement.at(i);
    }
    return result;
}
