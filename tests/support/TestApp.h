#pragma once

#include "core/AppContext.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"
#include "support/FakeClock.h"
#include "support/QtPrinters.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"

#include <QDate>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

// A whole program context on a fixed clock in a temporary home:
//   <home>/local     "LocalAppData"; the program's folder is local/TunebarnUploader/
//   <home>/config    per-user configuration folder (the playout system's settings file)
//   <home>/program   the program's folder, where curl is looked for first
//   <home>/data      per-user data folder (used when "LocalAppData" is unset)
class TestApp
{
public:
    // Sunday 6 December 2026, 14:03:27.
    static QDateTime sunday() { return QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)); }
    // The lines that open and close a run's block of the audit.
    static QString asterisks() { return QString(108, u'*'); }
    static QString hyphens() { return QString(108, u'-'); }

    explicit TestApp(const QDateTime &start = sunday());

    QString home() const { return m_home.path(); }
    // With the system's own separators, as Windows gives "LocalAppData".
    QString localAppData() const
    {
        return QDir::toNativeSeparators(home() + QStringLiteral("/local"));
    }
    QString auditFolder() const
    {
        return QDir::toNativeSeparators(home() + QStringLiteral("/local/TunebarnUploader/"));
    }

    // Writes `bytes` below the home (or at an absolute path), creating folders; returns the path.
    QString writeFile(const QString &path, const QByteArray &bytes) const;
    // tunebarn.ini in the program's folder, where it is read when no playout setting names another.
    QString writeConfig(const QByteArray &text) const;
    void writePlayoutSetting(const QString &rawValue) const;
    QString auditFilePath(const QDate &date) const;
    // The day's audit file, or the held lines, without their time stamps.
    QStringList auditTexts(const QDate &date = sunday().date()) const;
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

// What Windows lacks is left out there, saying what.
#ifdef Q_OS_WIN
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << reason
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif
// A file's bytes; none when it cannot be read.
QByteArray fileBytes(const QString &path);
// Strips "HH:mm:ss  " from audit lines.
QStringList withoutTimes(const QStringList &lines);
// Expected texts ending in '*' only give how the actual text starts.
void expectTexts(const QStringList &actual, const QStringList &expected);
