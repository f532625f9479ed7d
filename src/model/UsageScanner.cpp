#include "model/UsageScanner.h"

#include "model/LandmarkScanner.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace {

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The commands that define a command, the name following them (in braces or not).
const QSet<QString> &commandDefiners()
{
    static const QSet<QString> names = {QStringLiteral("newcommand"),
                                        QStringLiteral("renewcommand"),
                                        QStringLiteral("providecommand"),
                                        QStringLiteral("DeclareMathOperator"),
                                        QStringLiteral("def"),
                                        QStringLiteral("gdef"),
                                        QStringLiteral("edef"),
                                        QStringLiteral("xdef"),
                                        QStringLiteral("let"),
                                        QStringLiteral("NewDocumentCommand"),
                                        QStringLiteral("RenewDocumentCommand"),
                                        QStringLiteral("ProvideDocumentCommand"),
                                        QStringLiteral("DeclareRobustCommand")};
    return names;
}

// The commands whose first argument in braces is an environment's name.
const QSet<QString> &environmentNamers()
{
    static const QSet<QString> names = {QStringLiteral("begin"),
                                        QStringLiteral("end"),
                                        QStringLiteral("newenvironment"),
                                        QStringLiteral("renewenvironment"),
                                        QStringLiteral("provideenvironment"),
                                        QStringLiteral("NewDocumentEnvironment"),
                                        QStringLiteral("RenewDocumentEnvironment"),
                                        QStringLiteral("newtheorem")};
    return names;
}

using Skipped = QList<LandmarkScanner::Skipped>;

// What the landmark scanner passed over at a place: a comment, verbatim text, or
// nothing (code). The stretches are in order and do not overlap.
const LandmarkScanner::Skipped *skippedAt(const Skipped &skipped, qsizetype at)
{
    const auto after =
        std::upper_bound(skipped.cbegin(), skipped.cend(), at,
                         [](qsizetype place, const LandmarkScanner::Skipped &stretch) {
                             return place < stretch.start;
                         });
    if (after == skipped.cbegin() || at >= (after - 1)->end)
        return nullptr;
    return &*(after - 1);
}

// Whether a name at a place is one to list, and whether it is in a comment.
std::optional<bool> inCommentAt(const Skipped &skipped, qsizetype at)
{
    const LandmarkScanner::Skipped *stretch = skippedAt(skipped, at);
    if (stretch && !stretch->comment)
        return std::nullopt; // verbatim
    return stretch != nullptr;
}

// \begin{name}, \newenvironment{name} and the like: the command and the name.
const QRegularExpression &namedGroup()
{
    static const QRegularExpression named(
        QStringLiteral("\\\\([A-Za-z]+)\\*?[ \\t]*\\{[ \\t]*([^{}\\\\%\\n]*?)[ \\t]*\\}"));
    return named;
}

bool isLabelKind(Landmark::Kind kind)
{
    return kind == Landmark::Kind::Label || kind == Landmark::Kind::Reference;
}

bool isKeyKind(Landmark::Kind kind)
{
    return kind == Landmark::Kind::Citation || kind == Landmark::Kind::BibItem;
}

bool matches(const Landmark &landmark, const UsageName &name)
{
    if (landmark.key != name.name)
        return false;
    return name.kind == UsageName::Kind::Label ? isLabelKind(landmark.kind)
                                               : isKeyKind(landmark.kind);
}

// The keys of labels and citations: the scanner's, and those of each comment,
// scanned on its own so that a commented \begin{verbatim} hides nothing after it.
QList<Usage> keysInText(QStringView text, const UsageName &name, const QList<Landmark> &landmarks,
                        const Skipped &skipped)
{
    QList<Usage> found;
    for (const Landmark &landmark : landmarks)
        if (matches(landmark, name))
            found.append({landmark.offset, landmark.length, false});
    for (const LandmarkScanner::Skipped &stretch : skipped) {
        if (!stretch.comment)
            continue;
        // Nothing of a comment is verbatim: its \begin is read as any word.
        const QString comment = text.mid(stretch.start, stretch.end - stretch.start)
                                    .toString()
                                    .replace(QLatin1String("\\begin"), QLatin1String("\\Begin"));
        for (const Landmark &landmark : LandmarkScanner::scan(comment))
            if (matches(landmark, name))
                found.append({qint32(stretch.start + landmark.offset), landmark.length, true});
    }
    std::sort(found.begin(), found.end(),
              [](const Usage &a, const Usage &b) { return a.offset < b.offset; });
    return found;
}

// An odd run of backslashes before i escapes the character at i.
bool isEscaped(QStringView text, qsizetype i)
{
    qsizetype run = 0;
    while (i - run - 1 >= 0 && text[i - run - 1] == u'\\')
        ++run;
    return run % 2 == 1;
}

QList<Usage> commandsInText(QStringView text, const QString &name, const Skipped &skipped)
{
    QList<Usage> found;
    const QString wanted = u'\\' + name;
    for (qsizetype at = text.indexOf(wanted); at >= 0; at = text.indexOf(wanted, at + 1)) {
        const qsizetype end = at + wanted.size();
        if (isEscaped(text, at) || (end < text.size() && isLetter(text[end])))
            continue;
        if (const std::optional<bool> inComment = inCommentAt(skipped, at))
            found.append({qint32(at + 1), qint32(name.size()), *inComment});
    }
    return found;
}

QList<Usage> environmentsInText(QStringView text, const QString &name, const Skipped &skipped)
{
    QList<Usage> found;
    QRegularExpressionMatchIterator it = namedGroup().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype at = match.capturedStart();
        if (match.captured(2) != name || !environmentNamers().contains(match.captured(1))
            || isEscaped(text, at))
            continue;
        if (const std::optional<bool> inComment = inCommentAt(skipped, at))
            found.append({qint32(match.capturedStart(2)), qint32(name.size()), *inComment});
    }
    return found;
}

} // namespace

QList<Usage> UsageScanner::inText(QStringView text, const UsageName &name)
{
    if (name.name.isEmpty())
        return {};
    // A text without the name has none of its places: most files, in a long document.
    if (!text.contains(name.name))
        return {};
    Skipped skipped;
    const QList<Landmark> landmarks = LandmarkScanner::scan(text, &skipped);
    switch (name.kind) {
    case UsageName::Kind::Label:
    case UsageName::Kind::CitationKey:
        return keysInText(text, name, landmarks, skipped);
    case UsageName::Kind::Command:
        return commandsInText(text, name.name, skipped);
    case UsageName::Kind::Environment:
        return environmentsInText(text, name.name, skipped);
    case UsageName::Kind::File:
        return {};
    }
    return {};
}

std::optional<UsageName> UsageScanner::nameAt(QStringView text, qsizetype position)
{
    const auto covers = [position](qsizetype start, qsizetype length) {
        return position >= start && position <= start + length;
    };
    // A key of a label, reference or citation, the line's own landmarks.
    const qsizetype lineStart = text.lastIndexOf(u'\n', qMax<qsizetype>(0, position - 1)) + 1;
    qsizetype lineEnd = text.indexOf(u'\n', position);
    lineEnd = lineEnd < 0 ? text.size() : lineEnd;
    const QStringView line = text.mid(lineStart, lineEnd - lineStart);
    for (const Landmark &landmark : LandmarkScanner::scan(line)) {
        if (!covers(lineStart + landmark.offset, landmark.length))
            continue;
        if (isLabelKind(landmark.kind))
            return UsageName{UsageName::Kind::Label, landmark.key};
        if (isKeyKind(landmark.kind))
            return UsageName{UsageName::Kind::CitationKey, landmark.key};
    }
    // An environment's name in \begin{...} and its kin.
    QRegularExpressionMatchIterator it = namedGroup().globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (environmentNamers().contains(match.captured(1)) && !match.captured(2).isEmpty()
            && covers(lineStart + match.capturedStart(2), match.capturedLength(2)))
            return UsageName{UsageName::Kind::Environment, match.captured(2)};
    }
    // A command's name, the caret on its backslash or its letters; the name that
    // follows a definer ("\newcommand{\name}") rather than the definer itself.
    qsizetype start = position;
    while (start > lineStart && isLetter(text[start - 1]))
        --start;
    if (start < text.size() && text[start] == u'\\' && position == start)
        ++start;
    if (start > lineStart && text[start - 1] == u'\\' && !isEscaped(text, start - 1)) {
        qsizetype end = start;
        while (end < lineEnd && isLetter(text[end]))
            ++end;
        if (end > start) {
            const QString command = text.mid(start, end - start).toString();
            if (!commandDefiners().contains(command))
                return UsageName{UsageName::Kind::Command, command};
        }
    }
    return std::nullopt;
}

namespace {

// "@type{key," and "@type(key,", not @string, @preamble or @comment; the key's span.
const QRegularExpression &bibEntry()
{
    static const QRegularExpression entry(
        QStringLiteral("@[ \\t]*([A-Za-z]+)[ \\t]*[{(][ \\t\\n]*([^,\\s{}()\"=#%]+)[ \\t\\n]*,"));
    return entry;
}

bool isEntryType(const QString &type)
{
    const QString lower = type.toLower();
    return lower != u"string" && lower != u"preamble" && lower != u"comment";
}

} // namespace

std::optional<UsageName> UsageScanner::nameAtInBib(QStringView text, qsizetype position)
{
    QRegularExpressionMatchIterator it = bibEntry().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedStart() > position)
            break;
        if (isEntryType(match.captured(1)) && position >= match.capturedStart(2)
            && position <= match.capturedEnd(2))
            return UsageName{UsageName::Kind::CitationKey, match.captured(2)};
    }
    return std::nullopt;
}

QList<Usage> UsageScanner::inBib(QStringView text, const QString &key)
{
    QList<Usage> entries;
    QRegularExpressionMatchIterator it = bibEntry().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (isEntryType(match.captured(1)) && match.capturedView(2) == key)
            entries.append({qint32(match.capturedStart(2)), qint32(key.size()), false});
    }
    return entries;
}
