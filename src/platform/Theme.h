#pragma once

#include <QColor>

// The colours of the text view, its syntax colouring and the panes, all in one
// place. One theme today, a light page whatever the desktop's; every colour the
// program paints itself comes from here.
class Theme
{
public:
    static const Theme &current();

    QColor page;            // the text view's background
    QColor text;            // its text
    QColor controlSequence; // \commands
    QColor comment;         // % to the line's end
    QColor bracket;         // { } [ ] ( )
    QColor currentLine;     // the bar under the line of the insertion point, see-through
    QColor findIndicator;   // the flash on an occurrence the find strip found
    QColor templateOutline; // the outline the template list draws
    QColor gutter;          // the line-number gutter's background
    QColor gutterText;      // its line numbers
    QColor matchingBracket; // a bracket at the caret and its partner
    QColor misspelt;        // the wavy line under a misspelt word
};
