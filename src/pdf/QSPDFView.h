#pragma once

#include <QPdfView>
#include <optional>

// The PDF pane's view: all pages one below the other. A Ctrl-click on a page asks
// for the source line typeset there.
class QSPDFView : public QPdfView
{
    Q_OBJECT

public:
    explicit QSPDFView(QWidget *parent = nullptr);

    // Where a page lies in the scrolled area (before scrolling), as the view lays
    // pages out: one below the other, centred, with the margins and spacing between.
    QRect pageGeometry(int page) const;
    // The 0-based page under a point of the viewport, and the point on it in PDF
    // points from the page's upper left corner.
    std::optional<std::pair<int, QPointF>> pagePointAt(const QPoint &viewportPoint) const;
    // Scrolls so that the page's top is at the top of the view.
    void showPage(int page);

signals:
    // A Ctrl-click on a 1-based page, at a point in PDF points from its upper left
    // corner.
    void syncPointClicked(int page, QPointF point);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QSizeF pageSize(int page) const;
    QList<QRect> pageGeometries() const;
};
