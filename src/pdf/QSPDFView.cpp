#include "pdf/QSPDFView.h"

#include "platform/Theme.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QScreen>
#include <QScrollBar>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace {

// One step of zooming in; the wheel zooms by fractions of it.
constexpr qreal zoomStep = 1.25;

// Pixels to the PDF point at the zoom factor 1, as the view takes it.
qreal screenResolution()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 72.0 : 1.0;
}

} // namespace

QSPDFView::QSPDFView(QWidget *parent)
    : QPdfView(parent)
    , _markFading(new QVariantAnimation(this))
{
    setPageMode(PageMode::MultiPage);
    setZoomMode(ZoomMode::FitToWidth);
    // Fitted to the width, the pages are as tall as the viewport is wide. A scroll bar
    // shown only when needed would take its width from the viewport, so a page about
    // as tall as the pane would need the bar without it and not with it: the view
    // would show and hide it for ever, in calls queued one after the other that keep
    // the event loop from everything else. With the bar always there the width, and
    // so the layout, no longer depends on whether the pages fit.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The mark stays bright for a moment, then fades.
    _markFading->setStartValue(1.0);
    _markFading->setEndValue(0.0);
    _markFading->setDuration(1500);
    _markFading->setEasingCurve(QEasingCurve::InQuad);
    connect(_markFading, &QVariantAnimation::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    connect(_markFading, &QVariantAnimation::finished, viewport(), qOverload<>(&QWidget::update));
}

// The page's size on screen, computed as the view computes it.
QSizeF QSPDFView::pageSize(int page) const
{
    const QSizeF points = document()->pagePointSize(page);
    const QSize unzoomed = QSizeF(points * screenResolution()).toSize();
    const QMargins margins = documentMargins();
    switch (zoomMode()) {
    case ZoomMode::Custom:
        return QSizeF(points * screenResolution() * zoomFactor()).toSize();
    case ZoomMode::FitToWidth:
        if (unzoomed.width() <= 0)
            return unzoomed;
        return unzoomed
               * (qreal(viewport()->width() - margins.left() - margins.right()) / unzoomed.width());
    case ZoomMode::FitInView:
        return unzoomed.scaled(viewport()->size()
                                   - QSize(margins.left() + margins.right(), pageSpacing()),
                               Qt::KeepAspectRatio);
    }
    return unzoomed;
}

QList<QRect> QSPDFView::pageGeometries() const
{
    QList<QRect> pages;
    if (!document())
        return pages;
    const QMargins margins = documentMargins();
    int widest = 0;
    int y = margins.top();
    for (int page = 0; page < document()->pageCount(); ++page) {
        const QSize size = pageSize(page).toSize();
        pages.append(QRect(QPoint(0, y), size));
        widest = qMax(widest, size.width());
        y += size.height() + pageSpacing();
    }
    // Pages are centred in the wider of the view and the widest page with its margins.
    const int totalWidth = qMax(widest + margins.left() + margins.right(), viewport()->width());
    for (QRect &page : pages)
        page.moveLeft((totalWidth - page.width()) / 2);
    return pages;
}

QRect QSPDFView::pageGeometry(int page) const
{
    return pageGeometries().value(page);
}

QPoint QSPDFView::scrollOffset() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

std::pair<int, QPointF> QSPDFView::nearestPagePoint(const QPoint &viewportPoint) const
{
    const QPoint point = viewportPoint + scrollOffset();
    const QList<QRect> pages = pageGeometries();
    int page = 0;
    while (page + 1 < pages.size() && pages.at(page + 1).top() <= point.y())
        ++page;
    const QRect geometry = pages.value(page);
    if (geometry.isEmpty())
        return {page, QPointF()};
    const QSizeF points = document()->pagePointSize(page);
    const QPointF onPage = point - geometry.topLeft();
    return {page, QPointF(onPage.x() * points.width() / geometry.width(),
                          onPage.y() * points.height() / geometry.height())};
}

std::optional<std::pair<int, QPointF>> QSPDFView::pagePointAt(const QPoint &viewportPoint) const
{
    if (!document() || document()->pageCount() == 0)
        return std::nullopt;
    const std::pair<int, QPointF> nearest = nearestPagePoint(viewportPoint);
    if (!pageGeometry(nearest.first).contains(viewportPoint + scrollOffset()))
        return std::nullopt;
    return nearest;
}

void QSPDFView::placePoint(int page, QPointF point, const QPoint &viewportPoint)
{
    const QRect geometry = pageGeometry(page);
    const QSizeF points = document()->pagePointSize(page);
    const QPointF scrolled = geometry.topLeft()
                             + QPointF(point.x() * geometry.width() / points.width(),
                                       point.y() * geometry.height() / points.height())
                             - viewportPoint;
    horizontalScrollBar()->setValue(qRound(scrolled.x()));
    verticalScrollBar()->setValue(qRound(scrolled.y()));
}

void QSPDFView::showPage(int page)
{
    if (!document() || page < 0 || page >= document()->pageCount())
        return;
    pageNavigator()->jump(page, QPointF());
    verticalScrollBar()->setValue(pageGeometry(page).top() - documentMargins().top());
    _turnedToPage = page;
    _turnedAtScroll = verticalScrollBar()->value();
}

int QSPDFView::currentPage() const
{
    const int pages = document() ? document()->pageCount() : 0;
    if (pages == 0)
        return 0;
    // The last pages may not scroll up to the top of the view, and the view takes
    // the page in its middle for the current one: the page turned to stays current
    // until the view scrolls.
    if (_turnedToPage >= 0 && _turnedToPage < pages
        && verticalScrollBar()->value() == _turnedAtScroll)
        return _turnedToPage;
    return qBound(0, pageNavigator()->currentPage(), pages - 1);
}

void QSPDFView::showPoint(int page, QPointF point)
{
    if (!document() || page < 0 || page >= document()->pageCount())
        return;
    const QSizeF points = document()->pagePointSize(page);
    // A bar across the page over the line whose baseline passes through the point.
    _mark = Mark{page, QRectF(0, point.y() - 10, points.width(), 13)};

    // The view scrolls only when the point is not well inside it already.
    const QRect geometry = pageGeometry(page);
    const QPointF shown = geometry.topLeft()
                          + QPointF(point.x() * geometry.width() / points.width(),
                                    point.y() * geometry.height() / points.height())
                          - scrollOffset();
    const QRect viewRect = viewport()->rect();
    const QRect wellInside = viewRect.adjusted(viewRect.width() / 10, viewRect.height() / 10,
                                               -viewRect.width() / 10, -viewRect.height() / 10);
    if (!wellInside.contains(shown.toPoint()))
        placePoint(page, point, QPoint(viewRect.width() / 8, viewRect.height() / 3));
    _turnedToPage = page;
    _turnedAtScroll = verticalScrollBar()->value();

    _markFading->stop();
    _markFading->start();
}

qreal QSPDFView::effectiveZoom() const
{
    if (zoomMode() == ZoomMode::Custom || !document() || document()->pageCount() == 0)
        return zoomFactor();
    const int page = currentPage();
    const qreal unzoomed = document()->pagePointSize(page).width() * screenResolution();
    return unzoomed > 0 ? pageSize(page).width() / unzoomed : zoomFactor();
}

void QSPDFView::setZoom(ZoomMode mode, qreal factor, const QPoint &anchor)
{
    if (!document() || document()->pageCount() == 0) {
        setZoomFactor(factor);
        setZoomMode(mode);
        return;
    }
    const auto [page, point] = nearestPagePoint(anchor);
    setZoomFactor(factor);
    setZoomMode(mode);
    placePoint(page, point, anchor);
}

void QSPDFView::zoomBy(qreal factor, const QPoint &anchor)
{
    setZoom(ZoomMode::Custom, std::clamp(effectiveZoom() * factor, minimumZoom, maximumZoom),
            anchor);
}

void QSPDFView::zoomIn()
{
    zoomBy(zoomStep, viewport()->rect().center());
}

void QSPDFView::zoomOut()
{
    zoomBy(1 / zoomStep, viewport()->rect().center());
}

void QSPDFView::fitToWidth()
{
    // What is at the top of the view stays there.
    setZoom(ZoomMode::FitToWidth, zoomFactor(), QPoint(viewport()->width() / 2, 0));
}

void QSPDFView::fitInView()
{
    const int page = currentPage();
    setZoomMode(ZoomMode::FitInView);
    showPage(page);
}

void QSPDFView::mousePressEvent(QMouseEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (event->button() == Qt::LeftButton && (modifiers & Qt::ControlModifier)
        && !(modifiers & Qt::AltModifier)) {
        if (const auto pagePoint = pagePointAt(event->position().toPoint()))
            emit syncPointClicked(pagePoint->first + 1, pagePoint->second);
        event->accept();
        return;
    }
    QPdfView::mousePressEvent(event);
}

void QSPDFView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QPdfView::wheelEvent(event);
        return;
    }
    // A notch of the wheel is 120; touchpads send fractions of it.
    if (const int delta = event->angleDelta().y())
        zoomBy(std::pow(zoomStep, delta / 120.0), event->position().toPoint());
    event->accept();
}

void QSPDFView::paintEvent(QPaintEvent *event)
{
    QPdfView::paintEvent(event);
    if (_markFading->state() != QAbstractAnimation::Running || !document()
        || _mark.page >= document()->pageCount())
        return;
    const QRect geometry = pageGeometry(_mark.page);
    const QSizeF points = document()->pagePointSize(_mark.page);
    const qreal xScale = geometry.width() / points.width();
    const qreal yScale = geometry.height() / points.height();
    const QRectF bar(geometry.left() + _mark.rect.x() * xScale,
                     geometry.top() + _mark.rect.y() * yScale, _mark.rect.width() * xScale,
                     _mark.rect.height() * yScale);
    QColor colour = Theme::current().syncMark;
    colour.setAlphaF(colour.alphaF() * _markFading->currentValue().toReal());
    QPainter painter(viewport());
    painter.fillRect(bar.translated(-scrollOffset()), colour);
}
