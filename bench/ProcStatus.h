#pragma once

#include <QByteArray>

#include <sys/types.h>

// Figures of a running process as the kernel reports them in /proc/<pid>/status and stat.
namespace ProcStatus {

// A field such as "VmRSS" or "VmHWM" in KiB, or -1 when the process or the field is gone.
long kib(pid_t pid, const QByteArray &field);
long ownKib(const QByteArray &field);
// Lowers the own peak (VmHWM) to the present resident size, so that the next peak belongs to
// what runs from now on. False where the kernel does not allow it.
bool resetOwnPeak();
// The CPU time, user and system, the process has taken so far, or -1 when it is gone.
double cpuSeconds(pid_t pid);

} // namespace ProcStatus
