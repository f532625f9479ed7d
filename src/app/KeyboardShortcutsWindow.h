#pragma once

#include <QDialog>

class QAction;
class QMenuBar;
class QTableWidget;

// Lists every item of a window's menus with the keys that fire it, and the keys the
// text and the PDF pane take without a menu item. Read from the menus each time it
// is shown, so what it lists is what the menus do.
class KeyboardShortcutsWindow : public QDialog
{
    Q_OBJECT

public:
    explicit KeyboardShortcutsWindow(QWidget *parent = nullptr);

    // Shows the one window, filled from the menu bar's menus and the PDF pane's own
    // actions.
    static KeyboardShortcutsWindow *showFor(const QMenuBar *menuBar,
                                            const QList<QAction *> &pdfActions);
    void fillFrom(const QMenuBar *menuBar, const QList<QAction *> &pdfActions);
    QTableWidget *table() const { return _table; }

private:
    QTableWidget *_table;
};
