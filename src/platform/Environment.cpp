#include "platform/Environment.h"

#include <QCoreApplication>
#include <QStandardPaths>

QString Environment::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

QString Environment::variable(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString Environment::userDataFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString Environment::userConfigFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString Environment::findOnPath(const QString &program) const
{
    return QStandardPaths::findExecutable(program);
}
