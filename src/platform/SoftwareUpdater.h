#pragma once

#include <QString>

class QWidget;

// Quillset is updated through the system's package manager, so it checks for nothing
// itself: "check now" says where updates come from. The two update options (checking
// at start-up, sending the system profile) are kept only so that what a user stored
// for them stays readable; nothing acts on them.
class SoftwareUpdater
{
public:
    static SoftwareUpdater &sharedUpdater();

    // One sentence: where updates come from.
    static QString howUpdatesArrive();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    bool sendsSystemProfile() const;
    void setSendsSystemProfile(bool sends);
    void checkForUpdates(QWidget *parent);
};
