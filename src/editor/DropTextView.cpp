#include "editor/DropTextView.h"

#include "editor/SmartDrop.h"
#include "editor/SmartDropMouseCursorViewController.h"
#include "editor/SmartDropNoDropExistSheetController.h"
#include "platform/Log.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace {

// Only the first file of a drag counts; a drag without local files carries none.
std::optional<QString> firstDraggedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return std::nullopt;
}

} // namespace

DropTextView::DropTextView(QWidget *parent)
    : QSTextView(parent)
{
    setAcceptDrops(true);
}

void DropTextView::mousePressEvent(QMouseEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (event->button() == Qt::LeftButton && (modifiers & Qt::ControlModifier)
        && !(modifiers & Qt::AltModifier)) {
        // The clicked line is the one synced: the caret goes there first. The click
        // starts no selection or drag of its own.
        setTextCursor(cursorForPosition(event->position().toPoint()));
        emit pdfSyncRequested();
        event->accept();
        return;
    }
    QSTextView::mousePressEvent(event);
}

void DropTextView::dragEnterEvent(QDragEnterEvent *event)
{
    _oldMouseLocation = event->position().toPoint();
    delete _mousePointerView;
    _mousePointerView = new SmartDropMouseCursorViewController(viewport());
    if (const std::optional<QString> path = firstDraggedFile(event->mimeData())) {
        _lastDraggedFilePath = *path;
        _toInsert = SmartDrop::sharedSmartDrop()->smartDropForFileWithPath(
            *path, _rootFolder ? _rootFolder() : QString());
        if (_toInsert) {
            _mousePointerView->setDataToShow(*_toInsert);
            _mousePointerView->followPointer(_oldMouseLocation);
        }
    }
    // Text dragged within this view is not moved by a drop.
    if (event->source() == this) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropTextView::dragMoveEvent(QDragMoveEvent *event)
{
    // The standard handling moves the drop caret along with the pointer.
    QSTextView::dragMoveEvent(event);
    if (_mousePointerView)
        _mousePointerView->followPointer(event->position().toPoint());
    if (event->source() != this) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void DropTextView::dragLeaveEvent(QDragLeaveEvent *event)
{
    delete _mousePointerView;
    QSTextView::dragLeaveEvent(event);
}

void DropTextView::dropEvent(QDropEvent *event)
{
    delete _mousePointerView;
    if (!firstDraggedFile(event->mimeData())) {
        qsLog(quillsetEditor, QStringLiteral("error reading from dragging pasteboard"));
        event->ignore();
        return;
    }
    const QTextCursor dropPlace = cursorForPosition(event->position().toPoint());
    _lastDraggedRange = QSRange{quint32(dropPlace.position()), 0};
    if (_toInsert) {
        typeIn(*_toInsert, _lastDraggedRange);
    } else {
        auto *sheet = new SmartDropNoDropExistSheetController(this);
        connect(sheet, &SmartDropNoDropExistSheetController::newSmartDropRequested, this,
                &DropTextView::newSmartDropRequested);
        sheet->open();
        qsLog(quillsetEditor, QStringLiteral("no smartdrop was found"));
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropTextView::insertLastDraggedFilePath()
{
    typeIn(_lastDraggedFilePath, _lastDraggedRange);
}

void DropTextView::typeIn(const QString &text, QSRange range)
{
    const int end = document()->characterCount() - 1;
    QTextCursor cursor(document());
    cursor.setPosition(qMin(int(range.location), end));
    cursor.setPosition(qMin(int(range.location + range.length), end), QTextCursor::KeepAnchor);
    cursor.insertText(text);
    setTextCursor(cursor);
    setFocus();
}
