#pragma once

#include "audit/AuditLog.h"
#include "config/ConfigRecord.h"
#include "config/ShowTableRecord.h"
#include "config/UploadOptions.h"
#include "platform/MainView.h"
#include "platform/Platform.h"
#include "upload/ScheduleMemory.h"

#include <QString>

class ChildProcess;

// The program's shared state for the whole run, handed to every handler.
class AppContext
{
public:
    static constexpr const char *ApplicationTitle = "Tunebarn Uploader";

    explicit AppContext(Platform &platform);

    Platform &platform;
    ConfigRecord CFG;
    ShowTableRecord ShowTable;
    UploadOptions Options;
    AuditLog Audit;
    QString WorkingDirectory;
    QString LastMinute;
    QString DosCommand;
    ScheduleMemory Schedule;

    void AppendLog(const QString &text) { Audit.AppendLog(text); }
    void WriteLog() { Audit.WriteLog(); }

    MainView &view() const { return *m_view; }
    void setView(MainView *view) { m_view = view ? view : &m_nullView; }

    static QString applicationTitle() { return QString::fromLatin1(ApplicationTitle); }
    static QString versionText();

    // Uploads in progress register their curl so that shut-down can stop it.
    void registerRunningProcess(ChildProcess *process);
    void unregisterRunningProcess(ChildProcess *process);
    int runningProcessCount() const { return int(m_running.size()); }
    void stopRunningProcesses();
    bool shutdownRequested() const { return m_shutdownRequested; }
    void requestShutdown() { m_shutdownRequested = true; }

private:
    NullView m_nullView;
    MainView *m_view = &m_nullView;
    QList<ChildProcess *> m_running;
    bool m_shutdownRequested = false;
};
