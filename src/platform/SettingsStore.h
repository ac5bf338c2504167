#pragma once

#include <QString>

class Environment;

// The per-user settings another program keeps for us to read (on Windows the registry branch
// written by VB's SaveSetting; elsewhere an INI file in the user's configuration folder).
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The value exactly as stored, or empty text when it is absent.
    virtual QString readText(const QString &application, const QString &section,
                             const QString &key) const = 0;
};

class UserSettingsStore : public SettingsStore
{
public:
    explicit UserSettingsStore(const Environment &environment) : m_environment(environment) {}
    QString readText(const QString &application, const QString &section,
                     const QString &key) const override;
    // Where the value is kept off Windows: "<config folder>/<application>.ini".
    QString settingsFilePath(const QString &application) const;

private:
    const Environment &m_environment;
};
