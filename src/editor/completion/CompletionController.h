#pragma once

#include "editor/completion/CompletionContext.h"
#include "editor/completion/CompletionItem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTextCursor>
#include <functional>
#include <memory>

class BibliographyIndex;
class CompletionModel;
class DocumentUsage;
class QCompleter;
class QKeyEvent;
class QPlainTextEdit;
class QSFile;
struct FileSymbols;

// Completion for one text view: a popup at the caret, driven by the keyboard,
// offering what the text left of the caret asks for: commands (the catalog's and
// those the document defines), environments after \begin{, the document's labels
// in a reference command, and the entries of its bibliography databases in a
// citation command. It opens by itself after a backslash and two letters and in
// those arguments, and when asked (complete). Accepting puts the item in with its
// placeholders; Tab then goes from one placeholder to the next. An environment
// gets its \end line, with the caret on the line between, unless the text closes it
// already.
//
// The candidates that start with what was typed come in this order: one equal to
// it, then those in the same case, then the others; within each, the entries
// accepted before (newest first), then those the document uses (most used first),
// then the rest: the document's own definitions, then the catalog's frequent
// entries and the catalog in its order (labels and keys by name).
//
// Threads: UI thread only. The document's labels and definitions are read from its
// files' symbols, which the edit worker keeps.
class CompletionController : public QObject
{
    Q_OBJECT

public:
    explicit CompletionController(QPlainTextEdit *view);

    // The document's files, its root first; none until set.
    void setDocumentFiles(std::function<QList<std::shared_ptr<QSFile>>()> files);
    // The symbols of one of the document's files changed: the databases it names
    // are looked at again.
    void documentSymbolsChanged();
    BibliographyIndex *bibliography() const { return _bibliography; }
    // The uses of commands and environments in the document's files.
    DocumentUsage *usage() const { return _usage; }
    QCompleter *completer() const { return _completer; }
    bool isPopupVisible() const;

    // Opens the popup for what the caret stands in, if anything matches.
    void complete();
    // The view's keys go through here: before the view handles one (true when it
    // was taken here: accepting, closing, moving to the next placeholder), and after.
    bool keyPressBefore(QKeyEvent *event);
    void keyPressAfter(QKeyEvent *event);

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    CompletionContext contextAtCaret(bool orCommand) const;
    // Shows or updates the popup for the context; hides it when nothing matches.
    void showCandidates(const CompletionContext &context);
    QList<CompletionItem>
    candidates(CompletionContext::Kind kind, const QList<std::shared_ptr<QSFile>> &files,
               const QList<std::shared_ptr<const FileSymbols>> &sources) const;
    // How much an entry is preferred among those that match alike, 0 for none.
    qint64 preference(const CompletionItem &item) const;
    bool completesWhatWasTyped() const;
    void accept();
    void insert(const CompletionItem &item, const CompletionContext &context);
    void selectNextPlaceholder();

    QPlainTextEdit *_view;            // the parent
    QCompleter *_completer;           // a child
    CompletionModel *_model;          // a child of the completer
    BibliographyIndex *_bibliography; // a child
    DocumentUsage *_usage;            // a child
    std::function<QList<std::shared_ptr<QSFile>>()> _files;
    CompletionContext::Kind _shownKind = CompletionContext::Kind::None;
    QString _prefix; // what the candidates shown start with
    // The entries of the kind shown that were accepted before, read when the popup
    // opened (AcceptedCompletions::ranks), and their names.
    QHash<QString, int> _accepted;
    QSet<QString> _acceptedNames;
    // The placeholders of the last item put in that Tab has not reached yet.
    QList<QTextCursor> _placeholders;
    QTextCursor _inserted; // what the last item put in
    // The candidates of each kind as last gathered, sorted by name, and what they
    // were gathered from.
    struct Candidates
    {
        bool made = false;
        QList<std::shared_ptr<const FileSymbols>> sources;
        int bibliographyReadings = 0;
        QList<CompletionItem> items;
    };
    QHash<int, Candidates> _candidates;
    int _bibliographyReadings = 0; // how often the databases were read
};
