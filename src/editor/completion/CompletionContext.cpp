#include "editor/completion/CompletionContext.h"

#include <QStringList>

namespace {

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'@';
}

bool isReference(QStringView command)
{
    static const QStringList commands = {
        u"ref"_qs,   u"eqref"_qs,  u"autoref"_qs, u"pageref"_qs, u"cref"_qs,
        u"Cref"_qs,  u"cpageref"_qs, u"vref"_qs,  u"nameref"_qs, u"labelcref"_qs,
        u"crefrange"_qs, u"Crefrange"_qs, u"subref"_qs};
    return commands.contains(command);
}

// \cite and its kin: natbib's \citep, \citet, \citealt, ...; biblatex's
// \parencite, \textcite, \autocite, \footcite, \smartcite, \supercite, ...
bool isCitation(QStringView command)
{
    if (command.endsWith(u'*'))
        command.chop(1);
    static const QStringList starts = {u"cite"_qs, u"Cite"_qs, u"nocite"_qs};
    static const QStringList others = {u"parencite"_qs, u"Parencite"_qs, u"textcite"_qs,
                                       u"Textcite"_qs,  u"autocite"_qs,  u"Autocite"_qs,
                                       u"footcite"_qs,  u"footcitetext"_qs, u"smartcite"_qs,
                                       u"Smartcite"_qs, u"supercite"_qs, u"fullcite"_qs,
                                       u"footfullcite"_qs};
    for (const QString &start : starts) {
        if (command.startsWith(start))
            return true;
    }
    return others.contains(command);
}

} // namespace

CompletionContext CompletionContext::at(QStringView line, qsizetype column)
{
    column = qBound(qsizetype(0), column, line.size());
    // Nothing is completed in a comment.
    for (qsizetype i = 0; i < column; ++i) {
        if (line[i] == u'\\')
            ++i;
        else if (line[i] == u'%')
            return {};
    }
    // The word being typed, back to what stops it.
    qsizetype start = column;
    while (start > 0 && isLetter(line[start - 1]))
        --start;
    if (start > 0 && line[start - 1] == u'\\') {
        // A backslash that is itself escaped (\\sec) starts no command.
        qsizetype backslashes = 0;
        for (qsizetype i = start - 1; i >= 0 && line[i] == u'\\'; --i)
            ++backslashes;
        if (backslashes % 2 == 1)
            return {Kind::Command, line.mid(start - 1, column - start + 1).toString(), start - 1};
        return {};
    }

    // Inside a braced argument: the key typed since the brace or the last comma.
    start = column;
    while (start > 0 && line[start - 1] != u'{' && line[start - 1] != u','
           && line[start - 1] != u'}' && line[start - 1] != u'\\' && line[start - 1] != u'%')
        --start;
    if (start == 0 || line[start - 1] == u'}' || line[start - 1] == u'\\'
        || line[start - 1] == u'%')
        return {};
    qsizetype brace = start - 1;
    while (brace >= 0 && line[brace] != u'{') {
        if (line[brace] == u'}' || line[brace] == u'\\')
            return {};
        --brace;
    }
    if (brace < 0)
        return {};
    // Back over optional arguments ([see][p.~4]) to the command's name.
    qsizetype end = brace;
    while (end > 0 && line[end - 1] == u']') {
        const qsizetype open = line.lastIndexOf(u'[', end - 1);
        if (open < 0)
            return {};
        end = open;
    }
    qsizetype nameStart = end;
    if (nameStart > 0 && line[nameStart - 1] == u'*')
        --nameStart;
    while (nameStart > 0 && isLetter(line[nameStart - 1]))
        --nameStart;
    if (nameStart == 0 || line[nameStart - 1] != u'\\')
        return {};
    const QStringView command = line.mid(nameStart, end - nameStart);
    while (start < column && line[start].isSpace())
        ++start;
    const QString prefix = line.mid(start, column - start).toString();
    const qsizetype prefixStart = start;
    if (command == u"begin" && brace == end && prefixStart == brace + 1)
        return {Kind::Environment, prefix, prefixStart};
    if (isReference(command))
        return {Kind::Label, prefix, prefixStart};
    if (isCitation(command))
        return {Kind::Citation, prefix, prefixStart};
    return {};
}
