#pragma once

#include "support/MultipartReader.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>

#include <memory>
#include <optional>
#include <unordered_map>

class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 that records what a client such as curl posts to it, down to
// every byte of every multipart part, and answers as the test tells it. It lives on the thread
// that creates it: whoever waits for a client there must keep that thread's event loop running.
class LoopbackReceiver : public QObject
{
    Q_OBJECT

public:
    using Part = MultipartReader::Part;

    struct Answer
    {
        Answer() = default;
        explicit Answer(int status, std::optional<QByteArray> body = std::nullopt)
            : status(status), body(std::move(body))
        {
        }
        // Reads the whole request, then hangs up without a word.
        static Answer hangUp();

        int status = 200;
        // Without one: {"ok":true} for a 2xx status, {"ok":false} for any other.
        std::optional<QByteArray> body;
        QByteArray contentType = "application/json";
        // Sent with a 3xx status.
        QByteArray location = "/";
        int delayMs = 0;
        bool closeWithoutAnswer = false;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        qint64 bodySize = 0;
        QByteArray bodySha256; // lower-case hex, of the body after any chunked coding is undone
        // The body as it came, unless it was multipart or too big to keep.
        QByteArray body;
        bool isMultipart = false;
        bool multipartComplete = false; // the closing delimiter arrived
        QList<Part> parts;
        Answer answer;

        // The first header of that name, compared without regard to case.
        QByteArray header(const QByteArray &name) const;
        // The first part of that name, or nullptr.
        const Part *part(const QByteArray &name) const;
    };

    enum class Storage
    {
        AllBytes,
        // Bodies and parts of SmallSize bytes or more keep only their size and SHA-256, so that
        // uploads of any size pass through in flat memory.
        SmallPartsOnly
    };
    static constexpr qint64 SmallSize = 4096;

    explicit LoopbackReceiver(QObject *parent = nullptr);
    ~LoopbackReceiver() override;

    // Port 0 takes a free port; port() then tells which.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString url(const QString &path = QStringLiteral("/upload")) const;

    void setStorage(Storage storage) { m_storage = storage; }
    void setAnswer(const Answer &answer) { setAnswers({answer}); }
    // One answer per request, in order; the last one is given again to all further requests.
    void setAnswers(const QList<Answer> &answers);

    const QList<Request> &requests() const { return m_requests; }
    // Runs a local event loop until `count` requests have arrived in all or the time is up.
    bool waitForRequests(int count, int timeoutMs);

signals:
    void requestReceived(int index);
    // The connection that carried request `index` has ended, answered or not.
    void requestDone(int index);

private:
    struct Connection;

    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    bool step(QTcpSocket *socket, Connection &connection);
    bool readHead(QTcpSocket *socket, Connection &connection);
    bool readBody(Connection &connection);
    bool readChunkSize(Connection &connection);
    bool readChunkEnd(Connection &connection);
    bool readTrailer(Connection &connection);
    void consumeBody(Connection &connection, QByteArrayView bytes);
    void complete(QTcpSocket *socket, Connection &connection);
    void sendAnswer(QTcpSocket *socket, int index);
    void reject(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    Answer nextAnswer();
    qint64 keepBelow() const;

    QTcpServer m_server;
    std::unordered_map<QTcpSocket *, std::unique_ptr<Connection>> m_connections;
    QList<Answer> m_answers{Answer{}};
    Storage m_storage = Storage::AllBytes;
    QList<Request> m_requests;
};
