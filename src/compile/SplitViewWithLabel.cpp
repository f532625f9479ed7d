#include "compile/SplitViewWithLabel.h"

#include "platform/Theme.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

class Divider : public QSplitterHandle
{
public:
    Divider(Qt::Orientation orientation, SplitViewWithLabel *parent)
        : QSplitterHandle(orientation, parent)
        , _splitView(parent)
    {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, _splitView->drawDividerInRect(size()));
    }

private:
    SplitViewWithLabel *_splitView;
};

} // namespace

SplitViewWithLabel::SplitViewWithLabel(QWidget *parent)
    : QSplitter(parent)
{
    setHandleWidth(dividerThickness);
}

QSplitterHandle *SplitViewWithLabel::createHandle()
{
    return new Divider(orientation(), this);
}

// Drawn in the current theme's colours, so that the divider never stays light on a
// dark window. Views stacked one above the other meet at a horizontal bar, shaded
// from top to bottom; views side by side at a vertical one, shaded from left to right.
QPixmap SplitViewWithLabel::drawDividerInRect(const QSize &size) const
{
    const Theme &theme = Theme::current();
    const bool stacked = orientation() == Qt::Vertical;
    QPixmap divider(size);
    divider.fill(Qt::transparent);
    QPainter painter(&divider);
    const QRect bar = divider.rect();
    QLinearGradient shade(bar.topLeft(), stacked ? bar.bottomLeft() : bar.topRight());
    shade.setColorAt(0, theme.dividerTop);
    shade.setColorAt(1, theme.dividerBottom);
    painter.fillRect(bar, shade);
    painter.fillRect(stacked ? QRect(0, size.height() - 1, size.width(), 1)
                             : QRect(size.width() - 1, 0, 1, size.height()),
                     theme.dividerEdge);
    // The grip: three dots along the bar, in its middle.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.grip);
    const QPointF middle = QRectF(bar).center();
    for (int dot = -1; dot <= 1; ++dot)
        painter.drawEllipse(middle + (stacked ? QPointF(dot * 6, 0) : QPointF(0, dot * 6)), 1.5,
                            1.5);
    return divider;
}
