#include "app/TemplatesListView.h"

#include <QPainter>

void TemplatesListView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::red);
    painter.drawRect(100, 10, 40, 30);
}
