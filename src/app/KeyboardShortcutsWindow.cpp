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

void addRows(const QList<QAction *> &items, const QString &where, QList<Row> *rows)
{
    for (const QAction *item : items) {
        if (item->isSeparator() || item->text().isEmpty())
            continue;
        if (item->menu()) {
            addRows(item->menu()->actions(),
                    where + QStringLiteral(" › ") + plainText(item->text()), rows);
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

KeyboardShortcutsWindow *KeyboardShortcutsWindow::showFor(const QMenuBar *menuBar,
                                                          const QList<QAction *> &pdfActions)
{
    static QPointer<KeyboardShortcutsWindow> shown;
    if (!shown) {
        shown = new KeyboardShortcutsWindow;
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    shown->fillFrom(menuBar, pdfActions);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void KeyboardShortcutsWindow::fillFrom(const QMenuBar *menuBar, const QList<QAction *> &pdfActions)
{
    QList<Row> rows;
    for (const QAction *item : menuBar->actions()) {
        if (item->menu())
            addRows(item->menu()->actions(), plainText(item->text()), &rows);
    }
    const QString text = tr("In the text");
    const QString pdf = tr("In the PDF");
    rows.append({
        {text, tr("Complete the command, label or citation"), QStringLiteral("Ctrl+Space")},
        {text, tr("Next placeholder of a completed command"), QStringLiteral("Tab")},
        {text, tr("Indent or unindent the selected lines"), QStringLiteral("Tab, Shift+Tab")},
        {text, tr("Show the line in the PDF"), tr("Ctrl+Click")},
        {pdf, tr("Show the text typeset there"), tr("Ctrl+Click")},
        {pdf, tr("Zoom around the pointer"), tr("Ctrl+Wheel")},
    });
    addRows(pdfActions, pdf, &rows);
    _table->setRowCount(int(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        _table->setItem(row, 0, new QTableWidgetItem(rows.at(row).where));
        _table->setItem(row, 1, new QTableWidgetItem(rows.at(row).what));
        _table->setItem(row, 2, new QTableWidgetItem(rows.at(row).keys));
    }
    _table->resizeColumnsToContents();
}
