#pragma once

#include "platform/FileSystem.h"

#include <QString>

class Environment;

// The per-user settings another program keeps for us to read (on Windows the registry branch
// written by VB's SaveSetting; elsewhere an INI file in the user's configuration folder).
class SettingsStore
{
public:
    struct Value
    {
        QString text;     // exactly as stored; empty when absent
        FileError error;  // set when the store is there but cannot be read
        QString location; // where the store lives, for reports
    };

    virtual ~SettingsStore() = default;
    virtual Value readText(const QString &application, const QString &section,
                           const QString &key) const = 0;
};

class UserSettingsStore : public SettingsStore
{
public:
    explicit UserSettingsStore(const Environment &environment) : m_environment(environment) {}
    Value readText(const QString &application, const QString &section,
                   const QString &key) const override;
    // Where the value is kept off Windows: "<config folder>/<application>.ini".
    QString settingsFilePath(const QString &application) const;

private:
    const Environment &m_environment;
};
