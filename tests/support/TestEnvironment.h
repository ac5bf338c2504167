#pragma once

#include "platform/Desktop.h"
#include "platform/Environment.h"
#include "platform/MainView.h"

#include <QHash>
#include <QStringList>

// Folders and variables of a temporary home instead of the real one.
class TestEnvironment : public Environment
{
public:
    QString programFolder() const override { return programDir; }
    QString variable(const QString &name) const override { return variables.value(name); }
    QString userDataFolder() const override { return dataDir; }
    QString userConfigFolder() const override { return configDir; }
    QString findOnPath(const QString &program) const override;

    QString programDir;
    QString dataDir;
    QString configDir;
    QHash<QString, QString> variables;
    // Folders searched for programs; the real PATH is never used.
    QStringList pathDirs;
};

class RecordingDesktop : public Desktop
{
public:
    QString openFolder(const QString &folder) override;
    QString editTextFile(const QString &path) override;
    bool hasSystemTray() const override { return systemTray; }

    QStringList openedFolders;
    bool systemTray = false;
    QStringList editedFiles;
    QString failure; // returned by every call when set
};

// The main window's texts as a test sees them.
class RecordingView : public MainView
{
public:
    void setStatusText(const QString &text) override
    {
        statusHistory.append(text);
        status = text;
    }
    void setTitleText(const QString &text) override { title = text; }
    void setCommandText(const QString &text) override { command = text; }
    void setCaption(const QString &text) override { caption = text; }
    bool uploadsDisabled() const override { return disabled; }
    void reportRetry(const QString &what, const QString &text, bool) override
    {
        statusHistory.append(QStringLiteral("retry: ") + what + QStringLiteral(": ") + text);
    }
    void setNextUpload(const QString &text) override
    {
        statusHistory.append(QStringLiteral("next: ") + text);
    }

    QString status = QStringLiteral("Idle");
    QStringList statusHistory;
    QString title;
    QString command;
    QString caption;
    bool disabled = false;
};
