#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One scheduler per data folder: a second copy on the same folder would upload every show
// twice. A lock left by a copy that crashed does not count.
class InstanceLock
{
public:
    explicit InstanceLock(const QString &dataFolder);
    bool tryLock();
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
