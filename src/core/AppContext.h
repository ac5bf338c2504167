#pragma once

#include "core/AuditBuffer.h"
#include "core/ConfigRecord.h"
#include "core/RecordingCache.h"
#include "core/RecordingLimits.h"
#include "core/ScheduleMemory.h"
#include "core/ShowTableRecord.h"
#include "core/UploadOptions.h"
#include "core/UploadWatch.h"
#include "platform/MainView.h"
#include "platform/Platform.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>

// What the check ahead last told of a show's coming upload, so each problem is told once.
struct PreflightNote
{
    QDateTime due;
    QStringList problems;
    // Those of the problems found by reading the recording, kept while it is read again.
    QStringList recordingProblems{};
};

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
    AuditBuffer Audit;
    QString WorkingDirectory;
    QString LastMinute;
    QString DosCommand;
    ScheduleMemory Schedule;
    // Uploads running now, one inside another; each knows its depth.
    int uploadsInProgress = 0;
    // FailureCommands being waited for. The upload whose failure one tells is still counted in
    // uploadsInProgress while it runs, but sends nothing more.
    int failureCommandsRunning = 0;
    // Why schedule.state could not be saved the last time, empty when it was saved; the same
    // error is logged once, not on every save.
    QString StateSaveError;
    // When the upload shown to the operator as the next one is due; once it has come, the
    // next one is worked out.
    QDateTime NextUploadAt;
    // By show number, for the uploads due within PreflightMinutes.
    QHash<int, PreflightNote> Preflight;
    // By show number: [General]'s recording limits with the show's own values over them.
    std::array<RecordingLimits, ShowTableRecord::MaxShows + 1> RecordingRules;
    RecordingCache Recordings;

    void AppendLog(const QString &text) { Audit.append(text); }

    MainView &view() const { return *m_view; }
    void setView(MainView *view) { m_view = view ? view : &m_nullView; }
    UploadWatch &watch() const { return *m_watch; }
    void setWatch(UploadWatch *watch) { m_watch = watch ? watch : &m_nullWatch; }

    static QString applicationTitle() { return QString::fromLatin1(ApplicationTitle); }
    static QString versionText();

    // Once set, no new work starts and waits are cut short, so the program can close; running
    // uploads are given `graceSeconds` to end before they are cut. A later request keeps the
    // first one's time.
    bool shutdownRequested() const { return m_shutdownRequested; }
    void requestShutdown(int graceSeconds)
    {
        if (m_shutdownRequested)
            return;
        m_shutdownRequested = true;
        m_stopDeadline = QDeadlineTimer(graceSeconds * 1000LL);
    }
    // The close's grace is over: running commands are stopped now.
    bool stopDue() const { return m_shutdownRequested && m_stopDeadline.hasExpired(); }

private:
    NullView m_nullView;
    MainView *m_view = &m_nullView;
    UploadWatch m_nullWatch;
    UploadWatch *m_watch = &m_nullWatch;
    bool m_shutdownRequested = false;
    QDeadlineTimer m_stopDeadline;
};
