#pragma once

#include <QList>
#include <QObject>
#include <QTextCursor>

class QPlainTextEdit;
class QTextBlock;
class QTextDocument;

// Folding of a text view's lines: a heading folds to the next heading of the same
// or a higher rank, a \begin line of an environment of more than a few lines to its
// \end. A fold hides the lines after its first; edits elsewhere keep it, and a
// caret that lands inside (a click, a search, Go to Line) opens it. UI thread.
class TextFolding : public QObject
{
    Q_OBJECT

public:
    explicit TextFolding(QPlainTextEdit *view);

    // The 0-based last line of the fold that starts at a line, or -1 when none does.
    static int foldEnd(const QTextDocument *document, int line);
    // Whether a line can start a fold, told from it and the few lines after (a short
    // environment cannot); cheap enough for every line painted.
    static bool startsFold(const QTextBlock &line);
    // Whether a fold that starts at the line is closed.
    bool isFolded(int line) const;
    // Closes or opens the fold that starts at the line; nothing when none does.
    void toggle(int line);
    // Opens every fold.
    void unfoldAll();
    // The first lines of the closed folds, 0-based, in order; and closing them again
    // (after the text was shown anew), those that still start a fold.
    QList<int> foldedLines() const;
    void setFoldedLines(const QList<int> &lines);

signals:
    void foldsChanged();

private:
    void fold(int line, int end);
    void unfold(int index);
    void revealCaret();
    int hiddenRunEnd(int line) const;
    void show(int first, int last, bool visible);

    QPlainTextEdit *_view; // the parent
    // The closed folds: a cursor at each first line, so that edits above move them.
    QList<QTextCursor> _folds;
};
