#include "CloseWatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

CloseWatch::CloseWatch(const QString &folder, const QString &fileName, QObject *parent)
    : QObject(parent), m_fileName(fileName)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 || inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_CLOSE_WRITE) < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CloseWatch::readEvents);
}

CloseWatch::~CloseWatch()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void CloseWatch::start()
{
    readEvents();
    m_lastCloseMs.reset();
    m_clock.start();
}

void CloseWatch::readEvents()
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            if (event->len > 0 && QFile::decodeName(event->name) == m_fileName && m_clock.isValid())
                m_lastCloseMs = m_clock.nsecsElapsed() / 1e6;
            offset += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
}
