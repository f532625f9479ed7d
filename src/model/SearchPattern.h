#pragma once

#include "model/QSRange.h"
#include "model/UsageScanner.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <optional>

// What the find strip looks for: a key and the options it is read with. Without
// options the key is a literal text found whatever its letter case. A match is
// never empty: a regular expression that can match nothing finds only its
// non-empty matches.
class SearchPattern
{
public:
    enum Option {
        MatchCase = 0x1,
        // The match is neither preceded nor followed by a letter or digit.
        WholeWords = 0x2,
        RegularExpression = 0x4,
        // The key is a name (usagesOf): its places as UsageScanner finds them.
        Usages = 0x8,
    };
    Q_DECLARE_FLAGS(Options, Option)

    SearchPattern() = default;
    explicit SearchPattern(const QString &key, Options options = {});
    // Every place the name stands, in code and in comments, and nothing else: the
    // list of its usages that the find strip shows and follows.
    static SearchPattern usagesOf(const UsageName &name);

    QString key() const { return _key; }
    Options options() const { return _options; }
    bool isEmpty() const { return _key.isEmpty(); }
    bool isRegularExpression() const { return _options & RegularExpression; }
    // The name whose usages the pattern stands for, if it does.
    std::optional<UsageName> usages() const;
    // False for a regular expression that does not compile, which finds nothing.
    bool isValid() const;
    // Why the regular expression does not compile, for the user.
    QString errorString() const;

    // The first match that starts at or after the offset; (QSNotFound, 0) when none.
    QSRange find(const QString &text, qsizetype from = 0) const;
    // The last match that ends at or before the offset; (QSNotFound, 0) when none.
    QSRange findBackwards(const QString &text, qsizetype before) const;
    // The matches of the whole text one after the other, none overlapping another.
    QList<QSRange> findAll(const QString &text) const;

    // The text that takes a match's place. A regular expression's replacement may
    // name what its groups captured: \1 to \99, and \0 for the whole match; every
    // other backslash, and a group the expression does not have, stays as typed
    // (LaTeX replacements are full of backslashes).
    QString replacementFor(const QString &text, QSRange match, const QString &replacement) const;

    bool operator==(const SearchPattern &other) const
    {
        return _key == other._key && _options == other._options && _usageKind == other._usageKind;
    }

private:
    bool isWholeWordAt(const QString &text, qsizetype at, qsizetype length) const;
    QSRange findLiteral(const QString &text, qsizetype from) const;

    QString _key;
    Options _options;
    UsageName::Kind _usageKind = UsageName::Kind::Label; // for Usages only
    QRegularExpression _expression;                      // for RegularExpression only
};

Q_DECLARE_OPERATORS_FOR_FLAGS(SearchPattern::Options)
