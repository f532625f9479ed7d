#pragma once

#include <QPdfView>
#include <optional>

class MyDocument;

// The PDF pane's view: all pages one below the other. A Ctrl-click on a page asks
// the document for the source line typeset there.
class QSPDFView : public QPdfView
{
    Q_OBJECT

public:
    explicit QSPDFView(QWidget *parent = nullptr);

    void setMyDocument(MyDocument *document) { _document = document; }

    // Where a page lies in the scrolled area (before scrolling), as the view lays
    // pages out: one below the other, centred, with the margins and spacing between.
    QRect pageGeometry(int page) const;
    // The 0-based page under a point of the viewport, and the point on it in PDF
    // points from the page's upper left corner.
    std::optional<std::pair<int, QPointF>> pagePointAt(const QPoint &viewportPoint) const;
    // Scrolls so that the page's top is at the top of the view.
    void showPage(int page);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QSizeF pageSize(int page) const;
    QList<QRect> pageGeometries() const;

    MyDocument *_document = nullptr; // not owned
};
