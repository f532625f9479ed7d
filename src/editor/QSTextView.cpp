#include "editor/QSTextView.h"

#include "editor/LineNumberGutter.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/SpellChecker.h"
#include "editor/completion/CompletionController.h"
#include "model/ErrorWarningNode.h"
#include "platform/HandOver.h"
#include "platform/Theme.h"

#include <QContextMenuEvent>
#include <QFutureWatcher>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextLayout>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

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

namespace {

// What the spell checker found in a line, with the scanner's state at its start and
// its end; an edit of the line drops it. A line above the view has its states only,
// and its words are checked once it is shown.
struct SpellingMarks : QTextBlockUserData
{
    SpellingScanner::State begin, end;
    bool checked = false;
    QList<SpellingScanner::Word> misspelt;
};

const SpellingMarks *marksOf(const QTextBlock &block)
{
    return static_cast<const SpellingMarks *>(block.userData());
}

struct SpellingLine
{
    int number;
    QString text;
    bool shown;
    // Whether it has marks, whether their words were checked, and their states.
    bool marked, checked;
    SpellingScanner::State begin, end;
};

struct SpellingResult
{
    int number;
    QString text; // as checked
    bool checked;
    SpellingScanner::State begin, end;
    QList<SpellingScanner::Word> misspelt;
};

// The number of the checker's suggestions a misspelt word's menu offers.
constexpr int shownSuggestions = 5;

} // namespace

void QSTextView::setSpellChecker(std::shared_ptr<SpellChecker> checker)
{
    if (checker == _spellChecker)
        return;
    _spellChecker = std::move(checker);
    checkSpellingAgain();
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
    highlightMatchingBrackets();
    _gutter->update();
    viewport()->update();
}

QList<SpellingScanner::Word> QSTextView::misspeltWords(int line) const
{
    const SpellingMarks *marks = marksOf(document()->findBlockByNumber(line));
    return marks ? marks->misspelt : QList<SpellingScanner::Word>();
}

void QSTextView::formatBlock(const QTextBlock &block)
{
    QList<QTextLayout::FormatRange> underlines;
    const SpellingMarks *marks = marksOf(block);
    for (const SpellingScanner::Word &word :
         marks ? marks->misspelt : QList<SpellingScanner::Word>()) {
        QTextLayout::FormatRange underline;
        underline.start = int(word.start);
        underline.length = int(word.length);
        underline.format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        underline.format.setUnderlineColor(Theme::current().misspelt);
        underlines << underline;
    }
    QSSyntaxHighlighter::colourBlock(document(), block, underlines);
}

// The lines shown whose text changed since they were checked go to a worker in one
// batch; the next batch waits for this one, so typing never queues more than one.
// A line begins in the state the line before it ends in (inside math, a verbatim
// body, an argument that spans lines): from the first line without marks above
// the view, the lines above it are scanned again for their states only, and a line
// whose marks were made from another state than its new one is checked again.
void QSTextView::checkShownSpelling()
{
    if (!_spellChecker || _spellingRunning)
        return;
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    const QTextBlock first = firstVisibleBlock();
    if (!first.isValid())
        return;
    QTextBlock from = first;
    for (QTextBlock block = first.previous(); block.isValid(); block = block.previous()) {
        if (!marksOf(block))
            from = block;
    }
    const auto isShown = [&](const QTextBlock &block) {
        return block.isValid() && blockBoundingGeometry(block).translated(offset).top() <= bottom;
    };
    if (from == first) {
        for (; isShown(from); from = from.next()) {
            const SpellingMarks *marks = marksOf(from);
            const SpellingMarks *before = marksOf(from.previous());
            if (!marks || !marks->checked
                || marks->begin != (before ? before->end : SpellingScanner::State()))
                break;
        }
        if (!isShown(from))
            return;
    }
    const SpellingMarks *before = marksOf(from.previous());
    SpellingScanner::State state = before ? before->end : SpellingScanner::State();
    QList<SpellingLine> lines;
    for (QTextBlock block = from; block.isValid(); block = block.next()) {
        const bool shown = block.blockNumber() >= first.blockNumber();
        if (shown && !isShown(block))
            break;
        const SpellingMarks *marks = marksOf(block);
        lines.append({block.blockNumber(), block.text(), shown, marks != nullptr,
                      marks && marks->checked, marks ? marks->begin : SpellingScanner::State(),
                      marks ? marks->end : SpellingScanner::State()});
    }
    _spellingRunning = true;
    // The worker fills the results; the lines go to it, and the results come back,
    // through Qt's own queue, which ThreadSanitizer does not see: the hand-overs
    // tell it.
    auto results = std::make_shared<QList<SpellingResult>>();
    auto *watcher = new QFutureWatcher<void>(this);
    const int last = lines.last().number;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, results, last] {
        takeOver(results.get());
        watcher->deleteLater();
        _spellingRunning = false;
        for (const SpellingResult &result : std::as_const(*results)) {
            QTextBlock block = document()->findBlockByNumber(result.number);
            // A line edited while the worker checked it waits for the next check.
            if (!block.isValid() || block.text() != result.text)
                continue;
            const SpellingMarks *old = marksOf(block);
            const bool underlined = old && !old->misspelt.isEmpty();
            auto *marks = new SpellingMarks;
            marks->begin = result.begin;
            marks->end = result.end;
            marks->checked = result.checked;
            marks->misspelt = result.misspelt;
            block.setUserData(marks);
            if (result.checked || underlined)
                formatBlock(block);
        }
        // The line after the batch was scanned from a state that may have changed
        // since: its marks go, and the lines after it are measured against it anew.
        const QTextBlock lastLine = document()->findBlockByNumber(last);
        QTextBlock after = lastLine.next();
        const SpellingMarks *marks = marksOf(after);
        if (marks && (!marksOf(lastLine) || marksOf(lastLine)->end != marks->begin)) {
            after.setUserData(nullptr);
            formatBlock(after);
        }
        emit spellingChecked();
        viewport()->update();
    });
    handOver(results.get());
    watcher->setFuture(
        QtConcurrent::run([checker = _spellChecker, lines, state, results]() mutable {
            takeOver(results.get());
            for (const SpellingLine &line : lines) {
                // Marks made from the same state still hold.
                if (line.marked && line.begin == state && (line.checked || !line.shown)) {
                    state = line.end;
                    continue;
                }
                SpellingResult result{line.number, line.text, line.shown, state, {}, {}};
                for (const SpellingScanner::Word &word : SpellingScanner::words(line.text, state)) {
                    if (line.shown && !checker->isCorrect(line.text.mid(word.start, word.length)))
                        result.misspelt << word;
                }
                result.end = state;
                results->append(result);
            }
            handOver(results.get());
        }));
}

// The checker changed, or learnt a word: every line is checked again when shown.
void QSTextView::checkSpellingAgain()
{
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userData()) {
            block.setUserData(nullptr);
            formatBlock(block);
        }
    }
    viewport()->update();
}

void QSTextView::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    const QTextCursor at = cursorForPosition(event->pos());
    const SpellingMarks *marks = marksOf(at.block());
    for (const SpellingScanner::Word &word :
         marks ? marks->misspelt : QList<SpellingScanner::Word>()) {
        if (at.positionInBlock() < word.start || at.positionInBlock() > word.start + word.length)
            continue;
        QTextCursor wordCursor(at.block());
        wordCursor.setPosition(at.block().position() + int(word.start));
        wordCursor.setPosition(at.block().position() + int(word.start + word.length),
                               QTextCursor::KeepAnchor);
        const QString misspelt = wordCursor.selectedText();
        QAction *first = menu->actions().value(0);
        const QStringList suggestions = _spellChecker->suggestions(misspelt);
        for (const QString &suggestion : suggestions.mid(0, shownSuggestions)) {
            QAction *replace = new QAction(suggestion, menu.get());
            connect(replace, &QAction::triggered, this,
                    [wordCursor, suggestion]() mutable { wordCursor.insertText(suggestion); });
            menu->insertAction(first, replace);
        }
        if (suggestions.isEmpty()) {
            QAction *none = new QAction(tr("No Suggestions"), menu.get());
            none->setEnabled(false);
            menu->insertAction(first, none);
        }
        QAction *add = new QAction(tr("Add to Dictionary"), menu.get());
        connect(add, &QAction::triggered, this, [this, misspelt] {
            _spellChecker->addToPersonalDictionary(misspelt);
            checkSpellingAgain();
        });
        QAction *ignore = new QAction(tr("Ignore"), menu.get());
        connect(ignore, &QAction::triggered, this, [this, misspelt] {
            _spellChecker->ignore(misspelt);
            checkSpellingAgain();
        });
        menu->insertActions(first, {add, ignore});
        menu->insertSeparator(first);
        break;
    }
    menu->exec(event->globalPos());
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
    QList<QTextEdit::ExtraSelection> selections = _findIndicator;
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
    if (_completion->keyPressBefore(event))
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

int QSTextView::gutterWidth() const
{
    const int digits = QString::number(qMax(1, blockCount())).size();
    const int icon = fontMetrics().height();
    return 8 + fontMetrics().horizontalAdvance(u'9') * qMax(2, digits) + icon;
}

void QSTextView::layOutGutter()
{
    const int width = gutterWidth();
    if (viewportMargins().left() != width)
        setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    _gutter->setGeometry(area.left(), area.top(), width, area.height());
}

void QSTextView::setDiagnostics(const QList<std::shared_ptr<ErrorWarningNode>> &diagnostics)
{
    _markers.clear();
    for (const std::shared_ptr<ErrorWarningNode> &diagnostic : diagnostics) {
        const QTextBlock line = document()->findBlockByNumber(diagnostic->lineNumber - 1);
        if (diagnostic->lineNumber > 0 && line.isValid())
            _markers.append({QTextCursor(line), diagnostic});
    }
    _gutter->update();
}

QMap<int, bool> QSTextView::markedLines() const
{
    QMap<int, bool> lines;
    for (const Marker &marker : _markers) {
        if (const auto diagnostic = marker.diagnostic.lock())
            lines[marker.at.blockNumber() + 1] |= diagnostic->type == QStringLiteral("error");
    }
    return lines;
}

void QSTextView::textDidChange(int position, int removed, int added)
{
    // The text view keeps no block revisions (its own undo is off): the lines an
    // edit touched lose what was found in them, and are checked again.
    const QTextBlock last = document()->findBlock(position + added);
    for (QTextBlock block = document()->findBlock(position); block.isValid();
         block = block.next()) {
        if (block.userData())
            block.setUserData(nullptr);
        if (block == last)
            break;
    }
    const bool wholeText = position == 0 && removed >= _characterCount - 1 && removed > 0;
    _characterCount = document()->characterCount();
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

void QSTextView::paintGutter(QWidget *gutter, const QRect &rect)
{
    QPainter painter(gutter);
    painter.fillRect(rect, Theme::current().gutter);
    painter.setPen(Theme::current().gutterText);
    const QMap<int, bool> marked = markedLines();
    const int lineHeight = fontMetrics().height();
    const int icon = lineHeight;
    const int numbersRight = gutter->width() - icon - 6;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= rect.bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= rect.top()) {
            const int line = block.blockNumber() + 1;
            painter.drawText(QRect(0, int(top), numbersRight, lineHeight), Qt::AlignRight,
                             QString::number(line));
            if (const auto mark = marked.find(line); mark != marked.end()) {
                const QIcon symbol = style()->standardIcon(*mark ? QStyle::SP_MessageBoxCritical
                                                                 : QStyle::SP_MessageBoxWarning);
                symbol.paint(&painter, QRect(numbersRight + 3, int(top), icon, icon));
            }
        }
        block = block.next();
        top += height;
    }
}

QString QSTextView::markerMessagesAt(int y) const
{
    const int line = cursorForPosition(QPoint(0, y)).blockNumber();
    QStringList messages;
    for (const Marker &marker : _markers) {
        if (const auto diagnostic = marker.diagnostic.lock();
            diagnostic && marker.at.blockNumber() == line)
            messages << diagnostic->msg.trimmed();
    }
    return messages.join(u'\n');
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
