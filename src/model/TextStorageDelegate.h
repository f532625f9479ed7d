#pragma once

#include "model/QSRange.h"

#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <memory>

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
    // The view holds the selected file's text anew (another file, or read again).
    void textViewReloaded();

private:
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
};
