#include "app/KeyboardShortcutsWindow.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

struct Row
{
    QString where;
    QString what;
    QString keys;
};

QString plainText(QString text)
{
    return text.remove(u'&').remove(QStringLiteral("..."));
}

void addMenuRows(const QMenu *menu, const QString &where, QList<Row> *rows)
{
    for (const QAction *item : menu->actions()) {
        if (item->isSeparator() || item->text().isEmpty())
            continue;
        if (item->menu()) {
            addMenuRows(item->menu(), where + QStringLiteral(" › ") + plainText(item->text()),
                        rows);
            continue;
        }
        QStringList keys;
        for (const QKeySequence &key : item->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        rows->append({where, plainText(item->text()), keys.join(QStringLiteral(", "))});
    }
}

} // namespace

KeyboardShortcutsWindow::KeyboardShortcutsWindow(QWidget *parent)
    : QDialog(parent)
    , _table(new QTableWidget(0, 3, this))
{
    setObjectName(QStringLiteral("keyboardShortcutsWindow"));
    setWindowTitle(tr("Keyboard Shortcuts"));
    _table->setHorizontalHeaderLabels({tr("Menu"), tr("Action"), tr("Keys")});
    _table->verticalHeader()->hide();
    _table->horizontalHeader()->setStretchLastSection(true);
    _table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    _table->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(_table);
    resize(560, 520);
}

KeyboardShortcutsWindow *KeyboardShortcutsWindow::showFor(const QMenuBar *menuBar)
{
    static QPointer<KeyboardShortcutsWindow> shown;
    if (!shown) {
        shown = new KeyboardShortcutsWindow;
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    shown->fillFrom(menuBar);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void KeyboardShortcutsWindow::fillFrom(const QMenuBar *menuBar)
{
    QList<Row> rows;
    for (const QAction *item : menuBar->actions()) {
        if (item->menu())
            addMenuRows(item->menu(), plainText(item->text()), &rows);
    }
    const QString text = tr("In the text");
    const QString pdf = tr("In the PDF");
    rows.append({
        {text, tr("Complete the command, label or citation"), QStringLiteral("Ctrl+Space")},
        {text, tr("Next placeholder of a completed command"), QStringLiteral("Tab")},
        {text, tr("Indent or unindent the selected lines"), QStringLiteral("Tab, Shift+Tab")},
        {text, tr("Show the line in the PDF"), tr("Ctrl+Click")},
        {pdf, tr("Show the text typeset there"), tr("Ctrl+Click")},
    });
    _table->setRowCount(int(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        _table->setItem(row, 0, new QTableWidgetItem(rows.at(row).where));
        _table->setItem(row, 1, new QTableWidgetItem(rows.at(row).what));
        _table->setItem(row, 2, new QTableWidgetItem(rows.at(row).keys));
    }
    _table->resizeColumnsToContents();
}
