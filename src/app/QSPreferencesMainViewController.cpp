#include "app/QSPreferencesMainViewController.h"

#include "platform/Log.h"

void QSPreferencesMainViewController::savePreferences()
{
    qsLog(
        quillsetApp,
        QStringLiteral("savePreferences not implemented for viewController: %1").arg(objectName()));
}
