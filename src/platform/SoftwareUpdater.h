#pragma once

class QWidget;

// Quillset is updated through the system's package manager. This keeps the two
// update options a user can set, and answers "check now" by saying so.
class SoftwareUpdater
{
public:
    static SoftwareUpdater &sharedUpdater();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    bool sendsSystemProfile() const;
    void setSendsSystemProfile(bool sends);
    void checkForUpdates(QWidget *parent);
};
