#include "find/FindAndReplaceViewBackground.h"

#include <QPainter>

FindAndReplaceViewBackground::FindAndReplaceViewBackground(QWidget *parent)
    : QWidget(parent)
    , _background(QStringLiteral(":/findAndReplaceBackground.png"))
{}

void FindAndReplaceViewBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), _background);
}
