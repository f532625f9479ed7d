#include "editor/LineNumberGutter.h"

#include "editor/QSTextView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

LineNumberGutter::LineNumberGutter(QSTextView *view)
    : QWidget(view)
    , _view(view)
{}

QSize LineNumberGutter::sizeHint() const
{
    return {_view->gutterWidth(), 0};
}

bool LineNumberGutter::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString messages = _view->markerMessagesAt(help->pos().y());
        if (messages.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), messages, this);
        return true;
    }
    return QWidget::event(event);
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    _view->paintGutter(this, event->rect());
}

void LineNumberGutter::mousePressEvent(QMouseEvent *event)
{
    _view->gutterClicked(event->position().toPoint());
}
