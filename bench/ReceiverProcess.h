#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <optional>

// The loopback receiver run as a process of its own, keeping only sizes and digests of big
// parts, so that neither its memory nor its CPU time is counted as the uploader's.
class ReceiverProcess
{
public:
    ~ReceiverProcess();

    // Starts `program` and waits until it listens; false with `error()` set when it does not.
    bool start(const QString &program);
    QString url() const;
    QString error() const { return m_error; }
    // The JSON line the receiver printed for its next request, waiting for it when needed.
    std::optional<QJsonObject> nextRequest(int timeoutMs);

private:
    std::optional<QByteArray> nextLine(int timeoutMs);

    QProcess m_process;
    QByteArray m_pending;
    quint16 m_port = 0;
    QString m_error;
};
