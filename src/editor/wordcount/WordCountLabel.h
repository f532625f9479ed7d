#pragma once

#include <QLabel>

class QPlainTextEdit;
class TextStorageDelegate;
class WordCounts;

// The status bar's word count: the document's words, with the selection's before
// them while text is selected ("12 / 1,234 words"); its tooltip gives the document,
// the file shown and the selection one a line. It hands the counts the selection
// of the text view and shows what they deliver; it counts nothing itself.
class WordCountLabel : public QLabel
{
    Q_OBJECT

public:
    WordCountLabel(WordCounts *counts, QPlainTextEdit *textView, TextStorageDelegate *delegate,
                   QWidget *parent = nullptr);

    // "1 word", "1,234 words", in the user's locale.
    static QString words(int count);

private:
    void selectionDidChange();
    void showCounts();

    WordCounts *_counts;
    QPlainTextEdit *_textView;
    TextStorageDelegate *_delegate;
    bool _selected = false; // whether the counts were last told of a selection
};
