#include "platform/SettingsStore.h"

#include "platform/Environment.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

QString UserSettingsStore::settingsFilePath(const QString &application) const
{
    return QDir(m_environment.userConfigFolder()).filePath(application + QStringLiteral(".ini"));
}

SettingsStore::Value UserSettingsStore::readText(const QString &application, const QString &section,
                                                 const QString &key) const
{
#ifdef Q_OS_WIN
    const QString branch =
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + application +
        u'\\' + section;
    QSettings registry(branch, QSettings::NativeFormat);
    return {registry.value(key).toString(), {}, branch};
#else
    const QString path = settingsFilePath(application);
    Value value{{}, {}, path};
    if (!QFileInfo::exists(path))
        return value;
    const std::optional<IniFile> ini = IniFile::load(path, &value.error);
    // The stored text is taken whole: no trimming and no quote removal, as the registry gives it.
    if (ini)
        value.text = ini->rawValue(section, key);
    return value;
#endif
}
