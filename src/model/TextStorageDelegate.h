#pragma once

#include "model/QSRange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <memory>
#include <optional>

class QSFile;
class QSSectionNode;
class QSUndoManager;

// Sits between a document window's text view and the file the view shows: loads
// the file's text into the view, keeps the file's text and remembered selection in
// step with the view, gives the view the file's own undo history, and turns every
// edit of the view's text into a change record for the edit worker.
//
// Lives on the UI thread, as long as its window.
class TextStorageDelegate : public QObject
{
    Q_OBJECT

public:
    explicit TextStorageDelegate(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~TextStorageDelegate() override;

    void setSelectedFile(const std::shared_ptr<QSFile> &file);
    std::shared_ptr<QSFile> selectedFile() const { return _selectedFile.lock(); }
    void reloadTextView();
    // Reloads the view when the file shown has a new tree, read again from disk.
    void reloadTextViewIfFileWasReadAgain();

    QPlainTextEdit *textView() const { return _textView; }

    // The view is handling a key that types (a character, Backspace, Delete, Return).
    // Edits typed in a run are one step of undo: the run ends at a pause of a second,
    // a move of the caret, a click, another file, Return, the start of a word after
    // white space, or any edit that is not typed (a paste, a command, a drop).
    void beginTyping();
    void endTyping();
    // The undo history the view's Undo and Redo act on: the selected file's own.
    QSUndoManager *undoManagerForTextView() const;

    qint32 toSubtractFromLocation() const { return _toSubtractFromLocation; }
    void setToSubtractFromLocation(qint32 offset) { _toSubtractFromLocation = offset; }
    bool isChangingVisibleNodeInTextView() const { return _isChangingVisibleNodeInTextView; }
    void setIsChangingVisibleNodeInTextView(bool changing)
    {
        _isChangingVisibleNodeInTextView = changing;
    }

signals:
    // The lines around an edit need colouring anew (the view colours the lines it
    // shows for the first time itself).
    void rangeNeedsHighlighting(QSRange range);
    // Another file is about to be shown; the one shown until now is still selected.
    void selectedFileWillChange();
    // The view holds the selected file's text anew (another file, or read again).
    void textViewReloaded();

protected:
    // A click in the text ends the run of typing.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The typed run that the next typed edit may join.
    struct TypingRun
    {
        std::weak_ptr<QSFile> file;
        qint32 caret = 0;     // where the next typed edit joins the run
        bool deletes = false; // a run of Backspace or Delete, else of characters
        bool endsInSpace = false;
        QElapsedTimer since; // the run's latest edit
    };
    bool continuesTypingRun(const QSFile &file, qint32 location, const QString &removed,
                            const QString &added) const;
    void endTypingRun();
    void textStorageDidProcessEditing(int position, int charsRemoved, int charsAdded);
    void textViewDidChangeSelection();
    void recordEdit(const std::shared_ptr<QSFile> &file, qint32 location, const QString &removed,
                    const QString &added);
    QString textInView(qint32 location, qint32 length) const;

    std::weak_ptr<QSFile> _selectedFile;
    // The tree of the selected file when its text was loaded into the view.
    std::weak_ptr<QSSectionNode> _loadedTree;
    QPointer<QPlainTextEdit> _textView;
    bool _isChangingVisibleNodeInTextView = false;
    qint32 _toSubtractFromLocation = 0;
    bool _typing = false;
    std::optional<TypingRun> _typingRun; // its group is open in its file's history
};
