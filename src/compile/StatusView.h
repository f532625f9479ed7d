#pragma once

#include <QPixmap>
#include <QWidget>

// The console area under the text: a background in the theme's pane colours with a
// status picture in the middle, and the console's content laid over the whole of it
// while the area is open. It asks for no minimum height, so the split view can close
// it to one pixel; closed, it hides the content.
class StatusView : public QWidget
{
    Q_OBJECT

public:
    // The height of the area when the console is closed, and below.
    static constexpr int closedHeight = 1;

    explicit StatusView(QWidget *parent = nullptr);

    void setStatusToTransforming();
    void setStatusToBeingFine();
    void resetText();
    bool isTransforming() const { return _isTransforming; }

    QSize minimumSizeHint() const override { return {0, 0}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void layOutContent();

    QPixmap _isTransformingText;
    QPixmap _isFineText;
    bool _isTransforming = false;
    bool _isFine = false;
};
