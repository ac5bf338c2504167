#pragma once

#include <QString>

// Where the program lives and what the user's environment says. Tests override the folders.
class Environment
{
public:
    virtual ~Environment() = default;
    // Folder of the program file, without a trailing separator.
    virtual QString programFolder() const;
    virtual QString variable(const QString &name) const;
    // Per-user data folder used when "LocalAppData" is unset or empty.
    virtual QString userDataFolder() const;
    // Per-user configuration folder that holds the playout system's settings file.
    virtual QString userConfigFolder() const;
    // Full path of `program` found on PATH, empty when there is none.
    virtual QString findOnPath(const QString &program) const;
};
