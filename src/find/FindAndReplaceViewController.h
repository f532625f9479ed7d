#pragma once

#include "model/QSRange.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class FindAndReplace;
class QAbstractItemModel;
class QToolButton;
class FindAndReplaceOutlineViewDataSource;
class QLabel;
class QLineEdit;
class QSFile;
class QSTextView;
class SearchPattern;
class QTreeView;
class TextStorageDelegate;
class QVariantAnimation;
namespace Ui {
class FindAndReplaceView;
}

// The find strip above a document window's text: slides down pushing the text and
// PDF down, finds and replaces in the text view as the user types, replaces in
// every file of the document at once, and lists the sections that hold the text
// in the outline. The options beside the
// find field (letter case, whole words, regular expression) hold for all of these
// and are remembered in the user defaults.
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
    // Replaces every match in every file of the document, one undoable step per
    // file; returns how many were replaced.
    int replaceAll();
    // Lists the sections of the document that hold the find text in the outline.
    void searchFileForString();

    void setFileToSearch(const std::shared_ptr<QSFile> &file);
    void setSearchOffset(qint32 offset);
    bool isPerformingSearch() const { return _isPerformingSearch; }
    void setIsPerformingSearch(bool performing) { _isPerformingSearch = performing; }

signals:
    // The outline is to list the sections that hold the find text, or to go back
    // to the document's outline.
    void resultsShown(QAbstractItemModel *results);
    void resultsHidden();
    // A listed section was chosen: the occurrence of the text to show in its file.
    void resultChosen(std::shared_ptr<QSFile> file, QSRange range);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void controlTextDidChange();
    void optionsDidChange();
    // Says in the strip why a regular expression does not compile; false for such.
    bool patternCanSearch(const SearchPattern &pattern);
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
    FindAndReplaceOutlineViewDataSource *_dataSourceForOutlineView;
    std::shared_ptr<QSFile> _fileToSearch;
    qint32 _searchOffset = 0;
    qint32 _lastFoundLocation = 0;
    QSRange _lastFoundRange{0, 0};
    bool _isPerformingSearch = false;
    bool _showsPatternError = false;
    bool _isAnimating = false;
    QVariantAnimation *_animation;
};
