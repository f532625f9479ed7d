#include "editor/wordcount/WordCountLabel.h"

#include "editor/wordcount/WordCounts.h"
#include "model/QSFile.h"
#include "model/TextStorageDelegate.h"

#include <QLocale>
#include <QPlainTextEdit>

WordCountLabel::WordCountLabel(WordCounts *counts, QPlainTextEdit *textView,
                               TextStorageDelegate *delegate, QWidget *parent)
    : QLabel(parent)
    , _counts(counts)
    , _textView(textView)
    , _delegate(delegate)
{
    setObjectName(QStringLiteral("wordCount"));
    setAccessibleName(tr("Word count"));
    connect(counts, &WordCounts::countsChanged, this, &WordCountLabel::showCounts);
    connect(textView, &QPlainTextEdit::selectionChanged, this, &WordCountLabel::selectionDidChange);
    // Another file shown: its own count, and no selection of the file before.
    connect(delegate, &TextStorageDelegate::textViewReloaded, this, [this] {
        selectionDidChange();
        showCounts();
    });
    showCounts();
}

QString WordCountLabel::words(int count)
{
    const QString number = QLocale().toString(count);
    return count == 1 ? tr("%1 word").arg(number) : tr("%1 words").arg(number);
}

// The caret moving about without a selection wakes no thread.
void WordCountLabel::selectionDidChange()
{
    const QTextCursor cursor = _textView->textCursor();
    if (!cursor.hasSelection() && !_selected)
        return;
    _selected = cursor.hasSelection();
    const int start = cursor.selectionStart();
    _counts->setSelection(_delegate->selectedFile(),
                          {quint32(start), quint32(cursor.selectionEnd() - start)});
}

void WordCountLabel::showCounts()
{
    const WordCountResults &results = _counts->results();
    const QLocale locale;
    setText(results.selection >= 0
                ? tr("%1 / %2").arg(locale.toString(results.selection), words(results.document))
                : words(results.document));
    QStringList lines{tr("Document: %1").arg(words(results.document))};
    if (const std::shared_ptr<QSFile> shown = _delegate->selectedFile();
        shown && results.files.contains(shown.get()))
        lines << tr("%1: %2").arg(shown->name(), words(results.files.value(shown.get())));
    if (results.selection >= 0)
        lines << tr("Selection: %1").arg(words(results.selection));
    setToolTip(lines.join(u'\n'));
}
