#pragma once

#include <QAccessibleWidget>

class QSTextView;
class QTextCursor;

// What assistive technology (screen readers, magnifiers) learns of a text view: its
// text, caret and selection, each character's place on the screen, and edits.
// Qt's own interface for plain-text views reads each character's place from its
// paragraph's layout, which a plain-text view puts at the origin (the view stacks
// the paragraphs itself), so every paragraph lands on the first line, and it takes
// the scroll bar's value, a count of lines, for pixels; nor can it find the
// character under a point. This one asks the view where its caret would stand.
class AccessibleTextView : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit AccessibleTextView(QSTextView *view);

    // For QAccessible::installFactory: this interface for every QSTextView, none
    // for other objects.
    static QAccessibleInterface *factory(const QString &className, QObject *object);

    QAccessible::State state() const override;
    // The value is the whole text; the name and description are the widget's.
    QString text(QAccessible::Text type) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // One selection at most, the view's own; offsets count UTF-16 code units.
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    // Line breaks come as "\n".
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    // In screen coordinates: the character's advance across, its line's height down.
    // An empty rectangle for an offset outside the text.
    QRect characterRect(int offset) const override;
    // The character whose rectangle holds the screen point; -1 outside the text shown.
    int offsetAtPoint(const QPoint &point) const override;
    // Scrolls the start of the range into view, leaving caret and selection alone.
    void scrollToSubstring(int startIndex, int endIndex) override;
    // The view shows all its text in one font: its family and size, for the whole text.
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // Edits reach the file shown, its outline and its undo history as typing does.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    QSTextView *view() const;
    // A cursor on the view's text over the range, both ends kept within the text.
    QTextCursor cursorOver(int startOffset, int endOffset) const;
};
