#pragma once

#include <QPixmap>
#include <QSplitter>

// A split view whose 10-pixel divider is a gradient bar with a grip in its middle,
// in the current theme's colours.
class SplitViewWithLabel : public QSplitter
{
    Q_OBJECT

public:
    static constexpr int dividerThickness = 10;

    explicit SplitViewWithLabel(QWidget *parent = nullptr);

    // The divider's picture for a rectangle of the given size.
    QPixmap drawDividerInRect(const QSize &size) const;

protected:
    QSplitterHandle *createHandle() override;
};
