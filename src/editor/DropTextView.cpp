#include "editor/DropTextView.h"

#include <QMouseEvent>

void DropTextView::mousePressEvent(QMouseEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (event->button() == Qt::LeftButton && (modifiers & Qt::ControlModifier)
        && !(modifiers & Qt::AltModifier))
        emit pdfSyncRequested();
    QSTextView::mousePressEvent(event);
}
