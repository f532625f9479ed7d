#pragma once

#include "model/QSRange.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>
#include <memory>

class DocumentMatchesList;
class FindAndReplace;
class QAbstractItemModel;
class QToolButton;
class FindAndReplaceOutlineViewDataSource;
class QLabel;
class QLineEdit;
class QSFile;
class QSTextView;
class QSUndoManager;
class SearchPattern;
struct UsageName;
class QTreeView;
class TextStorageDelegate;
class QVariantAnimation;
namespace Ui {
class FindAndReplaceView;
}

// The find strip above a document window's text: slides down pushing the text and
// PDF down (and is hidden while slid away), finds and replaces in the text view as
// the user types, replaces in every file of the document at once (after asking, and
// as one step for Undo), and lists every match of the document in the outline,
// grouped by file, a list that follows the user's edits. The options beside the find field (letter
// case, whole words, regular expression) hold for all of these and are remembered in the user
// defaults.
class FindAndReplaceViewController : public QObject
{
    Q_OBJECT

public:
    static constexpr int slideMilliseconds = 200;

    // The strip finds in the window's text view, replaces through the view and its
    // delegate, and lists results in the window's outline; rootFile gives the
    // document's root file whenever it is asked.
    FindAndReplaceViewController(QSTextView *textView, TextStorageDelegate *delegate,
                                 QTreeView *outline,
                                 std::function<std::shared_ptr<QSFile>()> rootFile,
                                 QObject *parent = nullptr);
    ~FindAndReplaceViewController() override;

    QWidget *view() const { return _view; }
    QString title() const { return QStringLiteral("Find And Replace View"); }
    QLineEdit *findTextField() const;
    QLineEdit *replaceTextField() const;
    QLabel *resultLabel() const;
    QToolButton *matchCaseOption() const;
    QToolButton *wholeWordsOption() const;
    QToolButton *regularExpressionOption() const;
    // The find text read with the options chosen.
    SearchPattern searchPattern() const;
    FindAndReplace *findAndReplaceObject() const { return _findAndReplaceObject.get(); }
    FindAndReplaceOutlineViewDataSource *dataSourceForOutlineView() const
    {
        return _dataSourceForOutlineView;
    }
    DocumentMatchesList *documentMatchesList() const { return _documentMatches; }

    bool isShown() const;
    void hideWithoutAnimation();
    void animatedToggle();
    void showFindAndReplace();
    void hideFindAndReplace();
    // Gives the outline back without sliding the strip away.
    void closeFindAndReplace();

    void findNext();
    void findPrevious();
    void replace();
    // Asks, window-modally, whether to replace the matches it counted in the files
    // of the document ("Replace 12 occurrences in 5 files?"), and replaces them all
    // when told to: one edit in each file, which one Undo takes back in all of them.
    void replaceAll();
    // Takes back the latest Replace All in every file it changed, when it is the
    // document's latest edit; false, having done nothing, when it is not, for the
    // window to undo in the file shown. True with nothing done, and why in refused,
    // when what it did outside the texts cannot be taken back.
    bool undoReplaceAll(QString *refused = nullptr);
    // Puts it in again after that, when nothing was edited or undone since.
    bool redoReplaceAll(QString *refused = nullptr);
    // Lists every match of the find text in the document in the outline ("All in
    // Document"), and keeps the list up to date until the strip hides.
    void searchFileForString();
    // Lists every place the name stands in the document, the same way, with the
    // name in the find field: Find Usages.
    void listUsages(const UsageName &name);
    // Puts the new name at the places of the name given (each a file and the
    // name's span there, as found in the files' texts as they are), as Replace All
    // does: one step for Undo in all of them. A list of the name's places lists the
    // new name's then. What it also changes outside the texts (a file on disk) goes
    // back with its Undo and comes again with its Redo: alongside(true) takes it
    // back, (false) does it again, each giving why it could not, empty when it did.
    void replaceUsages(const UsageName &name, const QString &newName,
                       const QList<std::pair<const QSFile *, QSRange>> &places,
                       const std::function<QString(bool back)> &alongside = nullptr);
    // A span of a file's text and what takes its place.
    struct Edit
    {
        QSRange range;
        QString text;
    };
    // Makes the edits that editsOf gives for each file of the document (from its
    // text, in order, not overlapping) as Replace All does: one step for Undo in all
    // of them, with alongside as above. How many spans were replaced.
    int replaceSpans(const std::function<QList<Edit>(const QSFile &, const QString &)> &editsOf,
                     const std::function<QString(bool back)> &alongside = nullptr);

    void setFileToSearch(const std::shared_ptr<QSFile> &file);
    void setSearchOffset(qint32 offset);
    bool isPerformingSearch() const { return _isPerformingSearch; }
    void setIsPerformingSearch(bool performing) { _isPerformingSearch = performing; }

signals:
    // The outline is to list the matches of the find text, or to go back to the
    // document's outline.
    void resultsShown(QAbstractItemModel *results);
    void resultsHidden();
    // A listed match was chosen: the occurrence of the text to select in its file.
    void resultChosen(std::shared_ptr<QSFile> file, QSRange range);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void controlTextDidChange();
    void optionsDidChange();
    // Says in the strip why a regular expression does not compile; false for such.
    bool patternCanSearch(const SearchPattern &pattern);
    // keep tells, for each match of a file, whether it is replaced; all are when
    // none is given.
    void replaceEveryMatch(const SearchPattern &pattern, const QString &replacement,
                           const std::function<bool(const QSFile &, QSRange)> &keep = nullptr);
    bool replaceAllIsLatestEdit(bool undone) const;
    // Shows each file the latest Replace All changed in turn, for its history to
    // replay on the view, then the file shown before.
    void inEachReplacedFile(
        const std::function<void(QSUndoManager &, quint64 before, quint64 after)> &step);
    void outlineViewSelectionDidChange();
    void setStripHeight(int height);
    QWidget *area() const;

    std::unique_ptr<Ui::FindAndReplaceView> _ui;
    QPointer<QWidget> _view;                   // owned until the window takes it
    QSTextView *_textView;                     // not owned; the window's
    TextStorageDelegate *_textStorageDelegate; // not owned; the window's
    QTreeView *_outline;                       // not owned; the window's
    std::function<std::shared_ptr<QSFile>()> _rootFile;
    std::unique_ptr<FindAndReplace> _findAndReplaceObject;
    DocumentMatchesList *_documentMatches;
    FindAndReplaceOutlineViewDataSource *_dataSourceForOutlineView; // the list's
    std::shared_ptr<QSFile> _fileToSearch;
    qint32 _searchOffset = 0;
    qint32 _lastFoundLocation = 0;
    QSRange _lastFoundRange{0, 0};
    bool _isPerformingSearch = false;
    bool _showsPatternError = false;
    // The files the latest Replace All changed, and where each one's history stood
    // before and after it; whether it has been undone.
    struct ReplacedFile
    {
        std::weak_ptr<QSFile> file;
        quint64 before = 0;
        quint64 after = 0;
    };
    QList<ReplacedFile> _replacedFiles;
    std::function<QString(bool back)> _alongside; // of the latest Replace All
    quint64 _latestSerialAfterReplaceAll = 0;
    bool _replaceAllUndone = false;
    bool _isAnimating = false;
    QVariantAnimation *_animation;
};
