#pragma once

#include <QList>
#include <QStringView>

// Finds the words of LaTeX source that are running text, for the spell checker:
// what is left once command names, the arguments that hold keys (labels,
// references, citations, file names, environment names, packages), math and
// comments are taken out. A pure function of a line and the math the line
// begins in, for any thread.
class SpellingScanner
{
public:
    // The math a line begins or ends in; None for running text.
    enum class Math { None, Dollar, DoubleDollar, Bracket, Parenthesis, Environment };

    struct Word
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Word &) const = default;
    };

    // The words of one line, in order; `math` is the math the line begins in and
    // becomes the math it ends in.
    static QList<Word> words(QStringView line, Math &math);
};
