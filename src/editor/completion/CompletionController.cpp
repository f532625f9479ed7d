#include "editor/completion/CompletionController.h"

#include "editor/EnvironmentCloser.h"
#include "editor/completion/AcceptedCompletions.h"
#include "editor/completion/BibliographyIndex.h"
#include "editor/completion/CompletionCatalog.h"
#include "editor/completion/CompletionModel.h"
#include "editor/completion/CompletionRanking.h"
#include "editor/completion/DocumentUsage.h"
#include "model/FileSymbols.h"
#include "model/QSFile.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace {

const QChar placeholderOpen = u'‹';
const QChar placeholderClose = u'›';

// The name typed so far and what follows it of the same name, which accepting
// replaces too: "sec|tion" in \sec|tion, "fig:a|b" in \ref{fig:a|b}.
int endOfName(const QTextDocument *text, int caret, CompletionContext::Kind kind)
{
    for (;; ++caret) {
        const QChar c = text->characterAt(caret);
        const bool partOfName = kind == CompletionContext::Kind::Command
                                    ? c.isLetter() || c == u'*'
                                    : !c.isNull() && !c.isSpace() && c != u'}' && c != u',';
        if (!partOfName)
            return caret;
    }
}

// An item's text with the marks of its placeholders taken out, and where each
// placeholder's text now stands.
struct Filled
{
    QString text;
    QList<std::pair<int, int>> spots;
};

Filled fill(const QString &template_)
{
    Filled filled;
    for (qsizetype i = 0; i < template_.size(); ++i) {
        const qsizetype close =
            template_[i] == placeholderOpen ? template_.indexOf(placeholderClose, i) : -1;
        if (close < 0) {
            filled.text += template_[i];
            continue;
        }
        const int from = int(filled.text.size());
        filled.text += template_.mid(i + 1, close - i - 1);
        filled.spots.append({from, int(filled.text.size())});
        i = close;
    }
    return filled;
}

// The placeholders of what the document defines with that many arguments.
QString argumentPlaceholders(const Symbol &symbol)
{
    QString arguments;
    for (int i = 1; i <= symbol.arguments; ++i)
        arguments += QStringLiteral("{‹argument %1›}").arg(i);
    return arguments;
}

} // namespace

CompletionController::CompletionController(QPlainTextEdit *view)
    : QObject(view)
    , _view(view)
    , _completer(new QCompleter(this))
    , _model(new CompletionModel(_completer))
    , _bibliography(new BibliographyIndex(this))
    , _usage(new DocumentUsage(this))
{
    _completer->setWidget(view);
    _completer->setModel(_model);
    // The model holds the candidates that match, in the order offered: the completer
    // shows them as they are.
    _completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    _completer->setMaxVisibleItems(12);
    // Rows of one height: the popup lays out a long list without measuring each row.
    if (auto *list = qobject_cast<QListView *>(_completer->popup()))
        list->setUniformItemSizes(true);
    // Installed after the completer's own filter, so it sees the keys first.
    _completer->popup()->installEventFilter(this);
    connect(_completer, QOverload<const QModelIndex &>::of(&QCompleter::activated), this,
            [this] { accept(); });
    connect(_bibliography, &BibliographyIndex::entriesChanged, this,
            [this] { ++_bibliographyReadings; });
}

void CompletionController::setDocumentFiles(std::function<QList<std::shared_ptr<QSFile>>()> files)
{
    _files = std::move(files);
    _candidates.clear();
    documentSymbolsChanged();
}

void CompletionController::documentSymbolsChanged()
{
    if (!_files)
        return;
    const QList<std::shared_ptr<QSFile>> files = _files();
    if (files.isEmpty())
        return;
    QStringList databases;
    for (const std::shared_ptr<QSFile> &file : files) {
        for (const QString &name : file->symbols()->bibliographies) {
            if (!databases.contains(name))
                databases << name;
        }
    }
    const std::shared_ptr<QSFile> &root = files.first();
    _bibliography->setDatabases(root->isUntitled() ? QString() : root->directory(), databases);
}

bool CompletionController::isPopupVisible() const
{
    return _completer->popup()->isVisible();
}

// What the text left of the caret asks for; where it asks for nothing, a command
// put in at the caret when that is the fallback wanted.
CompletionContext CompletionController::contextAtCaret(bool orCommand) const
{
    const QTextCursor caret = _view->textCursor();
    const CompletionContext context =
        CompletionContext::at(caret.block().text(), caret.positionInBlock());
    if (context.kind == CompletionContext::Kind::None && orCommand)
        return {CompletionContext::Kind::Command, {}, caret.positionInBlock()};
    return context;
}

void CompletionController::complete()
{
    // Asked where nothing is being typed: every command.
    showCandidates(contextAtCaret(true));
}

bool CompletionController::keyPressBefore(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (isPopupVisible()) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!completesWhatWasTyped()) {
                _completer->popup()->hide();
                return false;
            }
            accept();
            return true;
        case Qt::Key_Tab:
            accept();
            return true;
        case Qt::Key_Escape:
            _completer->popup()->hide();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(_completer->popup(), event);
            return true;
        default:
            break;
        }
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::ControlModifier) {
        complete();
        return true;
    }
    if (event->key() == Qt::Key_Tab && plain && !_placeholders.isEmpty()) {
        // Tab walks the placeholders while the caret is in what was put in; once it
        // has left, Tab is a tab again.
        const int caret = _view->textCursor().position();
        if (caret >= _inserted.selectionStart() && caret <= _inserted.selectionEnd()) {
            selectNextPlaceholder();
            return true;
        }
        _placeholders.clear();
    }
    if (event->key() == Qt::Key_Escape)
        _placeholders.clear();
    return false;
}

void CompletionController::keyPressAfter(QKeyEvent *event)
{
    const bool typed = !event->text().isEmpty() && event->text()[0].isPrint()
                       && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typed && event->key() != Qt::Key_Backspace)
        return;
    const CompletionContext context = contextAtCaret(false);
    const bool opens = context.kind == CompletionContext::Kind::Command
                           ? context.prefix.size() >= 3
                           : context.kind != CompletionContext::Kind::None;
    if (opens && (typed || isPopupVisible()))
        showCandidates(context);
    else
        _completer->popup()->hide();
}

bool CompletionController::eventFilter(QObject *watched, QEvent *event)
{
    // The popup has the keyboard while it shows: its keys come here first.
    if (watched == _completer->popup() && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
            || key->key() == Qt::Key_Tab) {
            QCoreApplication::sendEvent(_view, key);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CompletionController::showCandidates(const CompletionContext &context)
{
    const QList<std::shared_ptr<QSFile>> files =
        _files ? _files() : QList<std::shared_ptr<QSFile>>();
    QList<std::shared_ptr<const FileSymbols>> sources;
    for (const std::shared_ptr<QSFile> &file : files)
        sources << file->symbols();
    // A long document has many labels: they are gathered and sorted again only when
    // a file's symbols or the databases changed since the last time.
    Candidates &cached = _candidates[int(context.kind)];
    const bool stale = !cached.made || cached.sources != sources
                       || cached.bibliographyReadings != _bibliographyReadings;
    if (stale)
        cached = {true, sources, _bibliographyReadings, candidates(context.kind, files, sources)};
    const bool opening = !isPopupVisible() || context.kind != _shownKind;
    if (stale || context.kind != _shownKind) {
        _model->setItems(cached.items);
        _shownKind = context.kind;
    }
    // What the document uses and what the user chose before are looked at when the
    // popup opens; typing on in it only narrows the candidates.
    if (opening) {
        if (context.kind == CompletionContext::Kind::Command
            || context.kind == CompletionContext::Kind::Environment)
            _usage->update(files);
        _accepted = AcceptedCompletions::ranks(context.kind);
        _acceptedNames.clear();
        for (auto it = _accepted.cbegin(); it != _accepted.cend(); ++it)
            _acceptedNames.insert(it.key().section(u'\t', 0, 0));
    }
    _prefix = context.prefix;
    QList<int> rows = CompletionRanking(cached.items, [this](const CompletionItem &item) {
                          return preference(item);
                      }).rows(context.prefix);
    if (rows.isEmpty()) {
        _completer->popup()->hide();
        return;
    }
    _model->setRows(std::move(rows));
    // As wide as the widest of the first rows: measuring every row of a long list
    // would take longer than the keystroke may.
    QAbstractItemView *popup = _completer->popup();
    const QAbstractItemModel *shown = _completer->completionModel();
    int width = 0;
    for (int row = 0; row < qMin(shown->rowCount(), 50); ++row)
        width = qMax(
            width, popup->fontMetrics().horizontalAdvance(shown->index(row, 0).data().toString()));
    QRect at = _view->cursorRect();
    at.setWidth(qMin(width + 24 + popup->verticalScrollBar()->sizeHint().width(),
                     _view->viewport()->width()));
    _completer->complete(at);
    popup->setCurrentIndex(shown->index(0, 0));
}

// The entries accepted before, the newest first, then those the document uses
// most.
qint64 CompletionController::preference(const CompletionItem &item) const
{
    if (_acceptedNames.contains(item.name)) {
        const auto accepted = _accepted.constFind(AcceptedCompletions::key(item));
        if (accepted != _accepted.cend())
            return (qint64(1) << 40) - *accepted;
    }
    switch (_shownKind) {
    case CompletionContext::Kind::Command:
        return _usage->commandUses(item.name);
    case CompletionContext::Kind::Environment:
        return _usage->environmentUses(item.name);
    default:
        return 0;
    }
}

QList<CompletionItem>
CompletionController::candidates(CompletionContext::Kind kind,
                                 const QList<std::shared_ptr<QSFile>> &files,
                                 const QList<std::shared_ptr<const FileSymbols>> &sources) const
{
    const CompletionCatalog &catalog = CompletionCatalog::shared();
    // What the document defines comes before the catalog where neither is used.
    constexpr int documentOrder = -1;
    QList<CompletionItem> items;
    QList<qsizetype> runs{0}; // where each file's labels end
    if (kind == CompletionContext::Kind::Label) {
        qsizetype labels = 0;
        for (const std::shared_ptr<const FileSymbols> &symbols : sources)
            labels += symbols->labels.size();
        items.reserve(labels);
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString name = files[i]->name();
        const FileSymbols &symbols = *sources[i];
        switch (kind) {
        case CompletionContext::Kind::Command:
            for (const Symbol &command : symbols.commands)
                items.append({command.name,
                              command.name + argumentPlaceholders(command),
                              name,
                              {},
                              documentOrder});
            break;
        case CompletionContext::Kind::Environment:
            for (const Symbol &environment : symbols.environments)
                items.append(
                    {environment.name, argumentPlaceholders(environment), name, {}, documentOrder});
            break;
        case CompletionContext::Kind::Label:
            for (const FileSymbols::Label &label : symbols.labels)
                items.append({label.name, label.name, name, label.heading});
            runs.append(items.size());
            break;
        default:
            break;
        }
    }
    if (kind == CompletionContext::Kind::Command)
        items += catalog.commands();
    if (kind == CompletionContext::Kind::Environment)
        items += catalog.environments();
    if (kind == CompletionContext::Kind::Citation) {
        for (const BibEntry &entry : _bibliography->entries()) {
            QString detail = entry.author;
            if (!entry.year.isEmpty())
                detail += QStringLiteral(" (%1)").arg(entry.year);
            if (!entry.title.isEmpty())
                detail += (detail.isEmpty() ? QString() : QStringLiteral(" ")) + entry.title;
            items.append({entry.key, entry.key, {}, detail});
        }
    }
    const auto byName = [](const CompletionItem &left, const CompletionItem &right) {
        return left.name.compare(right.name, Qt::CaseInsensitive) < 0;
    };
    if (kind != CompletionContext::Kind::Label) {
        std::stable_sort(items.begin(), items.end(), byName);
        return items;
    }
    // Each file's labels come sorted from the edit worker: merging the runs pairwise
    // is cheaper than sorting a long document's labels anew.
    const qsizetype count = runs.size() - 1;
    for (qsizetype width = 1; width < count; width *= 2) {
        for (qsizetype i = 0; i + width < count; i += 2 * width)
            std::inplace_merge(items.begin() + runs[i], items.begin() + runs[i + width],
                               items.begin() + runs[qMin(i + 2 * width, count)], byName);
    }
    return items;
}

// Return on a word typed out in full that has nothing to add ends the line, as
// it would without the popup; Tab always accepts.
bool CompletionController::completesWhatWasTyped() const
{
    const QModelIndex current = _completer->popup()->currentIndex();
    if (!current.isValid())
        return false;
    const CompletionItem &item = _model->item(current.data(Qt::UserRole).toInt());
    const bool nothingToAdd = _shownKind == CompletionContext::Kind::Command
                                  ? item.insertion == item.name
                                  : _shownKind != CompletionContext::Kind::Environment;
    return !(nothingToAdd && item.name == _prefix);
}

void CompletionController::accept()
{
    const QModelIndex current = _completer->popup()->currentIndex();
    _completer->popup()->hide();
    if (!current.isValid())
        return;
    const CompletionContext context =
        contextAtCaret(_shownKind == CompletionContext::Kind::Command);
    if (context.kind == CompletionContext::Kind::None)
        return;
    const CompletionItem &item = _model->item(current.data(Qt::UserRole).toInt());
    AcceptedCompletions::remember(context.kind, item);
    insert(item, context);
}

void CompletionController::insert(const CompletionItem &item, const CompletionContext &context)
{
    QTextDocument *text = _view->document();
    QTextCursor cursor = _view->textCursor();
    const QTextBlock line = cursor.block();
    const int start = line.position() + int(context.start);
    int end = endOfName(text, cursor.position(), context.kind);

    Filled filled;
    int stop = -1; // where the caret goes after the last placeholder
    switch (context.kind) {
    case CompletionContext::Kind::Environment: {
        // A closing brace already there (typed, or put in with the opening one) is
        // the one of \begin{...}.
        if (text->characterAt(end) == u'}')
            ++end;
        const QString lineText = line.text();
        qsizetype indentation = 0;
        while (indentation < lineText.size()
               && (lineText[indentation] == u' ' || lineText[indentation] == u'\t'))
            ++indentation;
        const QString indent = lineText.left(indentation);
        filled = fill(item.name + u'}' + item.insertion);
        // An environment the text closes already gets no second \end.
        const int begin = start - int(QStringLiteral("\\begin{").size());
        if (!EnvironmentCloser::needsEnd(text->toPlainText(), item.name, begin, end))
            break;
        filled.text += u'\n' + indent;
        stop = int(filled.text.size());
        filled.text += u'\n' + indent + QStringLiteral("\\end{") + item.name + u'}';
        break;
    }
    case CompletionContext::Kind::Label:
    case CompletionContext::Kind::Citation:
        filled.text = item.name;
        // The closing brace already there is stepped over.
        if (text->characterAt(end) == u'}') {
            ++end;
            filled.text += u'}';
        }
        break;
    default:
        filled = fill(item.insertion);
        if (!filled.spots.isEmpty())
            stop = int(filled.text.size());
        break;
    }

    cursor.beginEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.insertText(filled.text);
    cursor.endEditBlock();

    _inserted = QTextCursor(text);
    _inserted.setPosition(start);
    _inserted.setPosition(start + int(filled.text.size()), QTextCursor::KeepAnchor);
    _placeholders.clear();
    for (const auto &[from, to] : std::as_const(filled.spots)) {
        QTextCursor spot(text);
        spot.setPosition(start + from);
        spot.setPosition(start + to, QTextCursor::KeepAnchor);
        _placeholders.append(spot);
    }
    if (stop >= 0) {
        QTextCursor caret(text);
        caret.setPosition(start + stop);
        _placeholders.append(caret);
    }
    if (_placeholders.isEmpty())
        _view->setTextCursor(cursor);
    else
        selectNextPlaceholder();
}

void CompletionController::selectNextPlaceholder()
{
    if (_placeholders.isEmpty())
        return;
    _view->setTextCursor(_placeholders.takeFirst());
}
