#pragma once

#include <QString>

// One scheduler per data folder: a second copy on the same folder would upload every show twice.
// The lock belongs to the data folder alone, whatever the environment of the copy that takes
// it, and the system lets go of it when its holder ends in any way, so a copy that was killed
// never blocks the next start.
class InstanceLock
{
public:
    // `localAppFolder` is the per-user data folder that holds the program's folder.
    explicit InstanceLock(const QString &localAppFolder);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // False only when another copy holds the lock. When the lock cannot be taken at all (an
    // unwritable folder) the copy runs: a schedule that runs is worth more than the guard.
    bool tryLock();
    // The lock file beside the program's folder, or on Windows the name of the mutex.
    QString lockName() const { return m_name; }

private:
    QString m_name;
#ifdef Q_OS_WIN
    void *m_mutex = nullptr;
#else
    int m_fd = -1;
#endif
};
