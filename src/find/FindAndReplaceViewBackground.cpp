#include "find/FindAndReplaceViewBackground.h"

#include "platform/Theme.h"

#include <QPainter>

FindAndReplaceViewBackground::FindAndReplaceViewBackground(QWidget *parent)
    : QWidget(parent)
{}

void FindAndReplaceViewBackground::paintEvent(QPaintEvent *)
{
    const Theme &theme = Theme::current();
    QPainter painter(this);
    theme.paintPane(&painter, rect());
    painter.fillRect(0, height() - 1, width(), 1, theme.paneEdge);
}
