#include "app/core/AppController.h"

#include "app/core/AppContext.h"
#include "app/core/HandlerGuard.h"
#include "app/core/Lifecycle.h"
#include "config/RefreshConfig.h"
#include "upload/ManualUpload.h"
#include "upload/ScheduleTick.h"

AppController::AppController(AppContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx) {}

template <typename Handler>
void AppController::run(const QString &routine, Handler &&handler)
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
    run(QStringLiteral("Form_Load"), [this] { Form_Load(m_ctx); });
}

void AppController::timerTick()
{
    // No new minute is started once closing has begun.
    if (m_ctx.shutdownRequested())
        return;
    run(QStringLiteral("Timer1_Timer"), [this] { Timer1_Timer(m_ctx); });
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
    run(QStringLiteral("Configmnu_Click"), [this] { configmnu_Click(m_ctx); });
}

bool AppController::requestClose()
{
    m_ctx.requestShutdown();
    if (m_depth == 0)
        return true;
    m_ctx.stopRunningProcesses();
    return false;
}

void AppController::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    guardHandler(m_ctx, QStringLiteral("Form_Unload"), [this] { Form_Unload(m_ctx); });
}
