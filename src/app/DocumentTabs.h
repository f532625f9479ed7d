#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class QSFile;
class QSTextView;
class QTabBar;
class TextStorageDelegate;

// The files of a document that the user has shown, as tabs above the text. The
// tab of the file shown is added when it first shows and chosen whenever it shows;
// choosing a tab asks the window to show its file, which comes back with its caret
// and selection (each file keeps them) and the scroll it was left at. A file with
// unsaved edits has its tab marked. UI thread.
class DocumentTabs : public QObject
{
    Q_OBJECT

public:
    // The bar is the window's; the text view and its delegate say what is shown.
    DocumentTabs(QTabBar *bar, QSTextView *text, TextStorageDelegate *delegate,
                 QObject *parent = nullptr);

    QTabBar *tabBar() const { return _bar; }
    // The files of the tabs, in their order; those gone from the pool are left out.
    QList<std::shared_ptr<QSFile>> files() const;
    // Shows the tab a step away from the current one, round the ends.
    void step(int by);
    // Closes the current tab and shows the one beside it; false (nothing done) when
    // it is the last tab or the tab of the root file, which close with the window.
    bool closeCurrent(const std::shared_ptr<QSFile> &root);
    // The closed folds of a file's tab, 0-based first lines; closing them when the
    // file is shown. For the session.
    QList<int> foldsOf(const QSFile *file) const;
    void setFoldsOf(const QSFile *file, const QList<int> &lines);
    // Marks the tabs of the files with unsaved edits, unmarks the others; the tabs
    // of files no longer held go.
    void showEditedFiles();
    // The tabs of files that are not among the document's files go, though the
    // files live on elsewhere: an include taken out, a file a rename moved.
    void keepOnly(const QList<std::shared_ptr<QSFile>> &documentFiles);

signals:
    // A tab was chosen: the window shows its file.
    void fileChosen(const std::shared_ptr<QSFile> &file);

private:
    struct Tab
    {
        std::weak_ptr<QSFile> file;
        int scroll = 0;
        QList<int> folds; // the first lines of its closed folds
    };

    // The view shows a file anew: its tab comes first to hand.
    void fileShown();
    void tabChosen(int index);
    void scrolled(int value);
    // The folds of the file shown, kept with its tab.
    void keepFolds();
    int indexOf(const QSFile *file) const;
    QString title(const QSFile &file) const;

    QTabBar *_bar;                  // not owned: the window's
    QSTextView *_text;              // not owned
    TextStorageDelegate *_delegate; // not owned
    QList<Tab> _tabs;               // one for each tab of the bar, in its order
    bool _following = false;        // the bar is being set to what the view shows
};
