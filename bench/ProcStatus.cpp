#include "ProcStatus.h"

#include <QFile>

#include <unistd.h>

namespace {

long fieldKib(const QString &statusFile, const QByteArray &field)
{
    QFile file(statusFile);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        const QList<QByteArray> words = line.mid(prefix.size()).simplified().split(' ');
        return words.value(0).toLong();
    }
    return -1;
}

} // namespace

namespace ProcStatus {

long kib(pid_t pid, const QByteArray &field)
{
    return fieldKib(QStringLiteral("/proc/%1/status").arg(pid), field);
}

long ownKib(const QByteArray &field)
{
    return fieldKib(QStringLiteral("/proc/self/status"), field);
}

bool resetOwnPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && clearRefs.write("5") == 1;
}

double cpuSeconds(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // The command's name may hold blanks and parentheses; the fields follow its last ')'.
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    constexpr int UserTime = 11;
    constexpr int SystemTime = 12;
    if (fields.size() <= SystemTime)
        return -1;
    return double(fields[UserTime].toLongLong() + fields[SystemTime].toLongLong()) /
           sysconf(_SC_CLK_TCK);
}

} // namespace ProcStatus
