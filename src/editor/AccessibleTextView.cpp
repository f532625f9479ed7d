#include "editor/AccessibleTextView.h"

#include "editor/QSTextView.h"

#include <QFontMetricsF>
#include <QRect>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>

AccessibleTextView::AccessibleTextView(QSTextView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{}

QAccessibleInterface *AccessibleTextView::factory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<QSTextView *>(object))
        return new AccessibleTextView(view);
    return nullptr;
}

QSTextView *AccessibleTextView::view() const
{
    return static_cast<QSTextView *>(widget());
}

QAccessible::State AccessibleTextView::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.selectableText = true;
    state.multiLine = true;
    if (view()->isReadOnly())
        state.readOnly = true;
    else
        state.editable = true;
    return state;
}

QString AccessibleTextView::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return view()->toPlainText();
    return QAccessibleWidget::text(type);
}

void *AccessibleTextView::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QTextCursor AccessibleTextView::cursorOver(int startOffset, int endOffset) const
{
    const int count = characterCount();
    QTextCursor cursor(view()->document());
    cursor.setPosition(std::clamp(startOffset, 0, count));
    cursor.setPosition(std::clamp(endOffset, 0, count), QTextCursor::KeepAnchor);
    return cursor;
}

void AccessibleTextView::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    const QTextCursor cursor = view()->textCursor();
    if (selectionIndex != 0 || !cursor.hasSelection())
        return;
    *startOffset = cursor.selectionStart();
    *endOffset = cursor.selectionEnd();
}

int AccessibleTextView::selectionCount() const
{
    return view()->textCursor().hasSelection() ? 1 : 0;
}

void AccessibleTextView::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void AccessibleTextView::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = view()->textCursor();
    cursor.clearSelection();
    view()->setTextCursor(cursor);
}

void AccessibleTextView::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setTextCursor(cursorOver(startOffset, endOffset));
}

int AccessibleTextView::cursorPosition() const
{
    return view()->textCursor().position();
}

void AccessibleTextView::setCursorPosition(int position)
{
    view()->setTextCursor(cursorOver(position, position));
}

QString AccessibleTextView::text(int startOffset, int endOffset) const
{
    return cursorOver(startOffset, endOffset)
        .selectedText()
        .replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

int AccessibleTextView::characterCount() const
{
    return view()->document()->characterCount() - 1;
}

// The view knows where each paragraph stands in what it shows (the caret's place);
// the paragraph's layout knows how far along its line a character is and how wide.
QRect AccessibleTextView::characterRect(int offset) const
{
    if (offset < 0 || offset >= characterCount())
        return {};
    const QTextCursor at = cursorOver(offset, offset);
    const QRect caret = view()->cursorRect(at);
    const QTextBlock block = at.block();
    const int inBlock = offset - block.position();
    const QTextLine line = block.layout()->lineForTextPosition(inBlock);
    qreal width = 0;
    if (line.isValid() && inBlock < line.textStart() + line.textLength())
        width = qAbs(line.cursorToX(inBlock + 1) - line.cursorToX(inBlock));
    if (width < 1) // a line break or the end of a wrapped line
        width = QFontMetricsF(view()->font()).averageCharWidth();
    const QRect shown(caret.topLeft(), QSize(qRound(width), caret.height()));
    return shown.translated(view()->viewport()->mapToGlobal(QPoint(0, 0)));
}

int AccessibleTextView::offsetAtPoint(const QPoint &point) const
{
    const QPoint inViewport = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(inViewport))
        return -1;
    // The view gives the caret position nearest the point: the character after it,
    // or the one before when the point lies on that one's right half.
    const int nearest = view()->cursorForPosition(inViewport).position();
    if (nearest > 0 && !characterRect(nearest).contains(point)
        && characterRect(nearest - 1).contains(point))
        return nearest - 1;
    return characterRect(nearest).contains(point) ? nearest : -1;
}

void AccessibleTextView::scrollToSubstring(int startIndex, int)
{
    if (startIndex < 0 || startIndex > characterCount())
        return;
    QSTextView *text = view();
    const QTextCursor at = cursorOver(startIndex, startIndex);
    const QRect shown = text->viewport()->rect();
    // The vertical bar counts lines: a first step by the distance in lines, then line
    // by line for wrapped paragraphs of uneven height.
    QScrollBar *lines = text->verticalScrollBar();
    const QRect caret = text->cursorRect(at);
    if (caret.top() < shown.top() || caret.bottom() > shown.bottom())
        lines->setValue(lines->value() + caret.top() / qMax(1, caret.height()));
    while (text->cursorRect(at).top() < shown.top() && lines->value() > lines->minimum())
        lines->setValue(lines->value() - 1);
    while (text->cursorRect(at).bottom() > shown.bottom() && lines->value() < lines->maximum()
           && text->cursorRect(at).top() > shown.top())
        lines->setValue(lines->value() + 1);
    QScrollBar *across = text->horizontalScrollBar();
    const int x = text->cursorRect(at).x();
    if (x < shown.left() || x > shown.right())
        across->setValue(across->value() + x - shown.width() / 2);
}

QString AccessibleTextView::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > characterCount())
        return {};
    *startOffset = 0;
    *endOffset = characterCount();
    const QFont font = view()->font();
    return QStringLiteral("font-family:\"%1\";font-size:%2pt;")
        .arg(font.family())
        .arg(font.pointSizeF());
}

void AccessibleTextView::deleteText(int startOffset, int endOffset)
{
    cursorOver(startOffset, endOffset).removeSelectedText();
}

void AccessibleTextView::insertText(int offset, const QString &text)
{
    cursorOver(offset, offset).insertText(text);
}

void AccessibleTextView::replaceText(int startOffset, int endOffset, const QString &text)
{
    cursorOver(startOffset, endOffset).insertText(text);
}
