#pragma once

#include <QWidget>

class QSTextView;

// The strip left of the text view's text: the line numbers of the lines shown, the
// markers of the last compile's errors and warnings, whose messages it shows as
// tooltips, and the markers of the folds. The view lays it out and paints it.
class LineNumberGutter : public QWidget
{
public:
    explicit LineNumberGutter(QSTextView *view);

    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QSTextView *_view; // the parent
};
