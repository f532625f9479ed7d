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
        if (!inPlace)
            continue;
        QTextCursor at(document());
        at.setPosition(problem.offset);
        at.setPosition(problem.offset + problem.length, QTextCursor::KeepAnchor);
        marks.append({at, problem.message});
    }
    // Typing before a mark moves it as it moves the problem: marks that stand where
    // they stood are not laid out and painted again.
    const auto same = [](const ReferenceMark &a, const ReferenceMark &b) {
        return a.at.selectionStart() == b.at.selectionStart()
               && a.at.selectionEnd() == b.at.selectionEnd() && a.message == b.message;
    };
    if (std::equal(marks.cbegin(), marks.cend(), _referenceMarks.cbegin(), _referenceMarks.cend(),
                   same))
        return;
    _referenceMarks = std::move(marks);
    showExtraSelections();
}

QList<QSRange> QSTextView::referenceMarks() const
{
    QList<QSRange> ranges;
    for (const ReferenceMark &mark : _referenceMarks) {
        if (mark.at.hasSelection())
            ranges.append(QSRange{quint32(mark.at.selectionStart()),
                                  quint32(mark.at.selectionEnd() - mark.at.selectionStart())});
    }
    return ranges;
}

QString QSTextView::referenceMessageAt(int position) const
{
    for (const ReferenceMark &mark : _referenceMarks) {
        if (mark.at.hasSelection() && position >= mark.at.selectionStart()
            && position <= mark.at.selectionEnd())
            return mark.message;
    }
    return {};
}

QList<QTextEdit::ExtraSelection> QSTextView::referenceSelections() const
{
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(_referenceMarks.size());
    for (const ReferenceMark &mark : _referenceMarks) {
        // A key deleted as a whole leaves nothing to underline.
        if (!mark.at.hasSelection())
            continue;
        QTextEdit::ExtraSelection underline;
        underline.cursor = mark.at;
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
