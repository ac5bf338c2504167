#include "platform/StandardError.h"

#include "platform/ConsoleOutput.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace StandardError {

bool isJournal()
{
#ifdef Q_OS_WIN
    return false;
#else
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat status = {};
    if (stream.isEmpty() || ::fstat(2, &status) != 0)
        return false;
    return stream == QByteArray::number(quint64(status.st_dev)) + ':' +
                         QByteArray::number(quint64(status.st_ino));
#endif
}

void print(Priority priority, const QString &text)
{
    static const bool journal = isJournal();
    QString line = text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    if (journal)
        line.prepend(QStringLiteral("<%1>").arg(int(priority)));
    ConsoleOutput::write(ConsoleOutput::Stream::Error, line + u'\n');
}

} // namespace StandardError
