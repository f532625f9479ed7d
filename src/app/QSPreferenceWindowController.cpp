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
        QAction *item = _ui->o_toolBar->addAction(pane->windowTitle());
        item->setCheckable(true);
        item->setData(index);
        items->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, index] { displayPreferenceAtIndex(index); });
    }
    displayPreferenceAtIndex(0);
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

    // The window keeps its top edge and its horizontal centre.
    const QSize paneSize = pane->size();
    const QSize boxSize = previous >= 0 ? _ui->o_viewBox->size() : paneSize;
    const int dw = paneSize.width() - boxSize.width();
    const int dh = paneSize.height() - boxSize.height();
    if (previous >= 0)
        _preferenceViewControllers.at(previous)->hide();
    _ui->o_viewBox->layout()->addWidget(pane);
    pane->show();
    if (previous < 0) {
        _window->resize(paneSize.width(), paneSize.height() + _ui->o_toolBar->sizeHint().height());
    } else {
        const QRect frame = _window->geometry();
        _window->setGeometry(frame.x() - dw / 2, frame.y(), frame.width() + dw,
                             frame.height() + dh);
    }
}

bool QSPreferenceWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _window && event->type() == QEvent::Close)
        windowWillClose();
    return QObject::eventFilter(watched, event);
}

void QSPreferenceWindowController::windowWillClose()
{
    for (QSPreferencesMainViewController *pane : std::as_const(_preferenceViewControllers))
        pane->savePreferences();
    UserDefaults::standardUserDefaults().synchronize();
}
