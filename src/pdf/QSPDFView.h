#pragma once

#include <QPdfView>
#include <QRectF>
#include <optional>

class QVariantAnimation;

// The PDF pane's view: all pages one below the other. A Ctrl-click on a page asks
// for the source line typeset there; Ctrl and the wheel zoom.
class QSPDFView : public QPdfView
{
    Q_OBJECT

public:
    // A line marked after a sync: a 0-based page and a bar across it in PDF points
    // from the page's upper left corner.
    struct Mark
    {
        int page = -1;
        QRectF rect;
    };

    // Beyond these the pages are too small to read, or their images too large to keep.
    static constexpr qreal minimumZoom = 0.25;
    static constexpr qreal maximumZoom = 4.0;

    explicit QSPDFView(QWidget *parent = nullptr);

    // Where a page lies in the scrolled area (before scrolling), as the view lays
    // pages out: one below the other, centred, with the margins and spacing between.
    QRect pageGeometry(int page) const;
    // The 0-based page under a point of the viewport, and the point on it in PDF
    // points from the page's upper left corner.
    std::optional<std::pair<int, QPointF>> pagePointAt(const QPoint &viewportPoint) const;
    // Scrolls so that the page's top is at the top of the view.
    void showPage(int page);
    // The 0-based page the reader is at: the one last turned to until the view
    // scrolls, then the one the view itself calls current.
    int currentPage() const;
    // Brings a point of a page, in PDF points from its upper left corner, into view
    // and marks the line there for a moment.
    void showPoint(int page, QPointF point);
    // The last line marked, faded or not.
    Mark lastMark() const { return _mark; }

    // The pages' scale against the zoom factor 1, whatever the zoom mode.
    qreal effectiveZoom() const;
    // A step larger or smaller, around the middle of the view.
    void zoomIn();
    void zoomOut();
    // Fits the pages to the width, or the whole current page in the view.
    void fitToWidth();
    void fitInView();

signals:
    // A Ctrl-click on a 1-based page, at a point in PDF points from its upper left
    // corner.
    void syncPointClicked(int page, QPointF point);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QSizeF pageSize(int page) const;
    QList<QRect> pageGeometries() const;
    QPoint scrollOffset() const;
    // The page whose top lies at or above a point of the viewport (the first when
    // none does) and the point measured on it in PDF points, even beyond its edges.
    std::pair<int, QPointF> nearestPagePoint(const QPoint &viewportPoint) const;
    // Scrolls so that a point of a page lies at a point of the viewport.
    void placePoint(int page, QPointF point, const QPoint &viewportPoint);
    // Changes the zoom keeping the point under the anchor, a point of the viewport,
    // in place.
    void setZoom(ZoomMode mode, qreal factor, const QPoint &anchor);
    // Multiplies the scale, within bounds.
    void zoomBy(qreal factor, const QPoint &anchor);

    int _turnedToPage = -1;
    int _turnedAtScroll = 0; // the vertical scroll value after the turn
    Mark _mark;
    QVariantAnimation *_markFading;
};
