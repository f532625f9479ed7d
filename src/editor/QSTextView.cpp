#include "editor/QSTextView.h"

#include "editor/EnvironmentCloser.h"
#include "editor/LineNumberGutter.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/TextFolding.h"
#include "editor/completion/CompletionController.h"
#include "model/ErrorWarningNode.h"
#include "platform/Theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

namespace {
// How long the find indicator stays over a match.
constexpr int findIndicatorMilliseconds = 600;
// Lines are spell checked once typing pauses this long, not at every keystroke.
constexpr int spellingPauseMilliseconds = 150;
} // namespace

QSTextView::QSTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , _findIndicatorTimer(new QTimer(this))
    , _gutter(new LineNumberGutter(this))
    , _completion(new CompletionController(this))
    , _environmentCloser(new EnvironmentCloser(this))
    , _folding(new TextFolding(this))
    , _spellingPause(new QTimer(this))
{
    _spellingPause->setSingleShot(true);
    _spellingPause->setInterval(spellingPauseMilliseconds);
    connect(_spellingPause, &QTimer::timeout, this, &QSTextView::checkShownSpelling);
    // The theme's page whatever the desktop's, so that the colouring stays readable.
    Theme::current().applyPageColours(this);
    if (const QSSyntaxHighlighter *highlighter = QSSyntaxHighlighter::sharedSyntaxHightlighter())
        setFont(highlighter->font());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);

    _findIndicatorTimer->setSingleShot(true);
    _findIndicatorTimer->setInterval(findIndicatorMilliseconds);
    connect(_findIndicatorTimer, &QTimer::timeout, this, [this] {
        _findIndicatorRange = QSRange{QSNotFound, 0};
        _findIndicator.clear();
        showExtraSelections();
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &QSTextView::updateInsertionPointState);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &QSTextView::highlightMatchingBrackets);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &QSTextView::layOutGutter);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            _gutter->scroll(0, dy);
        // The reference marks in sight are the selections; others come into sight.
        if (dy && !_referenceMarks.isEmpty())
            showExtraSelections();
        else
            _gutter->update(0, rect.y(), _gutter->width(), rect.height());
    });
    connect(
        document(), &QTextDocument::contentsChange, this,
        [this](int position, int removed, int added) { textDidChange(position, removed, added); });
    layOutGutter();
    connect(this, &QPlainTextEdit::selectionChanged, this, &QSTextView::updateInsertionPointState);
    drawLineHighlighter();
}

void QSTextView::updateInsertionPointState()
{
    drawLineHighlighter();
    _searchOffset = qint32(textCursor().selectionStart());
}

void QSTextView::drawLineHighlighter()
{
    const qint32 location = qint32(textCursor().selectionStart());
    const qint32 length = qint32(document()->characterCount() - 1);
    if (location > length)
        return;
    qint32 glyph = 0;
    qreal shift = 0;
    if (location > 0 && location == length
        && document()->characterAt(length - 1) == QChar::ParagraphSeparator) {
        // On the empty last line after a final line feed: one line below that feed.
        glyph = location - 1;
        shift = 14;
    } else if (location > 0) {
        glyph = location == length ? location - 1 : location;
    }
    if (glyph < length) {
        const QTextBlock block = document()->findBlock(glyph);
        const QTextLine line = block.layout()->lineForTextPosition(glyph - block.position());
        if (line.isValid()) {
            const QRectF blockRect = blockBoundingGeometry(block);
            const QRectF lineRect = line.rect().translated(blockRect.topLeft());
            _lineHighlightRect =
                QRectF(0, lineRect.y() - 2 + shift, blockRect.width(), lineRect.height() + 5);
        }
    } else if (location == 0) {
        _lineHighlightRect = QRectF(0, -2, width(), 17);
    }
    viewport()->update();
}

// The bar goes under the text, in a colour light enough to read the line through.
void QSTextView::paintEvent(QPaintEvent *event)
{
    colourShownBlocks();
    {
        QPainter painter(viewport());
        painter.fillRect(_lineHighlightRect.translated(contentOffset()),
                         Theme::current().currentLine);
    }
    QPlainTextEdit::paintEvent(event);
}

// Lines are coloured when they are first shown, so that opening a long file
// colours one screenful, not the whole text; edits re-colour the lines they touch.
void QSTextView::colourShownBlocks()
{
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (blockBoundingGeometry(block).translated(offset).top() > bottom)
            break;
        if (block.userState() == -1)
            formatBlock(block);
    }
    if (_spellChecker)
        _spellingPause->start();
}

void QSTextView::colourRange(QSRange range)
{
    const auto lines = QSSyntaxHighlighter::linesOfRange(document(), range);
    for (QTextBlock block = lines ? lines->first : QTextBlock(); block.isValid();
         block = block.next()) {
        formatBlock(block);
        if (block == lines->second)
            break;
    }
}

void QSTextView::applyTheme()
{
    Theme::current().applyPageColours(this);
    // Lines are coloured again as they are shown.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        block.setUserState(-1);
    // The brackets' and the reference marks' colours too.
    highlightMatchingBrackets();
    _gutter->update();
    viewport()->update();
}

// Undo and Redo belong to the file shown, whose history the window's actions
// use; the view's own (switched off) must not take their keys.
bool QSTextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            event->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

// The bar spans the view's width, which changes with the window.
void QSTextView::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    layOutGutter();
    drawLineHighlighter();
    if (!_referenceMarks.isEmpty())
        showExtraSelections();
}

void QSTextView::editSelectedLines(const std::function<QString(const QString &)> &edit)
{
    QTextCursor caret = textCursor();
    const bool reversed = caret.anchor() > caret.position();
    const QTextBlock first = document()->findBlock(caret.selectionStart());
    QTextBlock last = document()->findBlock(caret.selectionEnd());
    // A selection that ends at the start of a line does not take that line in.
    const bool endsAtLineStart = last != first && caret.selectionEnd() == last.position();
    if (endsAtLineStart)
        last = last.previous();
    // Each line changes only where its new text differs, inside one edit block: one
    // edit and one undo step, no line break is taken out and put back, so the lines
    // (and a caret, which Qt moves with the text) stay where they were.
    QTextCursor editor(document());
    editor.beginEditBlock();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const QString before = block.text();
        const QString after = edit(before);
        qsizetype head = 0;
        while (head < before.size() && head < after.size() && before[head] == after[head])
            ++head;
        qsizetype tail = 0;
        while (tail < before.size() - head && tail < after.size() - head
               && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
            ++tail;
        if (head + tail < before.size() || head + tail < after.size()) {
            editor.setPosition(block.position() + int(head));
            editor.setPosition(block.position() + int(before.size() - tail),
                               QTextCursor::KeepAnchor);
            editor.insertText(after.mid(head, after.size() - head - tail));
        }
        if (block == last)
            break;
    }
    editor.endEditBlock();
    if (!caret.hasSelection()) {
        setTextCursor(caret);
        return;
    }
    // The same lines stay selected, whole, in the direction they were selected.
    const int start = first.position();
    const int end = endsAtLineStart && last.next().isValid() ? last.next().position()
                                                             : last.position() + last.length() - 1;
    caret.setPosition(reversed ? end : start);
    caret.setPosition(reversed ? start : end, QTextCursor::KeepAnchor);
    setTextCursor(caret);
}

// Lines that hold text are commented ("% " before each), or uncommented when every
// one of them is a comment; blank lines are left alone, unless no line holds text.
void QSTextView::toggleCommentOnSelectedLines()
{
    static const QRegularExpression comment(QStringLiteral("^(\\s*)% ?"));
    const QTextCursor cursor = textCursor();
    QTextBlock last = document()->findBlock(cursor.selectionEnd());
    if (cursor.hasSelection() && cursor.selectionEnd() == last.position())
        last = last.previous();
    bool anyText = false;
    bool allComments = true;
    for (QTextBlock block = document()->findBlock(cursor.selectionStart()); block.isValid();
         block = block.next()) {
        if (!block.text().trimmed().isEmpty()) {
            anyText = true;
            allComments = allComments && comment.match(block.text()).hasMatch();
        }
        if (block == last)
            break;
    }
    editSelectedLines([anyText, allComments](const QString &line) {
        if (anyText && allComments)
            return QString(line).replace(comment, QStringLiteral("\\1"));
        return anyText && line.trimmed().isEmpty() ? line : QStringLiteral("% ") + line;
    });
}

void QSTextView::indentSelectedLines(bool outwards)
{
    editSelectedLines([outwards](const QString &line) {
        if (!outwards)
            return line.isEmpty() ? line : u'\t' + line;
        if (line.startsWith(u'\t'))
            return line.mid(1);
        qsizetype spaces = 0;
        while (spaces < 4 && spaces < line.size() && line[spaces] == u' ')
            ++spaces;
        return line.mid(spaces);
    });
}

namespace {

const QString openers = QStringLiteral("{[($");
const QString closers = QStringLiteral("}])$");

} // namespace

bool QSTextView::typePair(QKeyEvent *event)
{
    if (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))
        return false;
    // Characters are read from the document where they stand: a keystroke in a long
    // text copies none of it.
    const QTextDocument *text = document();
    QTextCursor cursor = textCursor();
    const int at = cursor.position();
    const QChar before = at > 0 ? text->characterAt(at - 1) : QChar();
    const QChar after = text->characterAt(at);
    if (event->key() == Qt::Key_Backspace && !cursor.hasSelection() && at > 0
        && openers.contains(before) && after == closers[openers.indexOf(before)]
        && (at < 2 || text->characterAt(at - 2) != u'\\')) {
        cursor.setPosition(at - 1);
        cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return true;
    }
    if (event->text().size() != 1)
        return false;
    const QChar typed = event->text()[0];
    if (!cursor.hasSelection() && closers.contains(typed) && after == typed) {
        cursor.movePosition(QTextCursor::NextCharacter);
        setTextCursor(cursor);
        return true;
    }
    const qsizetype kind = openers.indexOf(typed);
    const int start = cursor.selectionStart();
    if (kind < 0 || (start > 0 && text->characterAt(start - 1) == u'\\'))
        return false;
    const QString selected = cursor.selectedText();
    cursor.insertText(typed + selected + closers[kind]);
    // The caret before the closer, the text put in the pair still selected.
    const int closer = cursor.position() - 1;
    cursor.setPosition(closer - int(selected.size()));
    cursor.setPosition(closer, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    return true;
}

int QSTextView::matchingBracket(int position) const
{
    static const QString brackets = QStringLiteral("{}[]()");
    // Far enough for any group an author writes; an unmatched bracket in a long
    // text is not searched to its end at every move of the caret.
    constexpr int farthest = 20000;
    QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return -1;
    QString line = block.text();
    qsizetype at = position - block.position();
    const auto escaped = [](const QString &text, qsizetype i) {
        return i > 0 && text[i - 1] == u'\\';
    };
    if (at >= line.size() || escaped(line, at))
        return -1;
    const QChar self = line[at];
    const qsizetype kind = brackets.indexOf(self);
    if (kind < 0)
        return -1;
    const QChar other = brackets[kind ^ 1];
    const int step = kind % 2 == 0 ? 1 : -1;
    int depth = 0;
    // Line by line from the bracket, each line's text read once.
    for (int searched = 0; block.isValid() && searched <= farthest;) {
        for (; at >= 0 && at < line.size(); at += step, ++searched) {
            if ((line[at] != self && line[at] != other) || escaped(line, at))
                continue;
            if (line[at] == self)
                ++depth;
            else if (--depth == 0)
                return block.position() + int(at);
        }
        block = step > 0 ? block.next() : block.previous();
        line = block.text();
        at = step > 0 ? 0 : line.size() - 1;
    }
    return -1;
}

// A bracket just after or just before the caret, and its partner, are highlighted.
void QSTextView::highlightMatchingBrackets()
{
    const int at = textCursor().position();
    _bracketPair.clear();
    for (const int position : {at, at - 1}) {
        if (const int partner = matchingBracket(position); partner >= 0) {
            _bracketPair = {position, partner};
            break;
        }
    }
    showExtraSelections();
}

void QSTextView::showExtraSelections()
{
    QList<QTextEdit::ExtraSelection> selections = referenceSelections() + _findIndicator;
    for (const int position : std::as_const(_bracketPair)) {
        QTextEdit::ExtraSelection bracket;
        bracket.cursor = QTextCursor(document());
        bracket.cursor.setPosition(position);
        bracket.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        bracket.format.setBackground(Theme::current().matchingBracket);
        selections << bracket;
    }
    setExtraSelections(selections);
}

void QSTextView::goToLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(qBound(1, line, blockCount()) - 1);
    setTextCursor(QTextCursor(block));
    centerCursor();
}

// Tab on a selection of more than one line indents it; Shift+Tab unindents the
// lines the selection touches, or the caret's line.
void QSTextView::keyPressEvent(QKeyEvent *event)
{
    if (_completion->keyPressBefore(event) || _environmentCloser->keyPressBefore(event))
        return;
    const QTextCursor cursor = textCursor();
    const bool lines = document()->findBlock(cursor.selectionStart())
                       != document()->findBlock(cursor.selectionEnd());
    const bool indents =
        event->key() == Qt::Key_Backtab
        || (event->key() == Qt::Key_Tab && lines && event->modifiers() == Qt::NoModifier);
    const bool typing = !indents && typesText(event);
    if (typing)
        emit typingBegan();
    if (!typePair(event)) {
        if (indents)
            indentSelectedLines(event->key() == Qt::Key_Backtab);
        else
            QPlainTextEdit::keyPressEvent(event);
    }
    if (typing)
        emit typingEnded();
    _environmentCloser->keyPressAfter(event);
    _completion->keyPressAfter(event);
}

bool QSTextView::typesText(const QKeyEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return true;
    default:
        return !event->text().isEmpty() && event->text().front().isPrint();
    }
}

void QSTextView::textDidChange(int position, int removed, int added)
{
    // The text view keeps no block revisions (its own undo is off): the lines an
    // edit touched lose what was found in them, and are checked again.
    const QTextBlock last = document()->findBlock(position + added);
    _uncheckedFrom = qMin(_uncheckedFrom, document()->findBlock(position).blockNumber());
    for (QTextBlock block = document()->findBlock(position); block.isValid();
         block = block.next()) {
        if (block.userData())
            block.setUserData(nullptr);
        if (block == last)
            break;
    }
    const bool wholeText = position == 0 && removed >= _characterCount - 1 && removed > 0;
    _characterCount = document()->characterCount();
    // Marks and a bracket pair of the text shown before have no place in another.
    if (wholeText && (!_referenceMarks.isEmpty() || !_bracketPair.isEmpty())) {
        _referenceMarks.clear();
        _bracketPair.clear();
        showExtraSelections();
    } else if (!_referenceMarks.isEmpty()) {
        moveReferenceMarks(position, removed, added);
    }
    if (_markers.isEmpty())
        return;
    if (wholeText) {
        _markers.clear();
    } else {
        for (const Marker &marker : std::as_const(_markers)) {
            if (const auto diagnostic = marker.diagnostic.lock())
                diagnostic->lineNumber = marker.at.blockNumber() + 1;
        }
    }
    _gutter->update();
}

QSRange QSTextView::selectNextRangeOfString(const SearchPattern &pattern, qint32 position,
                                            bool lookBackwards)
{
    const QString text = toPlainText();
    const QSRange found =
        lookBackwards ? pattern.findBackwards(text, position) : pattern.find(text, position);
    if (found.location == QSNotFound)
        return found;
    QTextCursor cursor(document());
    cursor.setPosition(int(found.location));
    cursor.setPosition(int(found.location + found.length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
    return found;
}

// A step in the other direction than the last one starts from the other end of
// the match found last, so that it does not find that match again.
void QSTextView::selectAndHighlightNextRangeOfString(const SearchPattern &pattern)
{
    if (pattern.isEmpty())
        return;
    if (pattern == _searchPattern && _lastSearchDirectionWasBackwards)
        _searchOffset += _lastMatchLength;
    else if (pattern != _searchPattern)
        usePattern(pattern);
    const qint32 length = qint32(document()->characterCount() - 1);
    if (quint32(_searchOffset) > quint32(length))
        _searchOffset = 0;
    QSRange found = selectNextRangeOfString(_searchPattern, _searchOffset, false);
    if (found.location == QSNotFound)
        found = selectNextRangeOfString(_searchPattern, 0, false);
    if (found.location == QSNotFound) {
        // Past the text, so that the next step starts again from the beginning.
        _searchOffset = length + 1;
        _lastSearchDirectionWasBackwards = false;
        return;
    }
    _lastMatchLength = qint32(found.length);
    _searchOffset = qint32(found.location + found.length);
    showFindIndicator(found);
    _lastSearchDirectionWasBackwards = false;
}

void QSTextView::selectAndHighlightPreviousRangeOfString(const SearchPattern &pattern)
{
    if (pattern.isEmpty())
        return;
    if (pattern == _searchPattern && !_lastSearchDirectionWasBackwards)
        _searchOffset -= _lastMatchLength;
    else if (pattern != _searchPattern)
        usePattern(pattern);
    const qint32 length = qint32(document()->characterCount() - 1);
    if (_searchOffset < 0 || _searchOffset > length)
        _searchOffset = 0;
    QSRange found = selectNextRangeOfString(_searchPattern, _searchOffset, true);
    if (found.location == QSNotFound) {
        found = selectNextRangeOfString(_searchPattern, length, true);
        if (found.location == QSNotFound) {
            // Past the text, so that the next step starts again from the beginning.
            _searchOffset = length + 1;
            _lastSearchDirectionWasBackwards = true;
            return;
        }
    }
    _lastMatchLength = qint32(found.length);
    _searchOffset = qint32(found.location);
    showFindIndicator(found);
    _lastSearchDirectionWasBackwards = true;
}

// A new pattern is taken as matching as long as its key until it has matched.
void QSTextView::usePattern(const SearchPattern &pattern)
{
    _searchPattern = pattern;
    _lastMatchLength = qint32(pattern.key().size());
}

void QSTextView::replaceSelectedRangeWith(const QString &replacement, bool findNext)
{
    if (replacement.isNull() || !textCursor().hasSelection())
        return;
    QTextCursor cursor = textCursor();
    cursor.insertText(replacement);
    setTextCursor(cursor);
    if (findNext)
        selectAndHighlightNextRangeOfString(_searchPattern);
}

void QSTextView::showFindIndicator(QSRange range)
{
    QTextEdit::ExtraSelection indicator;
    indicator.cursor = QTextCursor(document());
    indicator.cursor.setPosition(int(range.location));
    indicator.cursor.setPosition(int(range.location + range.length), QTextCursor::KeepAnchor);
    indicator.format.setBackground(Theme::current().findIndicator);
    _findIndicator = {indicator};
    showExtraSelections();
    _findIndicatorRange = range;
    _findIndicatorTimer->start();
}
