#pragma once

#include <QColor>
#include <QPalette>

class QPainter;
class QRect;
class QWidget;

// The colours of the text view, its syntax colouring and the panes, all in one
// place: a light and a dark set, one of them current. Every colour the program
// paints itself comes from the current one. Read and switched on the UI thread.
class Theme
{
public:
    static const Theme &light();
    static const Theme &dark();
    static const Theme &current();
    // The window re-applies the colours after switching (see applyPageColours).
    static void setCurrent(const Theme &theme);

    // A palette for the whole application in these colours.
    QPalette palette() const;
    // Gives the widget the theme's page and text, whatever the application's palette.
    void applyPageColours(QWidget *widget) const;
    // Fills the rectangle with the panes' gradient (paneTop to paneBottom).
    void paintPane(QPainter *painter, const QRect &rect) const;

    bool isDark;
    QColor page;            // the text view's background, and the console's and outline's
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
    QColor unresolved;      // the dotted line under a reference the document does not resolve
    QColor window;          // window and button backgrounds of the application palette
    QColor highlight;       // the selection
    QColor syncMark;        // the bar over the line of the PDF a sync went to, see-through
    // The panes the program paints itself, behind their controls: the find strip and
    // the console area, each a gradient from top to bottom with an edge line below.
    QColor paneTop;
    QColor paneBottom;
    QColor paneEdge;
    // The divider between the text and the console: a gradient across its
    // thickness, an edge line on its far side and a grip of dots in its middle.
    QColor dividerTop;
    QColor dividerBottom;
    QColor dividerEdge;
    QColor grip;
};
