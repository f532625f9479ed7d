#include "platform/SoftwareUpdater.h"

#include "platform/UserDefaults.h"

#include <QMessageBox>

namespace {
const QString checksKey = QStringLiteral("AutomaticallyChecksForUpdates");
const QString profileKey = QStringLiteral("SendsSystemProfile");
} // namespace

SoftwareUpdater &SoftwareUpdater::sharedUpdater()
{
    static SoftwareUpdater updater;
    return updater;
}

bool SoftwareUpdater::automaticallyChecksForUpdates() const
{
    return UserDefaults::standardUserDefaults().boolForKey(checksKey);
}

void SoftwareUpdater::setAutomaticallyChecksForUpdates(bool checks)
{
    UserDefaults::standardUserDefaults().setObject(checks, checksKey);
}

bool SoftwareUpdater::sendsSystemProfile() const
{
    return UserDefaults::standardUserDefaults().boolForKey(profileKey);
}

void SoftwareUpdater::setSendsSystemProfile(bool sends)
{
    UserDefaults::standardUserDefaults().setObject(sends, profileKey);
}

QString SoftwareUpdater::howUpdatesArrive()
{
    return QObject::tr("Quillset is updated through your system's package manager "
                       "(for example with \"apt upgrade\").");
}

void SoftwareUpdater::checkForUpdates(QWidget *parent)
{
    QMessageBox::information(parent, QObject::tr("Software Update"), howUpdatesArrive());
}
