#pragma once

#include <QObject>

class QSplitter;
class StatusView;

// Keeps the console under the text within its limits: dragging the divider can
// make the console lower than 100 pixels but never taller, and a console closed to
// nothing after a clean compile keeps one pixel, so that it can be dragged open.
class StatusSplitViewDelegate : public QObject
{
    Q_OBJECT

public:
    static constexpr int consoleHeight = 100;

    // The split view is the console area's parent.
    explicit StatusSplitViewDelegate(StatusView *statusView);

    // Where the divider may go when dragged to the proposed position, measured from
    // the top of a split view of the given height.
    static int constrainSplitPosition(int proposed, double splitHeight, int dividerThickness);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void splitterMoved(int position);
    void splitViewDidResizeSubviews();

    StatusView *_statusView; // not owned
    QSplitter *_splitView;   // not owned
};
