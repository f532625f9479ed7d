#include "app/AppController.h"

#include "app/QSOutlineViewReloaderThread.h"
#include "app/QSPreferenceWindowController.h"
#include "editor/QSSyntaxHighlighter.h"
#include "editor/SmartDrop.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"
#include "platform/UserDefaults.h"

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
    _outlineViewReloader = std::make_unique<QSOutlineViewReloaderThread>();
    // Icons are loaded when first drawn.
    _outlineIcons = {
        {QStringLiteral("error"), QStringLiteral(":/errorSourceIcon.svg")},
        {QStringLiteral("warning"), QStringLiteral(":/warningSourceIcon.svg")},
        {QStringLiteral("part"), QStringLiteral(":/partSourceIcon.svg")},
        {QStringLiteral("chapter"), QStringLiteral(":/chapterSourceIcon.svg")},
        {QStringLiteral("section"), QStringLiteral(":/sectionSourceIcon.svg")},
        {QStringLiteral("subsection"), QStringLiteral(":/subsectionSourceIcon.svg")},
        {QStringLiteral("subsubsection"), QStringLiteral(":/subsubsectionSourceIcon.svg")},
        {QStringLiteral("quillsetFile"), QStringLiteral(":/TEX.svg")},
    };
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

QIcon AppController::outlineIconForType(const QString &type) const
{
    const QString resource = _outlineIcons.value(type);
    return resource.isEmpty() ? QIcon() : QIcon(resource);
}
