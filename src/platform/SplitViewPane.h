#pragma once

#include <Qt>

class QWidget;

// The panes that open and close beside the text (the console below it, the PDF
// beside it) are the second view of a split view.
class SplitViewPane
{
public:
    // Gives the pane its height (Qt::Vertical) or width (Qt::Horizontal); the split
    // view's first view takes the rest. A pane outside a split view is resized.
    static void setSize(QWidget *pane, int size, Qt::Orientation orientation);
};
