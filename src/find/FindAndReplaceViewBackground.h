#pragma once

#include <QWidget>

// The find strip's background: the theme's pane gradient over the whole strip, with
// an edge line along its foot.
class FindAndReplaceViewBackground : public QWidget
{
    Q_OBJECT

public:
    explicit FindAndReplaceViewBackground(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
