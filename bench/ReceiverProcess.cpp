#include "ReceiverProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

ReceiverProcess::~ReceiverProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

bool ReceiverProcess::start(const QString &program)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program);
    if (!m_process.waitForStarted(10000)) {
        m_error = program + QStringLiteral(": ") + m_process.errorString();
        return false;
    }
    const std::optional<QByteArray> first = nextLine(10000);
    if (!first || !first->startsWith("LISTENING ")) {
        m_error = QStringLiteral("the receiver did not report its port");
        return false;
    }
    m_port = quint16(first->mid(10).toUInt());
    return m_port != 0;
}

QString ReceiverProcess::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/upload?token=bench").arg(m_port);
}

std::optional<QJsonObject> ReceiverProcess::nextRequest(int timeoutMs)
{
    const std::optional<QByteArray> line = nextLine(timeoutMs);
    if (!line)
        return std::nullopt;
    const QJsonDocument json = QJsonDocument::fromJson(*line);
    if (!json.isObject())
        return std::nullopt;
    return json.object();
}

std::optional<QByteArray> ReceiverProcess::nextLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_pending += m_process.readAllStandardOutput();
        const qsizetype end = m_pending.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            return line;
        }
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return std::nullopt;
    }
}
