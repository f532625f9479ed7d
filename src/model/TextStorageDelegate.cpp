#include "model/TextStorageDelegate.h"

#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "platform/Log.h"

#include <QEvent>
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
    int id() const override { return 1; }

    // Typing that goes on where this edit ended, or Backspace and Delete that go on
    // taking characters next to it, become part of this edit.
    bool mergeWith(const QUndoCommand *command) override
    {
        const auto *next = static_cast<const TextEditStep *>(command);
        if (next->_view != _view)
            return false;
        if (_removed.isEmpty() && next->_removed.isEmpty()
            && next->_location == _location + _added.size()) {
            _added += next->_added;
            return true;
        }
        if (!_added.isEmpty() || !next->_added.isEmpty())
            return false;
        if (next->_location + next->_removed.size() == _location) {
            _removed.prepend(next->_removed);
            _location = next->_location;
            return true;
        }
        if (next->_location == _location) {
            _removed += next->_removed;
            return true;
        }
        return false;
    }

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
    textView->viewport()->installEventFilter(this);
}

TextStorageDelegate::~TextStorageDelegate() = default;

void TextStorageDelegate::setSelectedFile(const std::shared_ptr<QSFile> &file)
{
    if (file == selectedFile())
        return;
    endTypingRun();
    emit selectedFileWillChange();
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

void TextStorageDelegate::beginTyping()
{
    _typing = true;
}

// The key may have moved the caret on without an edit (over a closing bracket):
// typing goes on from there.
void TextStorageDelegate::endTyping()
{
    _typing = false;
    if (_typingRun && _textView)
        _typingRun->caret = qint32(_textView->textCursor().position());
}

void TextStorageDelegate::endTypingRun()
{
    if (!_typingRun)
        return;
    if (const std::shared_ptr<QSFile> file = _typingRun->file.lock())
        file->undoManager().endUndoGrouping();
    _typingRun.reset();
}

bool TextStorageDelegate::continuesTypingRun(const QSFile &file, qint32 location,
                                             const QString &removed, const QString &added) const
{
    // About the pause after which desktop editors start a new step of typing.
    constexpr qint64 pauseMilliseconds = 1000;
    if (!_typingRun || _typingRun->file.lock().get() != &file || !file.undoManager().isGrouping()
        || _typingRun->since.hasExpired(pauseMilliseconds))
        return false;
    if (removed.isEmpty())
        return !_typingRun->deletes && location == _typingRun->caret
               && !(_typingRun->endsInSpace && !added.front().isSpace());
    return added.isEmpty() && _typingRun->deletes
           && (location + removed.size() == _typingRun->caret || location == _typingRun->caret);
}

bool TextStorageDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        endTypingRun();
    return QObject::eventFilter(watched, event);
}

void TextStorageDelegate::textViewDidChangeSelection()
{
    const std::shared_ptr<QSFile> file = selectedFile();
    if (_isChangingVisibleNodeInTextView || !file || !_textView)
        return;
    const QTextCursor cursor = _textView->textCursor();
    // The caret moved by other means than the typing itself.
    if (!_typing && _typingRun && (cursor.hasSelection() || cursor.position() != _typingRun->caret))
        endTypingRun();
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
    // The worker gets characters of its own: the undo step keeps the same text and
    // grows it when the next keystroke joins it, while the worker drops the record.
    record.whatChanged = QString(added.constData(), added.size());
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
    // the history whether the document has unsaved changes.
    QSUndoManager &history = file->undoManager();
    if (history.isUndoing() || history.isRedoing()) {
        _typingRun.reset(); // undo and redo have ended every group
    } else if (!_typing || !continuesTypingRun(*file, location, removed, added)) {
        endTypingRun();
        if (_typing) {
            history.beginUndoGrouping();
            _typingRun = TypingRun{file, 0, false, false, {}};
        }
    }
    history.registerUndo(std::make_unique<TextEditStep>(_textView, location, removed, added));
    if (_typing && _typingRun) {
        _typingRun->caret = location + qint32(added.size());
        _typingRun->deletes = added.isEmpty();
        _typingRun->endsInSpace = !added.isEmpty() && added.back().isSpace();
        _typingRun->since.start();
        // Return ends the run it is typed in.
        if (added.contains(u'\n'))
            endTypingRun();
    }
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
