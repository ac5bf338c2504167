#include "platform/InstanceLock.h"

#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class InstanceLockTest : public ::testing::Test
{
protected:
    QString folder(const QString &name) const
    {
        const QString path = home.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir home;
};

// The number of a process that has just ended.
qint64 endedProcessId()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), {});
    if (!process.waitForStarted())
        return 0;
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

} // namespace

TEST_F(InstanceLockTest, SecondLockOnTheSameFolderFails)
{
    const QString data = folder(QStringLiteral("local"));
    QFile::link(data, home.filePath(QStringLiteral("alias")));
    InstanceLock first(data);
    ASSERT_TRUE(first.tryLock());

    for (const QString &spelling : {data, data + u'/', home.filePath(QStringLiteral("alias")),
                                    home.filePath(QStringLiteral("local/../local/"))}) {
        SCOPED_TRACE(spelling.toStdString());
        InstanceLock second(spelling);
        EXPECT_FALSE(second.tryLock());
    }
}

TEST_F(InstanceLockTest, DifferentFolderIsNotBlocked)
{
    InstanceLock first(folder(QStringLiteral("one")));
    ASSERT_TRUE(first.tryLock());
    InstanceLock second(folder(QStringLiteral("two")));
    EXPECT_TRUE(second.tryLock());
}

TEST_F(InstanceLockTest, LockIsFreeAgainWhenItsHolderEnds)
{
    const QString data = folder(QStringLiteral("local"));
    {
        InstanceLock first(data);
        ASSERT_TRUE(first.tryLock());
    }
    InstanceLock next(data);
    EXPECT_TRUE(next.tryLock());
}

TEST_F(InstanceLockTest, LockLeftByACrashedCopyDoesNotBlock)
{
    const QString data = folder(QStringLiteral("local"));
    QString path;
    QByteArray contents;
    {
        InstanceLock held(data);
        ASSERT_TRUE(held.tryLock());
        path = held.lockFilePath();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    const qint64 deadPid = endedProcessId();
    ASSERT_GT(deadPid, 0);
    // What a copy killed while running leaves behind: its lock file, naming a process gone.
    contents.replace(0, contents.indexOf('\n'), QByteArray::number(deadPid));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    InstanceLock next(data);
    EXPECT_TRUE(next.tryLock());
}

TEST_F(InstanceLockTest, LockWritesNothingIntoTheDataFolder)
{
    const QString data = folder(QStringLiteral("local"));
    InstanceLock lock(data);
    ASSERT_TRUE(lock.tryLock());
    EXPECT_TRUE(QDir(data).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_FALSE(lock.lockFilePath().startsWith(data));
}
