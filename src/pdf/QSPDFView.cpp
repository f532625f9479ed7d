#include "pdf/QSPDFView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QScreen>
#include <QScrollBar>

QSPDFView::QSPDFView(QWidget *parent)
    : QPdfView(parent)
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
}

// The page's size on screen, computed as the view computes it.
QSizeF QSPDFView::pageSize(int page) const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal resolution = screen ? screen->logicalDotsPerInch() / 72.0 : 1.0;
    QSizeF size = QSizeF(document()->pagePointSize(page) * resolution).toSize();
    if (zoomMode() == ZoomMode::FitToWidth && size.width() > 0) {
        const QMargins margins = documentMargins();
        size *= qreal(viewport()->width() - margins.left() - margins.right()) / size.width();
    } else if (zoomMode() == ZoomMode::Custom) {
        size *= zoomFactor();
    }
    return size.toSize();
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

std::optional<std::pair<int, QPointF>> QSPDFView::pagePointAt(const QPoint &viewportPoint) const
{
    const QPoint point =
        viewportPoint + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QList<QRect> pages = pageGeometries();
    for (int page = 0; page < pages.size(); ++page) {
        const QRect geometry = pages.at(page);
        if (!geometry.contains(point))
            continue;
        const QSizeF points = document()->pagePointSize(page);
        const QPointF onPage = point - geometry.topLeft();
        return std::pair{page, QPointF(onPage.x() * points.width() / geometry.width(),
                                       onPage.y() * points.height() / geometry.height())};
    }
    return std::nullopt;
}

void QSPDFView::showPage(int page)
{
    if (!document() || page < 0 || page >= document()->pageCount())
        return;
    pageNavigator()->jump(page, QPointF());
    verticalScrollBar()->setValue(pageGeometry(page).top() - documentMargins().top());
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
