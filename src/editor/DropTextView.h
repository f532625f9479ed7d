#pragma once

#include "editor/QSTextView.h"
#include "editor/SmartDropMouseCursorViewController.h"

#include <QPoint>
#include <QPointer>
#include <functional>
#include <optional>

// The document window's text view. A file dropped into it becomes the snippet
// defined for its type (SmartDrop), typed in at the drop position; a file type
// without one opens a sheet. A Ctrl-click (without Alt) puts the insertion point
// where it clicks and asks for the PDF page of that line.
class DropTextView : public QSTextView
{
    Q_OBJECT

public:
    explicit DropTextView(QWidget *parent = nullptr);

    QString lastDraggedFilePath() const { return _lastDraggedFilePath; }
    void setLastDraggedFilePath(const QString &path) { _lastDraggedFilePath = path; }
    QSRange lastDraggedRange() const { return _lastDraggedRange; }
    std::optional<QString> toInsert() const { return _toInsert; }
    SmartDropMouseCursorViewController *mousePointerView() const { return _mousePointerView; }

    // Types the path of the last dropped file in at the place of the drop.
    void insertLastDraggedFilePath();
    // Gives, at each drag, the folder of the document's root file, from which snippets
    // write the dropped file's path; an empty folder (or none set) gives absolute paths.
    void setRootFolder(std::function<QString()> rootFolder) { _rootFolder = std::move(rootFolder); }

signals:
    void pdfSyncRequested();
    // A dropped file's type has no snippet and the user wants to write one.
    void newSmartDropRequested(const QString &fileType);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Inserts the text as if typed at the range: undoable and seen by the outline.
    void typeIn(const QString &text, QSRange range);

    std::optional<QString> _toInsert;
    QPointer<SmartDropMouseCursorViewController> _mousePointerView;
    QPoint _oldMouseLocation;
    QString _lastDraggedFilePath;
    QSRange _lastDraggedRange{0, 0};
    std::function<QString()> _rootFolder;
};
