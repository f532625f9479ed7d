#include "app/GoToFileDialog.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// How well a path's name fits a word: 0 when the name starts with it, 1 when it
// holds it, 2 when only a folder does.
int fit(const QString &path, const QString &word)
{
    const QString name = path.section(u'/', -1);
    if (name.startsWith(word, Qt::CaseInsensitive))
        return 0;
    return name.contains(word, Qt::CaseInsensitive) ? 1 : 2;
}

} // namespace

GoToFileDialog::GoToFileDialog(const QStringList &paths, QWidget *parent)
    : QDialog(parent)
    , _paths(paths)
    , _filter(new QLineEdit(this))
    , _list(new QListWidget(this))
{
    setWindowTitle(tr("Go to File"));
    _filter->setPlaceholderText(tr("File name or folder"));
    _filter->setAccessibleName(tr("File filter"));
    _list->setAccessibleName(tr("Files of the document"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(_filter);
    layout->addWidget(_list);
    resize(480, 360);
    connect(_filter, &QLineEdit::textChanged, this, &GoToFileDialog::filter);
    connect(_filter, &QLineEdit::returnPressed, this, &GoToFileDialog::choose);
    connect(_list, &QListWidget::itemActivated, this, &GoToFileDialog::choose);
    connect(_list, &QListWidget::itemClicked, this, &GoToFileDialog::choose);
    // The arrow keys move in the list while the keyboard stays in the filter.
    _filter->installEventFilter(this);
    filter();
}

QList<int> GoToFileDialog::matching(const QStringList &paths, const QString &filter)
{
    const QStringList words = filter.split(u' ', Qt::SkipEmptyParts);
    QList<int> kept;
    for (int row = 0; row < paths.size(); ++row) {
        if (std::all_of(words.cbegin(), words.cend(), [&](const QString &word) {
                return paths[row].contains(word, Qt::CaseInsensitive);
            }))
            kept.append(row);
    }
    if (!words.isEmpty())
        std::stable_sort(kept.begin(), kept.end(), [&](int left, int right) {
            return fit(paths[left], words.last()) < fit(paths[right], words.last());
        });
    return kept;
}

void GoToFileDialog::filter()
{
    _list->clear();
    for (int row : matching(_paths, _filter->text())) {
        auto *item = new QListWidgetItem(_paths[row], _list);
        item->setData(Qt::UserRole, row);
    }
    _list->setCurrentRow(0);
}

bool GoToFileDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _filter && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void GoToFileDialog::choose()
{
    const QListWidgetItem *item = _list->currentItem();
    if (!item)
        return;
    emit fileChosen(item->data(Qt::UserRole).toInt());
    accept();
}
