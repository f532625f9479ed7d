#include "editor/SpellingScanner.h"

#include <QString>

namespace {

// Commands whose first braced argument is a key, not text.
bool takesKey(QStringView name)
{
    static const QStringList names = {
        QStringLiteral("label"), QStringLiteral("ref"), QStringLiteral("eqref"),
        QStringLiteral("pageref"), QStringLiteral("autoref"), QStringLiteral("cref"),
        QStringLiteral("Cref"), QStringLiteral("nameref"), QStringLiteral("cite"),
        QStringLiteral("citep"), QStringLiteral("citet"), QStringLiteral("parencite"),
        QStringLiteral("textcite"), QStringLiteral("autocite"), QStringLiteral("footcite"),
        QStringLiteral("nocite"), QStringLiteral("input"), QStringLiteral("include"),
        QStringLiteral("includegraphics"), QStringLiteral("includeonly"),
        QStringLiteral("usepackage"), QStringLiteral("RequirePackage"),
        QStringLiteral("documentclass"), QStringLiteral("bibliography"),
        QStringLiteral("bibliographystyle"), QStringLiteral("addbibresource"),
        QStringLiteral("begin"), QStringLiteral("end"), QStringLiteral("url"),
        QStringLiteral("href"), QStringLiteral("newcommand"), QStringLiteral("renewcommand"),
        QStringLiteral("newenvironment"), QStringLiteral("renewenvironment"),
        QStringLiteral("DeclareMathOperator"), QStringLiteral("pagestyle"),
        QStringLiteral("thispagestyle"), QStringLiteral("setcounter"),
        QStringLiteral("addtocounter"), QStringLiteral("newcounter"), QStringLiteral("color"),
        QStringLiteral("textcolor"), QStringLiteral("hypersetup"), QStringLiteral("geometry")};
    return names.contains(name.toString());
}

bool isMathEnvironment(QStringView name)
{
    static const QStringList names = {
        QStringLiteral("equation"), QStringLiteral("align"),       QStringLiteral("gather"),
        QStringLiteral("multline"), QStringLiteral("flalign"),     QStringLiteral("alignat"),
        QStringLiteral("eqnarray"), QStringLiteral("math"),        QStringLiteral("displaymath"),
        QStringLiteral("split"),    QStringLiteral("dmath")};
    QStringView base = name;
    if (base.endsWith(u'*'))
        base.chop(1);
    return names.contains(base.toString());
}

// The end of the braced group that starts at the position, or the line's end.
qsizetype groupEnd(QStringView line, qsizetype open)
{
    int depth = 0;
    for (qsizetype at = open; at < line.size(); ++at) {
        if (line[at] == u'\\') {
            ++at;
        } else if (line[at] == u'{') {
            ++depth;
        } else if (line[at] == u'}' && --depth == 0) {
            return at + 1;
        }
    }
    return line.size();
}

qsizetype skipSpaces(QStringView line, qsizetype at)
{
    while (at < line.size() && line[at].isSpace())
        ++at;
    return at;
}

// After the math ends in the line, the position after its closing; -1 when the
// line ends inside it.
qsizetype mathEnd(QStringView line, qsizetype at, SpellingScanner::Math math)
{
    using Math = SpellingScanner::Math;
    for (; at < line.size(); ++at) {
        const QChar c = line[at];
        if (c == u'%' && (at == 0 || line[at - 1] != u'\\'))
            return -1;
        if (c == u'\\' && at + 1 < line.size()) {
            const QChar next = line[at + 1];
            if ((math == Math::Bracket && next == u']') || (math == Math::Parenthesis && next == u')'))
                return at + 2;
            if (math == Math::Environment && line.mid(at).startsWith(u"\\end{")) {
                const qsizetype close = groupEnd(line, at + 4);
                if (isMathEnvironment(line.mid(at + 5, close - at - 6)))
                    return close;
            }
            ++at;
        } else if (c == u'$' && math == Math::Dollar) {
            return at + 1;
        } else if (c == u'$' && math == Math::DoubleDollar && at + 1 < line.size()
                   && line[at + 1] == u'$') {
            return at + 2;
        }
    }
    return -1;
}

} // namespace

QList<SpellingScanner::Word> SpellingScanner::words(QStringView line, Math &math)
{
    QList<Word> found;
    qsizetype at = 0;
    while (at < line.size()) {
        if (math != Math::None) {
            const qsizetype end = mathEnd(line, at, math);
            if (end < 0)
                return found;
            math = Math::None;
            at = end;
            continue;
        }
        const QChar c = line[at];
        if (c == u'%')
            return found;
        if (c == u'$') {
            const bool twice = at + 1 < line.size() && line[at + 1] == u'$';
            math = twice ? Math::DoubleDollar : Math::Dollar;
            at += twice ? 2 : 1;
        } else if (c == u'\\') {
            qsizetype end = at + 1;
            while (end < line.size() && line[end].isLetter())
                ++end;
            const QStringView name = line.mid(at + 1, end - at - 1);
            if (name.isEmpty()) {
                // A one-character command: \[ and \( open math, \% \$ \{ are characters.
                if (end < line.size() && line[end] == u'[')
                    math = Math::Bracket;
                else if (end < line.size() && line[end] == u'(')
                    math = Math::Parenthesis;
                at = end + 1;
                continue;
            }
            at = end;
            if (line.mid(at).startsWith(u'*'))
                ++at;
            if (!takesKey(name))
                continue;
            // Optional arguments, then the key.
            for (at = skipSpaces(line, at); at < line.size() && line[at] == u'[';
                 at = skipSpaces(line, at)) {
                const qsizetype close = line.indexOf(u']', at);
                at = close < 0 ? line.size() : close + 1;
            }
            if (at < line.size() && line[at] == u'{') {
                const qsizetype close = groupEnd(line, at);
                if (name == u"begin" && isMathEnvironment(line.mid(at + 1, close - at - 2)))
                    math = Math::Environment;
                at = close;
            }
        } else if (c.isLetter()) {
            qsizetype end = at + 1;
            // A word goes on through an apostrophe between letters ("don't").
            while (end < line.size()
                   && (line[end].isLetter()
                       || (line[end] == u'\'' && end + 1 < line.size() && line[end + 1].isLetter())))
                ++end;
            found.append({at, end - at});
            at = end;
        } else {
            ++at;
        }
    }
    return found;
}
