#include "platform/SettingsStore.h"

#include "platform/Environment.h"
#include "platform/IniFile.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

QString UserSettingsStore::settingsFilePath(const QString &application) const
{
    return QDir(m_environment.userConfigFolder()).filePath(application + QStringLiteral(".ini"));
}

QString UserSettingsStore::readText(const QString &application, const QString &section,
                                    const QString &key) const
{
#ifdef Q_OS_WIN
    QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\")
                           + application + u'\\' + section,
                       QSettings::NativeFormat);
    return registry.value(key).toString();
#else
    // The stored text is taken whole: no trimming and no quote removal, as the registry gives it.
    const std::optional<IniFile> ini = IniFile::load(settingsFilePath(application));
    if (!ini)
        return {};
    return ini->rawValue(section, key);
#endif
}
