#include "platform/SplitViewPane.h"

#include <QSplitter>

void SplitViewPane::setSize(QWidget *pane, int size, Qt::Orientation orientation)
{
    if (!pane)
        return;
    auto *splitView = qobject_cast<QSplitter *>(pane->parentWidget());
    if (!splitView) {
        if (orientation == Qt::Vertical)
            pane->resize(pane->width(), size);
        else
            pane->resize(size, pane->height());
        return;
    }
    int total = 0;
    for (int extent : splitView->sizes())
        total += extent;
    // Before the window is first laid out the split view shares its extent out in
    // proportion to the sizes given.
    if (total <= 0)
        total = QWIDGETSIZE_MAX;
    splitView->setSizes({qMax(0, total - size), size});
}
