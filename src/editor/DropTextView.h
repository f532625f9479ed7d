#pragma once

#include "editor/QSTextView.h"

// The document window's text view. A Ctrl-click (without Alt) asks for the PDF
// page of the line that holds the insertion point, before the click moves it.
class DropTextView : public QSTextView
{
    Q_OBJECT

public:
    using QSTextView::QSTextView;

signals:
    void pdfSyncRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
