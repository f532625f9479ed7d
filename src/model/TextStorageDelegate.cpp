#include "model/TextStorageDelegate.h"

#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "platform/Log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QUndoCommand>

namespace {

// One edit of the view's text as a step of the file's undo history. The edit has
// happened when the step is registered; undoing and redoing replay it on the view,
// whose change notices then reach the tree like any other edit.
class TextEditStep : public QUndoCommand
{
public:
    TextEditStep(QPlainTextEdit *view, qint32 location, QString removed, QString added)
        : _view(view)
        , _location(location)
        , _removed(std::move(removed))
        , _added(std::move(added))
    {}

    void undo() override { replace(_added, _removed); }
    void redo() override { replace(_removed, _added); }

private:
    void replace(const QString &from, const QString &to)
    {
        if (!_view)
            return;
        QTextCursor cursor(_view->document());
        cursor.setPosition(_location);
        cursor.setPosition(_location + qint32(from.size()), QTextCursor::KeepAnchor);
        cursor.insertText(to);
        _view->setTextCursor(cursor);
    }

    QPointer<QPlainTextEdit> _view;
    qint32 _location;
    QString _removed;
    QString _added;
};

} // namespace

TextStorageDelegate::TextStorageDelegate(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , _textView(textView)
{
    // The view's own history would mix the files it shows; each file keeps its own.
    textView->setUndoRedoEnabled(false);
    connect(textView->document(), &QTextDocument::contentsChange, this,
            &TextStorageDelegate::textStorageDidProcessEditing);
    connect(textView, &QPlainTextEdit::cursorPositionChanged, this,
            &TextStorageDelegate::textViewDidChangeSelection);
    connect(textView, &QPlainTextEdit::selectionChanged, this,
            &TextStorageDelegate::textViewDidChangeSelection);
}

TextStorageDelegate::~TextStorageDelegate() = default;

void TextStorageDelegate::setSelectedFile(const std::shared_ptr<QSFile> &file)
{
    if (file == selectedFile())
        return;
    _selectedFile = file;
    reloadTextView();
}

void TextStorageDelegate::reloadTextView()
{
    const std::shared_ptr<QSFile> file = selectedFile();
    if (!file || !file->treeRootNode() || !_textView)
        return;
    _isChangingVisibleNodeInTextView = true;
    _loadedTree = file->treeRootNode();
    _textView->setPlainText(file->content());
    const QSRange selection = file->currentSelection();
    if (qint64(selection.location) + selection.length <= file->content().size()) {
        QTextCursor cursor(_textView->document());
        cursor.setPosition(int(selection.location));
        cursor.setPosition(int(selection.location + selection.length), QTextCursor::KeepAnchor);
        _textView->setTextCursor(cursor);
        _textView->ensureCursorVisible();
    }
    _isChangingVisibleNodeInTextView = false;
    emit textViewReloaded();
}

void TextStorageDelegate::reloadTextViewIfFileWasReadAgain()
{
    const std::shared_ptr<QSFile> file = selectedFile();
    if (file && file->treeRootNode() != _loadedTree.lock())
        reloadTextView();
}

QSUndoManager *TextStorageDelegate::undoManagerForTextView() const
{
    const std::shared_ptr<QSFile> file = selectedFile();
    return file ? &file->undoManager() : nullptr;
}

void TextStorageDelegate::textViewDidChangeSelection()
{
    const std::shared_ptr<QSFile> file = selectedFile();
    if (_isChangingVisibleNodeInTextView || !file || !_textView)
        return;
    const QTextCursor cursor = _textView->textCursor();
    file->setCurrentSelection(QSRange{quint32(cursor.selectionStart()),
                                      quint32(cursor.selectionEnd() - cursor.selectionStart())});
}

// The view's text as the file holds it: paragraph separators become line feeds.
QString TextStorageDelegate::textInView(qint32 location, qint32 length) const
{
    QTextCursor cursor(_textView->document());
    cursor.setPosition(location);
    cursor.setPosition(location + length, QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

void TextStorageDelegate::textStorageDidProcessEditing(int position, int charsRemoved,
                                                       int charsAdded)
{
    if (_isChangingVisibleNodeInTextView || !_textView)
        return;
    const std::shared_ptr<QSFile> file = selectedFile();
    if (!file) {
        qsLog(quillsetModel, QStringLiteral("SOMETHING IS WRONG - nodeToEdit IS NIL - ERRROR"));
        return;
    }
    if (!file->treeRootNode() || !ChangesQueue::sharedQueue())
        return;

    // The document counts one character past the text (the end of its last block)
    // and may report a change as reaching it; the text never holds it.
    const QString &before = file->content();
    const qint32 textLength = qint32(_textView->document()->characterCount() - 1);
    const qint32 removedLength = qMin(charsRemoved, qint32(before.size()) - position);
    const qint32 addedLength = qMin(charsAdded, textLength - position);
    if (before.size() - removedLength + addedLength == textLength) {
        const QString removed = before.mid(position, removedLength);
        const QString added = textInView(position, addedLength);
        // Colouring changes formats, which the document announces as a change of
        // the same characters: not an edit.
        if (removed != added)
            recordEdit(file, position, removed, added);
        return;
    }

    // Not the change the document announced: record what differs between the texts.
    const QString after = _textView->toPlainText();
    qint32 head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qint32 tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail)) {
        ++tail;
    }
    if (head == before.size() && head == after.size())
        return;
    recordEdit(file, head, before.mid(head, before.size() - head - tail),
               after.mid(head, after.size() - head - tail));
}

void TextStorageDelegate::recordEdit(const std::shared_ptr<QSFile> &file, qint32 location,
                                     const QString &removed, const QString &added)
{
    file->contentDidChange(location, removed.size(), added);

    ChangeRecord record;
    record.objectToChange = file->treeRootNode();
    record.range.location = quint32(location - _toSubtractFromLocation);
    record.whatChanged = added;
    if (added.isEmpty()) {
        record.action = QStringLiteral("remove");
        record.range.length = quint32(removed.size());
    } else if (removed.isEmpty()) {
        record.action = QStringLiteral("add");
        record.range.length = quint32(added.size());
    } else {
        record.action = QStringLiteral("replace");
        record.range.length = quint32(removed.size());
    }
    // The step counts before the worker sees the record: the worker works out from
    // the count whether the document has unsaved changes.
    file->undoManager().registerUndo(
        std::make_unique<TextEditStep>(_textView, location, removed, added));
    ChangesQueue::sharedQueue()->addChangeToQueue(std::move(record));

    // The lines around the edit: from the line feed before it to the one after it.
    const QString &text = file->content();
    const qint32 from =
        location > 0 ? qint32(text.lastIndexOf(QLatin1Char('\n'), location - 1)) + 1 : 0;
    qint32 to = qint32(text.indexOf(QLatin1Char('\n'), location + added.size()));
    if (to < 0)
        to = qint32(text.size());
    emit rangeNeedsHighlighting(QSRange{quint32(from), quint32(to - from)});
}
