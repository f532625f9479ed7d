// The text view's marks of references, citation keys and labels the document does
// not resolve: the dotted underlines and their tooltips.
#include "editor/QSTextView.h"

#include "editor/references/ReferenceProblem.h"
#include "platform/Theme.h"

#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

void QSTextView::setReferenceProblems(const QList<ReferenceProblem> &problems)
{
    const QTextDocument *text = document();
    const int end = text->characterCount() - 1;
    QList<ReferenceMark> marks;
    marks.reserve(problems.size());
    for (const ReferenceProblem &problem : problems) {
        // The check read the tree the edit worker keeps, which may be a keystroke
        // behind the view: a key not where it says is marked by the next check.
        bool inPlace = problem.length == problem.key.size() && problem.offset >= 0
                       && problem.offset + problem.length <= end;
        for (qint32 i = 0; inPlace && i < problem.length; ++i)
            inPlace = text->characterAt(problem.offset + i) == problem.key[i];
        if (inPlace)
            marks.append({problem.offset, problem.offset + problem.length, problem.message});
    }
    std::stable_sort(
        marks.begin(), marks.end(),
        [](const ReferenceMark &a, const ReferenceMark &b) { return a.start < b.start; });
    // Typing before a mark moves it as it moves the problem: marks that stand where
    // they stood are not laid out and painted again.
    if (marks == _referenceMarks)
        return;
    _referenceMarks = std::move(marks);
    showExtraSelections();
}

// An edit moves the marks after it; a mark it cuts into keeps what is left of its
// key until the next check says what it is now.
void QSTextView::moveReferenceMarks(int position, int removed, int added)
{
    const int shift = added - removed;
    const auto moved = [&](int offset) {
        if (offset <= position)
            return offset;
        return offset >= position + removed ? offset + shift : position + added;
    };
    for (ReferenceMark &mark : _referenceMarks) {
        if (mark.end < position)
            continue;
        mark.start = moved(mark.start);
        mark.end = moved(mark.end);
    }
    _referenceMarks.removeIf([](const ReferenceMark &mark) { return mark.end <= mark.start; });
}

QList<QSRange> QSTextView::referenceMarks() const
{
    QList<QSRange> ranges;
    for (const ReferenceMark &mark : _referenceMarks)
        ranges.append(QSRange{quint32(mark.start), quint32(mark.end - mark.start)});
    return ranges;
}

QString QSTextView::referenceMessageAt(int position) const
{
    for (const ReferenceMark &mark : _referenceMarks) {
        if (position >= mark.start && position <= mark.end)
            return mark.message;
    }
    return {};
}

QList<QTextEdit::ExtraSelection> QSTextView::referenceSelections() const
{
    QList<QTextEdit::ExtraSelection> selections;
    if (_referenceMarks.isEmpty())
        return selections;
    // The lines in sight; a scroll asks again.
    const int first = cursorForPosition(QPoint(0, 0)).position();
    const int last =
        cursorForPosition(QPoint(viewport()->width(), viewport()->height())).position();
    auto mark = std::lower_bound(_referenceMarks.cbegin(), _referenceMarks.cend(), first,
                                 [](const ReferenceMark &each, int at) { return each.end < at; });
    for (; mark != _referenceMarks.cend() && mark->start <= last; ++mark) {
        QTextEdit::ExtraSelection underline;
        underline.cursor = QTextCursor(document());
        underline.cursor.setPosition(mark->start);
        underline.cursor.setPosition(mark->end, QTextCursor::KeepAnchor);
        underline.format.setUnderlineStyle(QTextCharFormat::DotLine);
        underline.format.setUnderlineColor(Theme::current().unresolved);
        selections << underline;
    }
    return selections;
}

bool QSTextView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !_referenceMarks.isEmpty()) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString message = referenceMessageAt(cursorForPosition(help->pos()).position());
        if (!message.isEmpty()) {
            QToolTip::showText(help->globalPos(), message, viewport());
            return true;
        }
        QToolTip::hideText();
    }
    return QPlainTextEdit::viewportEvent(event);
}
