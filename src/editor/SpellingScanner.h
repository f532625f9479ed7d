#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

// Finds the words of LaTeX source that are prose, for the spell checker: the running
// text and the arguments that are typeset as text (titles, captions, footnotes,
// emphasis). Left out are command names, comments, math, verbatim text and the
// arguments that are keys or code: labels, references, citations, files, packages
// and their options, environment names, table column layouts, key=value lists,
// URLs, colours and lengths; and tokens that are not words of a language (with
// digits, or joined by : _ @ or .). A pure function of a line and the state the
// line begins in, for any thread.
class SpellingScanner
{
public:
    // The math a line begins or ends in; None for running text.
    enum class Math { None, Dollar, DoubleDollar, Bracket, Parenthesis, Environment };

    // How the inside of an argument is read.
    enum class Reading : quint8 {
        Text, // checked
        Keys, // not checked: keys, options, code
        Url,  // not checked, and % and \ in it are plain characters
    };

    // An argument that is open at the end of a line.
    struct Group
    {
        QChar close; // } or ]
        Reading reading = Reading::Text;
        bool mayHoldKeys = false; // text that becomes Keys at its first '='
        int depth = 0;            // braces opened inside it and still open
        QString after;            // the arguments its command takes after it
        bool operator==(const Group &) const = default;
    };

    // What one line hands on to the next. The default is plain running text.
    struct State
    {
        Math math = Math::None;
        // The environment whose \end ends the math (Math::Environment) or the
        // verbatim body, or whose verbatim body begins after its arguments.
        QString environment;
        bool verbatim = false;
        // The arguments the latest command still takes (ArgumentSignatures' letters).
        QString expected;
        QList<Group> groups; // the open arguments, outermost first
        bool operator==(const State &) const = default;
    };

    struct Word
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Word &) const = default;
    };

    // The words of one line to check, in order; `state` is the state the line begins
    // in and becomes the state it ends in.
    static QList<Word> words(QStringView line, State &state);
};
