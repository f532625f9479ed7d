#include "compile/StatusView.h"

#include "platform/Theme.h"

#include <QChildEvent>
#include <QPainter>

StatusView::StatusView(QWidget *parent)
    : QWidget(parent)
    , _isTransformingText(QStringLiteral(":/transforming_to_pdf.png"))
    , _isFineText(QStringLiteral(":/everything_went_fine.png"))
{}

void StatusView::setStatusToTransforming()
{
    _isTransforming = true;
    _isFine = false;
    update();
}

void StatusView::setStatusToBeingFine()
{
    _isTransforming = false;
    _isFine = true;
    update();
}

void StatusView::resetText()
{
    _isTransforming = false;
    _isFine = false;
    update();
}

void StatusView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Theme::current().paintPane(&painter, rect());
    // The fine and the reset state look the same: only a running compile shows. A
    // closed console shows no sliver of the picture.
    const QPixmap &status = _isTransforming ? _isTransformingText : _isFineText;
    if (!status.isNull() && height() >= status.height()) {
        painter.drawPixmap(width() / 2 - status.width() / 2, height() / 2 - status.height() / 2,
                           status);
    }
}

void StatusView::resizeEvent(QResizeEvent *)
{
    layOutContent();
}

void StatusView::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    if (event->added())
        layOutContent();
}

// The content fills the area whatever its height; a layout would give the area the
// content's minimum height. A closed console (a pixel or none) hides it, so that
// neither the eye nor a screen reader finds controls squeezed into nothing.
void StatusView::layOutContent()
{
    for (QObject *child : children()) {
        if (auto *widget = qobject_cast<QWidget *>(child); widget && !widget->isWindow()) {
            widget->setGeometry(rect());
            widget->setVisible(height() > closedHeight);
        }
    }
}
