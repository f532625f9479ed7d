#pragma once

#include <QPixmap>
#include <QWidget>

// The find strip's background: its image stretched over the whole strip.
class FindAndReplaceViewBackground : public QWidget
{
    Q_OBJECT

public:
    explicit FindAndReplaceViewBackground(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap _background;
};
