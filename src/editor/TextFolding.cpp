#include "editor/TextFolding.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <algorithm>

namespace {

// An environment folds when its \end is at least this many lines below its \begin.
constexpr int shortestEnvironment = 3;

const QStringList headings{QStringLiteral("part"),          QStringLiteral("chapter"),
                           QStringLiteral("section"),       QStringLiteral("subsection"),
                           QStringLiteral("subsubsection"), QStringLiteral("paragraph"),
                           QStringLiteral("subparagraph")};

// The rank of the heading a line starts with (0 for \part), or -1.
int headingRank(const QString &line)
{
    static const QRegularExpression heading(QStringLiteral(
        R"(^\s*\\(part|chapter|section|subsection|subsubsection|paragraph|subparagraph)\*?\s*[\[{])"));
    const QRegularExpressionMatch match = heading.match(line);
    return match.hasMatch() ? int(headings.indexOf(match.captured(1))) : -1;
}

// The environment a line begins, outside a comment, or an empty string.
QString begunEnvironment(const QString &line)
{
    static const QRegularExpression begin(QStringLiteral(R"(^\s*\\begin\{([^}]+)\})"));
    const QRegularExpressionMatch match = begin.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

// How many more of the environment a line opens than it closes, outside a comment.
int nestingChange(QString line, const QString &name)
{
    if (const qsizetype comment = line.indexOf(u'%'); comment >= 0)
        line.truncate(comment);
    return int(line.count(QStringLiteral("\\begin{%1}").arg(name)))
           - int(line.count(QStringLiteral("\\end{%1}").arg(name)));
}

} // namespace

TextFolding::TextFolding(QPlainTextEdit *view)
    : QObject(view)
    , _view(view)
{
    connect(view, &QPlainTextEdit::cursorPositionChanged, this, &TextFolding::revealCaret);
}

int TextFolding::foldEnd(const QTextDocument *document, int line)
{
    const QTextBlock start = document->findBlockByNumber(line);
    if (!start.isValid())
        return -1;
    const QString text = start.text();
    if (const int rank = headingRank(text); rank >= 0) {
        QTextBlock block = start.next();
        for (; block.isValid(); block = block.next()) {
            const QString next = block.text();
            const int other = headingRank(next);
            if ((other >= 0 && other <= rank) || next.trimmed().startsWith(u"\\end{document}")
                || next.trimmed().startsWith(u"\\appendix") || next.trimmed() == u"\\backmatter")
                break;
        }
        const int end = (block.isValid() ? block.blockNumber() : document->blockCount()) - 1;
        return end > line ? end : -1;
    }
    const QString name = begunEnvironment(text);
    if (name.isEmpty())
        return -1;
    int depth = 0;
    for (QTextBlock block = start; block.isValid(); block = block.next()) {
        depth += nestingChange(block.text(), name);
        if (depth <= 0)
            return block.blockNumber() - start.blockNumber() >= shortestEnvironment
                       ? block.blockNumber()
                       : -1;
    }
    return -1;
}

bool TextFolding::startsFold(const QTextBlock &line)
{
    const QString text = line.text();
    if (!text.contains(u'\\'))
        return false;
    if (headingRank(text) >= 0)
        return true;
    const QString name = begunEnvironment(text);
    if (name.isEmpty() || name == u"document")
        return !name.isEmpty();
    // Its \end within the next few lines makes the environment too short to fold.
    QTextBlock block = line;
    int depth = 0;
    for (int step = 0; step < shortestEnvironment && block.isValid(); ++step) {
        depth += nestingChange(block.text(), name);
        if (depth <= 0)
            return false;
        block = block.next();
    }
    return true;
}

bool TextFolding::isFolded(int line) const
{
    return std::any_of(_folds.cbegin(), _folds.cend(),
                       [line](const QTextCursor &fold) { return fold.blockNumber() == line; });
}

void TextFolding::toggle(int line)
{
    for (int index = 0; index < _folds.size(); ++index) {
        if (_folds[index].blockNumber() == line) {
            unfold(index);
            emit foldsChanged();
            return;
        }
    }
    const int end = foldEnd(_view->document(), line);
    if (end < 0)
        return;
    fold(line, end);
    emit foldsChanged();
}

void TextFolding::fold(int line, int end)
{
    QTextCursor at(_view->document()->findBlockByNumber(line));
    _folds.append(at);
    // A caret inside goes to the fold's first line, which stays in view.
    if (const int caret = _view->textCursor().blockNumber(); caret > line && caret <= end) {
        QTextCursor moved(_view->textCursor());
        moved.setPosition(at.block().position() + at.block().length() - 1);
        _view->setTextCursor(moved);
    }
    show(line + 1, end, false);
}

// The lines hidden under a fold's first line run on to the first line shown: an
// edit may have moved the end its heading or environment has now.
int TextFolding::hiddenRunEnd(int line) const
{
    QTextBlock block = _view->document()->findBlockByNumber(line).next();
    int end = line;
    for (; block.isValid() && !block.isVisible(); block = block.next())
        end = block.blockNumber();
    return end;
}

void TextFolding::unfold(int index)
{
    const int line = _folds.takeAt(index).blockNumber();
    const int end = hiddenRunEnd(line);
    show(line + 1, end, true);
    // Folds closed inside it stay closed.
    for (const QTextCursor &inner : std::as_const(_folds)) {
        const int start = inner.blockNumber();
        if (start > line && start <= end)
            show(start + 1, foldEnd(_view->document(), start), false);
    }
}

void TextFolding::show(int first, int last, bool visible)
{
    QTextDocument *document = _view->document();
    QTextBlock block = document->findBlockByNumber(first);
    if (!block.isValid() || last < first)
        return;
    const int from = block.position();
    for (; block.isValid() && block.blockNumber() <= last; block = block.next())
        block.setVisible(visible);
    const int to = block.isValid() ? block.position() : document->characterCount();
    document->markContentsDirty(from, to - from);
    _view->viewport()->update();
}

void TextFolding::unfoldAll()
{
    if (_folds.isEmpty())
        return;
    while (!_folds.isEmpty())
        unfold(int(_folds.size()) - 1);
    emit foldsChanged();
}

void TextFolding::revealCaret()
{
    const QTextBlock caret = _view->textCursor().block();
    if (caret.isVisible())
        return;
    bool opened = false;
    // The outermost fold first: opening it shows the inner ones' first lines.
    for (int index = 0; index < _folds.size();) {
        const int line = _folds[index].blockNumber();
        if (caret.blockNumber() > line && caret.blockNumber() <= hiddenRunEnd(line)
            && _view->document()->findBlockByNumber(line).isVisible()) {
            unfold(index);
            opened = true;
            index = 0;
        } else {
            ++index;
        }
    }
    if (opened) {
        _view->ensureCursorVisible();
        emit foldsChanged();
    }
}

QList<int> TextFolding::foldedLines() const
{
    QList<int> lines;
    for (const QTextCursor &fold : _folds)
        lines.append(fold.blockNumber());
    std::sort(lines.begin(), lines.end());
    return lines;
}

void TextFolding::setFoldedLines(const QList<int> &lines)
{
    // The text was shown anew: every line is visible and no fold is closed.
    _folds.clear();
    for (int line : lines)
        if (const int end = foldEnd(_view->document(), line); end >= 0 && !isFolded(line))
            fold(line, end);
    emit foldsChanged();
}
