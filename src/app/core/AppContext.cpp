#include "app/core/AppContext.h"

#include "platform/ChildProcess.h"

AppContext::AppContext(Platform &platform)
    : platform(platform), Audit(platform.clock, platform.events, CFG)
{
}

QString AppContext::versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(TUNEBARN_VERSION_MAJOR)
        .arg(TUNEBARN_VERSION_MINOR)
        .arg(TUNEBARN_VERSION_PATCH);
}

void AppContext::registerRunningProcess(ChildProcess *process)
{
    m_running.append(process);
}

void AppContext::unregisterRunningProcess(ChildProcess *process)
{
    m_running.removeAll(process);
}

void AppContext::stopRunningProcesses()
{
    for (ChildProcess *process : m_running)
        process->requestStop();
}
