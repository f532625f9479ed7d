#include "app/TemplatesListView.h"

#include "platform/Theme.h"

#include <QPainter>

void TemplatesListView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Theme::current().templateOutline);
    painter.drawRect(100, 10, 40, 30);
}
