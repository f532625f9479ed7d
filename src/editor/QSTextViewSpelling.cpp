// The text view's spell checking: which lines to check, the underlines, and the
// context menu of a misspelt word.
#include "editor/QSTextView.h"

#include "editor/QSSyntaxHighlighter.h"
#include "editor/SpellChecker.h"
#include "platform/HandOver.h"
#include "platform/Theme.h"

#include <QContextMenuEvent>
#include <QFutureWatcher>
#include <QMenu>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextLayout>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

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
    // The first line above the view without marks: no line before _uncheckedFrom
    // lacks them, so only the lines from there are looked at, not the whole text
    // above the view at every pause in typing.
    QTextBlock from = first;
    for (QTextBlock block = document()->findBlockByNumber(_uncheckedFrom);
         block.isValid() && block.blockNumber() < first.blockNumber(); block = block.next()) {
        if (!marksOf(block)) {
            from = block;
            break;
        }
    }
    _uncheckedFrom = from.blockNumber();
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
            _uncheckedFrom = qMin(_uncheckedFrom, after.blockNumber());
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
    _uncheckedFrom = 0;
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
    // The view's own history is off: Undo and Redo are those of the file shown.
    for (QAction *item : menu->actions()) {
        QAction *own = item->objectName() == QLatin1String("edit-undo")   ? _undoAction.data()
                       : item->objectName() == QLatin1String("edit-redo") ? _redoAction.data()
                                                                          : nullptr;
        if (own) {
            menu->insertAction(item, own);
            menu->removeAction(item);
        }
    }
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
    if (!_caretActions.isEmpty()) {
        const QTextCursor selection = textCursor();
        if (!selection.hasSelection() || at.position() < selection.selectionStart()
            || at.position() > selection.selectionEnd())
            setTextCursor(at);
        menu->addSeparator();
        for (const QPointer<QAction> &action : std::as_const(_caretActions))
            if (action)
                menu->addAction(action);
    }
    menu->exec(event->globalPos());
}
