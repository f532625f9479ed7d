#pragma once

#include <QObject>
#include <QStringView>

class QKeyEvent;
class QPlainTextEdit;

// Closes the environments a user begins by hand. The } typed to close the name of
// \begin{name} at the end of a line puts \end{name} on the next line, indented as
// the \begin line, and leaves the caret after the brace, where the environment's
// arguments go ({lr} of a tabular). Return typed at the end of such a line right
// above its \end opens the line between, indented alike. Nothing is put in when the
// file already closes the environment, in a comment or a verbatim body, or for a
// second \begin{document}. The \end is an edit of its own, which one undo takes
// back.
//
// Threads: UI thread only.
class EnvironmentCloser : public QObject
{
    Q_OBJECT

public:
    explicit EnvironmentCloser(QPlainTextEdit *view);

    // Before the view handles a key: true when it was taken here (the Return above).
    bool keyPressBefore(QKeyEvent *event);
    // After the view handled a key and the typing it did was recorded.
    void keyPressAfter(QKeyEvent *event);

    // Whether an environment begun by the \begin{name} that the range [from, to) of
    // the text holds wants an \end: not in a comment or a verbatim body, and not
    // closed already, that is, the text's other \begin{name} are not fewer than
    // its \end{name} (so a new environment inside one of the same name gets its own
    // \end). Never when the text ends a document already.
    static bool needsEnd(QStringView text, QStringView name, qsizetype from, qsizetype to);

private:
    QPlainTextEdit *_view; // the parent
};
