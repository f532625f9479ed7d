#include "app/AppController.h"

#include "app/QSPreferenceWindowController.h"
#include "app/QSSmartDropPreferencesViewController.h"
#include "app/ThemeController.h"
#include "compile/ErrorHints.h"
#include "editor/AccessibleTextView.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/SmartDrop.h"
#include "editor/completion/CompletionCatalog.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"
#include "platform/OutlineAppearance.h"
#include "platform/UserDefaults.h"

#include <QAccessible>

namespace {
AppController *sharedController = nullptr;
}

static void initResources()
{
    Q_INIT_RESOURCE(quillset);
}

AppController::AppController(QObject *parent)
    : QObject(parent)
{
    sharedController = this;
    initResources();
    _appFilePool = std::make_unique<QSFilePool>();
    _appChangesQueue = std::make_unique<ChangesQueue>();
    SmartDrop::sharedSmartDrop();
    _syntaxHighlighter = std::make_unique<QSSyntaxHighlighter>();
    _themeController = new ThemeController(this);
    _themeController->apply();
    // A compile's hints name the package of an unknown command, or one like it, from
    // the commands completion knows.
    QHash<QString, QString> commandPackages;
    for (const CompletionItem &item : CompletionCatalog::shared().commands())
        commandPackages.insert(item.name, item.where);
    ErrorHints::setKnownCommands(commandPackages);
    // Screen readers and magnifiers follow the text views' caret through an
    // interface of our own (Qt's misplaces characters of plain-text views).
    QAccessible::installFactory(AccessibleTextView::factory);
}

AppController::~AppController()
{
    if (sharedController == this)
        sharedController = nullptr;
}

AppController *AppController::sharedAppController()
{
    return sharedController;
}

bool AppController::applicationShouldOpenUntitledFile() const
{
    return UserDefaults::standardUserDefaults().boolForKey(QSOpenUntitledFileOnLaunch);
}

void AppController::showPreferencePanel()
{
    if (!_preferenceController)
        _preferenceController = std::make_unique<QSPreferenceWindowController>();
    _preferenceController->showWindow();
}

void AppController::editSmartDropForFileType(const QString &fileType)
{
    showPreferencePanel();
    _preferenceController->displayPreferenceAtIndex(
        QSSmartDropPreferencesViewController::paneIndex);
    if (auto *pane = qobject_cast<QSSmartDropPreferencesViewController *>(
            _preferenceController->pane(QSSmartDropPreferencesViewController::paneIndex)))
        pane->editSmartDropForFileType(fileType);
}

QIcon AppController::outlineIconForType(const QString &type) const
{
    return OutlineAppearance::iconForType(type);
}
