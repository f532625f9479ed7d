#include "editor/EnvironmentCloser.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <algorithm>

namespace {

const QLatin1String beginWord("\\begin{");
const QLatin1String endWord("\\end{");

// Environments whose body TeX reads as plain characters: a \begin there is text.
bool isVerbatim(QStringView name)
{
    static const QStringList names = {u"verbatim"_qs,  u"verbatim*"_qs,    u"Verbatim"_qs,
                                      u"Verbatim*"_qs, u"lstlisting"_qs,   u"minted"_qs,
                                      u"comment"_qs,   u"filecontents"_qs, u"filecontents*"_qs};
    return names.contains(name);
}

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'*' || c == u'@' || c == u'-' || c == u':';
}

// Whether a % that starts a comment stands in the line before the column.
bool isCommented(QStringView line, qsizetype column)
{
    for (qsizetype i = 0; i < column && i < line.size(); ++i) {
        if (line[i] == u'\\')
            ++i;
        else if (line[i] == u'%')
            return true;
    }
    return false;
}

QString indentationOf(const QString &line)
{
    qsizetype end = 0;
    while (end < line.size() && (line[end] == u' ' || line[end] == u'\t'))
        ++end;
    return line.left(end);
}

// The name of the last \begin{name} of the line before the column, closed by its
// brace, and where its backslash stands; -1 when there is none outside a comment.
std::pair<QString, qsizetype> lastBegin(const QString &line, qsizetype column)
{
    if (column <= beginWord.size())
        return {{}, -1};
    const qsizetype at = line.lastIndexOf(beginWord, column - beginWord.size());
    if (at < 0 || isCommented(line, at))
        return {{}, -1};
    // An escaped backslash before it (\\begin) makes it text.
    qsizetype backslashes = 0;
    for (qsizetype i = at; i >= 0 && line[i] == u'\\'; --i)
        ++backslashes;
    const qsizetype close = line.indexOf(u'}', at);
    if (backslashes % 2 == 0 || close < 0 || close >= column)
        return {{}, -1};
    const QString name = line.mid(at + beginWord.size(), close - at - beginWord.size());
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), isNameCharacter))
        return {{}, -1};
    return {name, at};
}

} // namespace

EnvironmentCloser::EnvironmentCloser(QPlainTextEdit *view)
    : QObject(view)
    , _view(view)
{}

bool EnvironmentCloser::needsEnd(QStringView text, QStringView name, qsizetype from, qsizetype to)
{
    qsizetype begins = 0, ends = 0;
    QStringView verbatim; // the environment whose body the scan is in
    bool insideAtFrom = false;
    bool passedFrom = false;
    for (qsizetype i = text.indexOf(u'\\'); i >= 0; i = text.indexOf(u'\\', i)) {
        if (!passedFrom && i >= from) {
            passedFrom = true;
            insideAtFrom = !verbatim.isEmpty();
        }
        const QStringView rest = text.mid(i);
        const bool begins_ = rest.startsWith(beginWord);
        const bool ends_ = !begins_ && rest.startsWith(endWord);
        if (!begins_ && !ends_) {
            i += 2; // a command, or an escaped character such as \\ or \%
            continue;
        }
        const qsizetype nameStart = i + (begins_ ? beginWord.size() : endWord.size());
        const qsizetype close = text.indexOf(u'}', nameStart);
        if (close < 0)
            break;
        const QStringView found = text.mid(nameStart, close - nameStart);
        const qsizetype start = i;
        const qsizetype lineStart = start > 0 ? text.lastIndexOf(u'\n', start - 1) + 1 : 0;
        i = close + 1;
        // The \begin being closed is not one of the others; one in a comment is none.
        if ((start < to && i > from)
            || isCommented(text.mid(lineStart, start - lineStart), start - lineStart))
            continue;
        if (!verbatim.isEmpty()) {
            if (ends_ && found == verbatim)
                verbatim = {};
            continue;
        }
        if (begins_ && isVerbatim(found))
            verbatim = found;
        if (found == name)
            ++(begins_ ? begins : ends);
    }
    if (!passedFrom)
        insideAtFrom = !verbatim.isEmpty();
    if (insideAtFrom)
        return false;
    if (name == u"document" && ends > 0)
        return false;
    return begins >= ends;
}

bool EnvironmentCloser::keyPressBefore(QKeyEvent *event)
{
    if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        || (event->modifiers() & ~Qt::KeypadModifier))
        return false;
    QTextCursor cursor = _view->textCursor();
    const QTextBlock block = cursor.block();
    const QString line = block.text();
    const int column = cursor.positionInBlock();
    if (cursor.hasSelection() || !block.next().isValid()
        || !QStringView(line).mid(column).trimmed().isEmpty())
        return false;
    const auto [name, at] = lastBegin(line, column);
    const QString indentation = indentationOf(line);
    if (at < 0 || block.next().text().trimmed() != endWord + name + u'}'
        || indentationOf(block.next().text()) != indentation)
        return false;
    cursor.insertText(u'\n' + indentation);
    _view->setTextCursor(cursor);
    _view->ensureCursorVisible();
    return true;
}

void EnvironmentCloser::keyPressAfter(QKeyEvent *event)
{
    if (event->text() != u"}"
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return;
    const QTextCursor caret = _view->textCursor();
    const QTextBlock block = caret.block();
    const QString line = block.text();
    const int column = caret.positionInBlock();
    const int position = caret.position();
    if (caret.hasSelection() || column < 1 || line[column - 1] != u'}'
        || !QStringView(line).mid(column).trimmed().isEmpty())
        return;
    const auto [name, at] = lastBegin(line, column);
    // Only the brace of the name: not that of an argument after it.
    if (at < 0 || at + beginWord.size() + name.size() + 1 != column)
        return;
    const int from = block.position() + int(at);
    if (!needsEnd(_view->document()->toPlainText(), name, from, position))
        return;
    QTextCursor end(_view->document());
    end.setPosition(block.position() + int(line.size()));
    end.insertText(u'\n' + indentationOf(line) + endWord + name + u'}');
    // The caret stays after the brace (the edit moved it when it stood at the line's end).
    QTextCursor back(_view->document());
    back.setPosition(position);
    _view->setTextCursor(back);
}
