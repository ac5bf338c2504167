#include "app/core/AppController.h"

#include "app/core/HandlerGuard.h"
#include "app/core/Lifecycle.h"
#include "app/core/StationSources.h"
#include "audit/AuditLog.h"
#include "config/RefreshConfig.h"
#include "core/AppContext.h"
#include "core/CountedNoun.h"
#include "schedule/ConfigWarnings.h"
#include "schedule/ScheduleState.h"
#include "schedule/ScheduleTick.h"
#include "upload/ManualUpload.h"

#include <QTimer>

#include <algorithm>

namespace {

// What runs that the close waits for: "the running upload to finish", "the running FailureCommand
// to end", both, or nothing.
QString awaitedByTheClose(const AppContext &ctx)
{
    const int commands = ctx.failureCommandsRunning;
    const int uploads = std::max(0, ctx.uploadsInProgress - commands);
    // An upload nested in another's wait holds the outer one open after its curl has ended, so
    // the count of uploads in progress is no count of what runs.
    const QString upload = QStringLiteral("the running upload to finish");
    const QString command =
        commands == 1 ? QStringLiteral("the running FailureCommand to end")
                      : QStringLiteral("the %1 running FailureCommands to end").arg(commands);
    if (commands == 0)
        return uploads > 0 ? upload : QString();
    return uploads > 0 ? upload + QStringLiteral(" and ") + command : command;
}

} // namespace

AppController::AppController(AppContext &ctx, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_monitor(ctx, stationSources(ctx))
{
    ctx.setWatch(&m_monitor);
}

AppController::~AppController()
{
    m_ctx.setWatch(nullptr);
}

template <typename Handler> void AppController::run(const QString &routine, Handler &&handler)
{
    if (m_unloaded)
        return;
    ++m_depth;
    guardHandler(m_ctx, routine, handler);
    --m_depth;
    if (m_depth == 0 && m_ctx.shutdownRequested())
        emit readyToClose();
}

void AppController::load()
{
    StartMinutes minutes;
    run(QStringLiteral("Form_Load"), [&] { minutes = Form_Load(m_ctx); });
    // Right after the start block is on disk, as the window runs: nothing of this is needed
    // before then. The schedule state waits for the disk to have it, so it goes first, before
    // any upload can start.
    QTimer::singleShot(0, this, [this, minutes] {
        if (m_ctx.shutdownRequested())
            return;
        run(QStringLiteral("Form_Load"),
            [this] { saveScheduleState(m_ctx, QStringLiteral("Form_Load")); });
        run(QStringLiteral("Configmnu_Click"), [this] {
            reportConfigWarnings(m_ctx);
            WriteLog(m_ctx);
        });
        run(QStringLiteral("Metrics"), [this] { m_monitor.start(); });
        run(QStringLiteral("Timer1_Timer"),
            [&] { catchUpAfterStart(m_ctx, minutes.missed, minutes.start); });
    });
}

void AppController::attachTimer(QTimer &timer)
{
    timer.setInterval(TimerIntervalMs);
    // A timer's signal is not delivered again while a slot it called still runs, even when that
    // slot lets events run. Queued, the tick returns to the timer at once, so ticks keep coming
    // while an upload, a retry wait or a box waits inside an earlier one.
    connect(&timer, &QTimer::timeout, this, &AppController::timerTick, Qt::QueuedConnection);
}

void AppController::timerTick()
{
    // No new minute is started once closing has begun.
    if (m_ctx.shutdownRequested())
        return;
    run(QStringLiteral("Timer1_Timer"), [this] {
        Timer1_Timer(m_ctx);
        m_monitor.tick();
    });
}

void AppController::manualUpload()
{
    if (m_ctx.shutdownRequested())
        return;
    run(QStringLiteral("Manupmnu_Click"), [this] { manupmnu_Click(m_ctx); });
}

void AppController::refreshConfig()
{
    if (m_ctx.shutdownRequested())
        return;
    run(QStringLiteral("Configmnu_Click"), [this] {
        configmnu_Click(m_ctx);
        reportConfigWarnings(m_ctx);
        m_monitor.configChanged();
    });
}

bool AppController::requestClose()
{
    const bool first = !m_ctx.shutdownRequested();
    const int grace = m_ctx.Options.stopGraceSeconds;
    m_ctx.requestShutdown(grace);
    if (m_depth == 0)
        return true;
    const QString awaited = awaitedByTheClose(m_ctx);
    if (first && grace > 0 && !awaited.isEmpty()) {
        m_ctx.AppendLog(QStringLiteral("Form_Unload| Closing waits up to ") +
                        countedNoun(grace, QStringLiteral("second")) + QStringLiteral(" for ") +
                        awaited);
        WriteLog(m_ctx);
    }
    return false;
}

void AppController::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    guardHandler(m_ctx, QStringLiteral("Form_Unload"), [this] {
        m_monitor.close();
        Form_Unload(m_ctx);
    });
    emit unloaded();
}
