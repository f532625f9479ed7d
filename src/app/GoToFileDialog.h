#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

// Go to File: a filter box over the files of a document, each shown by its path
// from the root file's folder. Typing narrows the list; Return, a double click or
// a click on a row chooses a file. UI thread.
class GoToFileDialog : public QDialog
{
    Q_OBJECT

public:
    // The paths as shown ("chapters/intro.tex"), in the document's order.
    explicit GoToFileDialog(const QStringList &paths, QWidget *parent = nullptr);

    // The rows of the paths that a filter keeps, best first: every word of the
    // filter is in the path (case ignored); names that start with the filter's
    // last word come before names that hold it, and those before paths that hold
    // it only in a folder. An empty filter keeps all in their order.
    static QList<int> matching(const QStringList &paths, const QString &filter);

    QLineEdit *filterField() const { return _filter; }
    QListWidget *list() const { return _list; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The index of the path chosen, in the list given.
    void fileChosen(int index);

private:
    void filter();
    void choose();

    QStringList _paths;
    QLineEdit *_filter; // children
    QListWidget *_list;
};
