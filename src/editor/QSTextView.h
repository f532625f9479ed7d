#pragma once

#include "editor/SpellingScanner.h"
#include "model/QSRange.h"
#include "model/SearchPattern.h"

#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRectF>
#include <functional>
#include <memory>

class CompletionController;
class EnvironmentCloser;
class TextFolding;
class QAction;
class ErrorWarningNode;
class LineNumberGutter;
class QTimer;
class SpellChecker;
struct ReferenceProblem;

// The editor's text view: a plain-text view with a gutter of line numbers and
// compile markers, closing pairs and spell checking, that marks the line holding
// the insertion point and carries out the find strip's find and replace steps, with
// wrap-around. The document window's view (DropTextView) adds file drops and the
// jump to the PDF.
class QSTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit QSTextView(QWidget *parent = nullptr);

    QString searchKey() const { return _searchPattern.key(); }
    const SearchPattern &searchPattern() const { return _searchPattern; }
    qint32 searchOffset() const { return _searchOffset; }
    // Where the next forward search step starts.
    void setSearchOffset(qint32 offset)
    {
        _searchOffset = offset;
        _lastSearchDirectionWasBackwards = false;
    }

    // One search step: selects and reveals the next match of the pattern from the
    // position, forwards, or backwards (a match that ends at the position at the
    // latest). (QSNotFound, 0) when none. A key alone is found whatever its case.
    QSRange selectNextRangeOfString(const SearchPattern &pattern, qint32 position,
                                    bool lookBackwards);
    QSRange selectNextRangeOfString(const QString &key, bool lookBackwards)
    {
        return selectNextRangeOfString(SearchPattern(key), 0, lookBackwards);
    }
    void selectAndHighlightNextRangeOfString(const SearchPattern &pattern);
    void selectAndHighlightPreviousRangeOfString(const SearchPattern &pattern);
    void selectAndHighlightNextRangeOfString(const QString &key)
    {
        selectAndHighlightNextRangeOfString(SearchPattern(key));
    }
    void selectAndHighlightPreviousRangeOfString(const QString &key)
    {
        selectAndHighlightPreviousRangeOfString(SearchPattern(key));
    }
    // Replaces the selection as if typed (undoable, seen by the outline), then finds next.
    void replaceSelectedRangeWith(const QString &replacement, bool findNext);

    // The current-line bar in document coordinates (x from the left, y down the text).
    QRectF lineHighlightRect() const { return _lineHighlightRect; }
    // The range of the find indicator while it shows, else (QSNotFound, 0).
    QSRange findIndicatorRange() const { return _findIndicatorRange; }

    // The errors and warnings of the last compile on the file shown, a marker each
    // in the gutter at its line (those without a line get none). A marker keeps to
    // its line's text through edits above it, and its diagnostic's line number
    // follows; text replaced as a whole (another file shown) drops the markers.
    void setDiagnostics(const QList<std::shared_ptr<ErrorWarningNode>> &diagnostics);
    // The 1-based lines with markers, each with whether an error is among them.
    QMap<int, bool> markedLines() const;

    // Comments the lines the selection touches ("% " before each), or uncomments them
    // when every one of them that holds text is a comment; a selection that ends at
    // the start of a line leaves that line out. One edit, one undo.
    void toggleCommentOnSelectedLines();
    // Underlines the misspelt words of the running text of the lines shown, as the
    // checker finds them on a worker; the context menu of such a word offers the
    // checker's first suggestions, "Add to Dictionary" and "Ignore". None: no checking.
    void setSpellChecker(std::shared_ptr<SpellChecker> checker);
    // Colours the lines of the range anew, after an edit, keeping the underlines of
    // those whose text the edit left as it was.
    void colourRange(QSRange range);
    // Paints everything again in the current theme's colours.
    void applyTheme();
    // The misspelt words of a line (0-based) as last checked, if its text has not
    // changed since.
    QList<SpellingScanner::Word> misspeltWords(int line) const;
    // Underlines (dotted, in the theme's colour for them) the references, citation
    // keys and labels of the file shown that the document does not resolve, with the
    // problem's message as the tooltip over each. A mark keeps to its text through
    // edits, and text replaced as a whole drops the marks; a problem whose key does
    // not stand at its place in the text (typed over since the check) is left out.
    void setReferenceProblems(const QList<ReferenceProblem> &problems);
    // Where the marks stand now, and the message of the one over a position (empty
    // when none is).
    QList<QSRange> referenceMarks() const;
    QString referenceMessageAt(int position) const;

    // The bracket that pairs with the one at a position, counting nesting and
    // skipping escaped ones; -1 when none does.
    int matchingBracket(int position) const;
    // The positions of the brackets highlighted as a pair, or an empty list.
    QList<int> highlightedBrackets() const { return _bracketPair; }

    // Puts the caret at the start of a 1-based line, the last one for a line past
    // the end, and scrolls it into view.
    void goToLine(int line);

    // The actions that undo and redo in the file shown, for the context menu.
    void setUndoActions(QAction *undo, QAction *redo)
    {
        _undoAction = undo;
        _redoAction = redo;
    }
    // Actions on the name at the caret (Find Usages, Rename) at the end of the
    // context menu; a right click outside the selection puts the caret where it
    // was, so that they act on what the user pointed at.
    void setCaretActions(const QList<QAction *> &actions)
    {
        _caretActions.clear();
        for (QAction *action : actions)
            _caretActions.append(action);
    }

    // Completion at the caret: the popup, its candidates and the placeholders.
    CompletionController *completion() const { return _completion; }

    // The gutter, which the view lays out left of its text and paints.
    LineNumberGutter *gutter() const { return _gutter; }
    int gutterWidth() const;
    // The width of the gutter's column of fold markers, at its right edge.
    int foldColumn() const;
    void paintGutter(QWidget *gutter, const QRect &rect);
    // The messages of the markers on the line at a height of the gutter, one a line.
    QString markerMessagesAt(int y) const;
    // A click in the gutter at a point: on a fold's marker, closes or opens it.
    void gutterClicked(QPoint point);
    // The folds of the lines shown.
    TextFolding *folding() const { return _folding; }

signals:
    // Lines shown got their misspelt words.
    void spellingChecked();
    // A key that types (a character, Backspace, Delete, Return, Tab) is being
    // handled: the edits in between are typing, which undo takes back by runs.
    void typingBegan();
    void typingEnded();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    // Typing {, [, ( or $ puts its closer after the caret (not after a backslash,
    // which makes the opener a character of its own); typing the closer before
    // itself steps over it, and Backspace between an empty pair takes both; with a
    // selection, the pair goes around it. Tab on a selection of several lines
    // indents them, and Shift+Tab unindents the lines or the caret's line.
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Shows the message of the reference mark under the pointer.
    bool viewportEvent(QEvent *event) override;

private:
    void colourShownBlocks();
    static bool typesText(const QKeyEvent *event);
    // The closing pairs of keyPressEvent; true when the key was taken.
    bool typePair(QKeyEvent *event);
    // Puts a tab before each line the selection touches, or takes one level of
    // indentation (a tab, or up to four spaces) from each. One edit, one undo.
    void indentSelectedLines(bool outwards);
    void updateInsertionPointState();
    void drawLineHighlighter();
    void showFindIndicator(QSRange range);
    void usePattern(const SearchPattern &pattern);
    void textDidChange(int position, int removed, int added);
    void highlightMatchingBrackets();
    void checkShownSpelling();
    // Colours the line and underlines its misspelt words.
    void formatBlock(const QTextBlock &block);
    void checkSpellingAgain();
    void showExtraSelections();
    QList<QTextEdit::ExtraSelection> referenceSelections() const;
    void layOutGutter();
    // Replaces the text of the lines the selection touches with what the function
    // makes of each, in one edit; afterwards the same lines are selected whole, or a
    // caret stays by the character it was at.
    void editSelectedLines(const std::function<QString(const QString &)> &edit);

    struct Marker
    {
        QTextCursor at; // the start of the marked line
        std::weak_ptr<ErrorWarningNode> diagnostic;
    };

    SearchPattern _searchPattern;
    qint32 _lastMatchLength = 0; // of the pattern's latest match
    bool _lastSearchDirectionWasBackwards = false;
    qint32 _searchOffset = 0;
    QRectF _lineHighlightRect;
    QSRange _findIndicatorRange{QSNotFound, 0};
    QTimer *_findIndicatorTimer;
    LineNumberGutter *_gutter;             // a child
    CompletionController *_completion;     // a child
    EnvironmentCloser *_environmentCloser; // a child
    TextFolding *_folding;                 // a child
    QList<Marker> _markers;
    // Kept as offsets that follow the edits, in document order: a document may have
    // thousands, and only those in sight are handed to the text as selections.
    struct ReferenceMark
    {
        int start = 0;
        int end = 0; // past the key
        QString message;
        bool operator==(const ReferenceMark &) const = default;
    };
    QList<ReferenceMark> _referenceMarks;
    void moveReferenceMarks(int position, int removed, int added);
    QPointer<QAction> _undoAction;
    QPointer<QAction> _redoAction;
    QList<QPointer<QAction>> _caretActions;
    QList<QTextEdit::ExtraSelection> _findIndicator; // while it shows
    QList<int> _bracketPair;
    std::shared_ptr<SpellChecker> _spellChecker;
    bool _spellingRunning = false; // one batch at a time
    int _uncheckedFrom = 0;        // no line before this one lacks its spelling marks
    QTimer *_spellingPause;        // the check waits for a pause in typing
    int _characterCount = 1;       // of the text before the latest change
};
