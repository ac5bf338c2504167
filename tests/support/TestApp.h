#pragma once

#include "app/core/AppContext.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"
#include "support/FakeClock.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"

#include <QDate>
#include <QStringList>
#include <QTemporaryDir>

// A whole program context on a fixed clock in a temporary home:
//   <home>/local     "LocalAppData"
//   <home>/config    per-user configuration folder (settings file)
//   <home>/program   the program's folder
//   <home>/data      per-user data folder (fallback when "LocalAppData" is unset)
class TestApp
{
public:
    explicit TestApp(const QDateTime &start = QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)));

    QString home() const { return m_home.path(); }
    QString localAppData() const { return home() + QStringLiteral("/local"); }
    QString auditFolder() const { return localAppData() + QStringLiteral("/TunebarnUploader/"); }
    QString programFolder() const { return home() + QStringLiteral("/program"); }

    // Writes `text` as a file, creating folders; returns its path.
    QString writeFile(const QString &path, const QByteArray &text) const;
    // tunebarn.ini in the fallback folder (the audit folder) unless `folder` is given.
    QString writeConfig(const QByteArray &text, const QString &folder = QString()) const;
    // The playout system's per-user settings naming `folder` as "CFG Folder" (written raw).
    void writePlayoutSetting(const QString &rawValue) const;
    QString auditFilePath(const QDate &date) const;
    QStringList auditLines(const QDate &date) const;
    // The audit lines without their time stamps.
    QStringList auditTexts(const QDate &date) const;
    QStringList heldTexts() const;

    FakeClock clock;
    ScriptedDialogs dialogs;
    QtEventPump events;
    TestEnvironment environment;
    UserSettingsStore settings{environment};
    RecordingDesktop desktop;
    RecordingView view;

private:
    QTemporaryDir m_home;

public:
    Platform platform{clock, dialogs, events, settings, environment, desktop};
    AppContext ctx{platform};
};

// Strips "HH:mm:ss  " from audit lines.
QStringList withoutTimes(const QStringList &lines);
