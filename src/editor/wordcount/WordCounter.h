#pragma once

#include "editor/SpellingScanner.h"

#include <QStringView>

// Counts the words of LaTeX source that a reader sees as running text: prose,
// section titles, captions, footnotes, the text arguments of commands and the cells
// of tables. Commands, math, comments, verbatim text, the preamble and the
// arguments that are keys (labels, citations, files, environment names, options)
// are left out. Which
// arguments are prose is the spelling scanner's knowledge; this class reads its
// words and adds what the scanner passes over on purpose but a reader still counts:
// numbers and abbreviations ("2023", "3.14", "e.g."), and a hyphenated word counts
// once. A pure function of the text and the state it begins in, for any thread.
class WordCounter
{
public:
    // Where a stretch of text begins. The tree cuts lines where commands stand; a
    // piece of a line is read as a line, which counts the same.
    struct State
    {
        SpellingScanner::State scanner;
        // Between \documentclass and \begin{document}: settings, not text.
        bool preamble = false;
        bool operator==(const State &) const = default;
    };

    // The words of the text; `state` is where the text begins and becomes where it
    // ends. Lines end at '\n' and at U+2029 (a selection's paragraph separator).
    static int count(QStringView text, State &state);
    // The words of text that begins as running text at the start of a line.
    static int count(QStringView text);

private:
    static int countLines(QStringView text, State &state);
};
