#include "compile/StatusSplitViewDelegate.h"

#include "compile/StatusView.h"

#include <QEvent>
#include <QSplitter>

StatusSplitViewDelegate::StatusSplitViewDelegate(StatusView *statusView)
    : QObject(statusView)
    , _statusView(statusView)
    , _splitView(qobject_cast<QSplitter *>(statusView->parentWidget()))
{
    if (!_splitView)
        return;
    connect(_splitView, &QSplitter::splitterMoved, this, &StatusSplitViewDelegate::splitterMoved);
    statusView->installEventFilter(this);
}

int StatusSplitViewDelegate::constrainSplitPosition(int proposed, double splitHeight,
                                                    int dividerThickness)
{
    const int height = int(splitHeight);
    if (height - proposed - dividerThickness < consoleHeight)
        return proposed;
    return height - consoleHeight - dividerThickness;
}

void StatusSplitViewDelegate::splitterMoved(int position)
{
    const int allowed =
        constrainSplitPosition(position, _splitView->height(), _splitView->handleWidth());
    if (allowed != position)
        _splitView->setSizes({allowed, _splitView->height() - allowed - _splitView->handleWidth()});
}

bool StatusSplitViewDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _statusView && event->type() == QEvent::Resize)
        splitViewDidResizeSubviews();
    return false;
}

void StatusSplitViewDelegate::splitViewDidResizeSubviews()
{
    if (_statusView->height() != 0)
        return;
    // Set once the split view has finished laying out.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (_statusView->height() == 0) {
                const QList<int> sizes = _splitView->sizes();
                _splitView->setSizes({qMax(0, sizes.value(0) - 1), 1});
            }
        },
        Qt::QueuedConnection);
}
