#include "compile/SplitViewWithLabel.h"

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

// Views stacked one above the other meet at a horizontal divider.
QPixmap SplitViewWithLabel::bar() const
{
    return QPixmap(orientation() == Qt::Vertical
                       ? QStringLiteral(":/horisontalGradientSplitter.png")
                       : QStringLiteral(":/verticalGradientSplitter.png"));
}

QPixmap SplitViewWithLabel::grip() const
{
    return QPixmap(orientation() == Qt::Vertical
                       ? QStringLiteral(":/horisontalGradientSplitterGrip.png")
                       : QStringLiteral(":/verticalGradientSplitterGrip.png"));
}

QPixmap SplitViewWithLabel::drawDividerInRect(const QSize &size) const
{
    QPixmap divider(size);
    divider.fill(Qt::transparent);
    QPainter painter(&divider);
    painter.drawPixmap(divider.rect(), bar());
    const QPixmap centre = grip();
    if (orientation() == Qt::Vertical)
        painter.drawPixmap(size.width() / 2 - centre.width() / 2, 0, centre);
    else
        painter.drawPixmap(0, size.height() / 2 - centre.height() / 2, centre);
    return divider;
}
