#pragma once

#include <QStringView>
#include <optional>

// Finds the sectioning and include commands of a text the way TeX reads them:
// \part, \chapter, \section, \subsection, \subsubsection, \input and \include,
// each with an optional star and an optional [short title], followed directly by a
// braced argument.
//
// Everything is read within one line, so that what a line holds never depends on
// another line (the edit worker re-reads whole lines only):
// - an unescaped % starts a comment that runs to the end of its line, and a
//   backslash escapes the character after it (\%, \{, \}, and \\ before a command);
// - the optional argument is balanced, may hold braced groups, and must close on
//   its line, else there is no command;
// - the braced argument ends at its balancing brace; when it does not close on its
//   line it runs to the last closing brace of the line before any comment, and with
//   no closing brace there is no command.
class OutlineScanner
{
public:
    struct Command
    {
        qsizetype start = 0;     // the backslash
        qsizetype end = 0;       // just after the closing brace
        QStringView word;        // "section", "input", ...
        qsizetype nameStart = 0; // the argument, without its braces
        qsizetype nameEnd = 0;
    };

    // The text must outlive the scanner. Reading starts at its beginning, which
    // counts as the start of a line.
    explicit OutlineScanner(QStringView text);

    // The next command after the previous one, left to right, or none.
    std::optional<Command> next();

    // Whether the text holds a command at all.
    static bool holdsCommand(QStringView text);

private:
    qsizetype wordLength(qsizetype at) const;
    qsizetype afterOptionalArgument(qsizetype open) const;
    qsizetype closingBrace(qsizetype open) const;
    bool holdsParameter(qsizetype from, qsizetype to) const;
    bool startsCommand(qsizetype backslash);

    QStringView _text;
    qsizetype _position = 0;
    // How far the current line has been read token by token, and whether that
    // reading has entered a comment: backslashes before a candidate may escape it.
    qsizetype _readTo = 0;
    bool _inComment = false;
};
