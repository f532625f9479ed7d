#include "app/QSPreferenceWindowController.h"

#include "app/QSGeneralPreferencesViewController.h"
#include "app/QSLatexEnginePreferencesViewController.h"
#include "app/QSSmartDropPreferencesViewController.h"
#include "app/QSTemplatePreferencesViewController.h"
#include "platform/Assertions.h"
#include "platform/UserDefaults.h"
#include "ui_QSPreferencesWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QMainWindow>
#include <QScreen>

QSPreferenceWindowController::QSPreferenceWindowController(QObject *parent)
    : QObject(parent)
    , _ui(std::make_unique<Ui::QSPreferencesWindow>())
    , _window(new QMainWindow)
{
    _ui->setupUi(_window);
    _window->installEventFilter(this);
    _preferenceViewControllers = {
        new QSGeneralPreferencesViewController, new QSTemplatePreferencesViewController,
        new QSLatexEnginePreferencesViewController, new QSSmartDropPreferencesViewController};
    auto *items = new QActionGroup(this);
    for (qsizetype index = 0; index < _preferenceViewControllers.size(); ++index) {
        QSPreferencesMainViewController *pane = _preferenceViewControllers.at(index);
        pane->setParent(_ui->o_viewBox);
        pane->hide();
        QAction *item = _ui->o_toolBar->addAction(pane->paneLabel());
        item->setToolTip(pane->windowTitle());
        item->setCheckable(true);
        item->setData(index);
        items->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, index] { displayPreferenceAtIndex(index); });
    }
    // The toolbar's full width: no pane's button ever goes behind the overflow arrow.
    _window->setMinimumWidth(_ui->o_toolBar->sizeHint().width());

    auto *close = new QAction(tr("Close"), _window);
    QList<QKeySequence> keys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence &key : QKeySequence::keyBindings(QKeySequence::Close))
        if (!keys.contains(key))
            keys << key;
    close->setShortcuts(keys);
    _window->addAction(close);
    connect(close, &QAction::triggered, _window, &QWidget::close);
    connect(_ui->o_buttonBox, &QDialogButtonBox::rejected, _window, &QWidget::close);

    const QVariantMap info =
        UserDefaults::standardUserDefaults().dictionaryForKey(QSPreferencesWindowInfo);
    displayPreferenceAtIndex(qBound<qsizetype>(0, info.value(QStringLiteral("pane")).toLongLong(),
                                               _preferenceViewControllers.size() - 1));
    if (info.contains(QStringLiteral("width")) && info.contains(QStringLiteral("height"))) {
        _window->resize(QSize(info.value(QStringLiteral("width")).toInt(),
                              info.value(QStringLiteral("height")).toInt())
                            .expandedTo(_window->minimumSize()));
    }
    if (const QScreen *screen = _window->screen()) {
        QRect frame = _window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        _window->move(frame.topLeft());
    }
}

QSPreferenceWindowController::~QSPreferenceWindowController()
{
    delete _window;
}

void QSPreferenceWindowController::showWindow()
{
    displayPreferenceAtIndex(qMax<qsizetype>(_indexOfLastShownView, 0));
    _window->show();
    _window->raise();
    _window->activateWindow();
}

void QSPreferenceWindowController::displayPreferenceAtIndex(qsizetype index)
{
    QS_ASSERT(index < _preferenceViewControllers.size(),
              "index given was bigger than the amount of preferenceviewcontrollers");
    QSPreferencesMainViewController *pane = _preferenceViewControllers.value(index);
    QS_ASSERT(pane, "no preferenceViewController was found");
    if (!pane || index == _indexOfLastShownView)
        return;
    const qsizetype previous = _indexOfLastShownView;
    _indexOfLastShownView = index;
    const QList<QAction *> items = _ui->o_toolBar->actions();
    if (index < items.size())
        items.at(index)->setChecked(true);

    // Until the window has been shown its box has no size of its own to grow from.
    const QSize paneSize = pane->size();
    const QRect frame = _window->geometry();
    QSize size =
        _boxLaidOut ? frame.size() + paneSize - _ui->o_viewBox->size() : windowSizeAround(paneSize);
    size = size.expandedTo(_window->minimumSize());
    if (previous >= 0)
        _preferenceViewControllers.at(previous)->hide();
    _ui->o_viewBox->layout()->addWidget(pane);
    pane->show();
    // The window keeps its top edge and its horizontal centre.
    _window->setGeometry(frame.x() + (frame.width() - size.width()) / 2, frame.y(), size.width(),
                         size.height());
}

QSize QSPreferenceWindowController::windowSizeAround(QSize paneSize) const
{
    QWidget *box = _ui->o_viewBox;
    box->setFixedSize(paneSize);
    const QSize size = _window->sizeHint();
    box->setMinimumSize(0, 0);
    box->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return size;
}

bool QSPreferenceWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _window && event->type() == QEvent::Show)
        _boxLaidOut = true;
    if (watched == _window && event->type() == QEvent::Close)
        windowWillClose();
    return QObject::eventFilter(watched, event);
}

void QSPreferenceWindowController::windowWillClose()
{
    for (QSPreferencesMainViewController *pane : std::as_const(_preferenceViewControllers))
        pane->savePreferences();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(QVariantMap{{QStringLiteral("pane"), _indexOfLastShownView},
                                   {QStringLiteral("width"), _window->width()},
                                   {QStringLiteral("height"), _window->height()}},
                       QSPreferencesWindowInfo);
    defaults.synchronize();
}
