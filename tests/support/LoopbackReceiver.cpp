#include "support/LoopbackReceiver.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <limits>

namespace {

constexpr qsizetype HeadLimit = 64 * 1024;
constexpr qsizetype ChunkLineLimit = 4 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 413:
        return "Content Too Large";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray responseText(const LoopbackReceiver::Answer &answer)
{
    const QByteArray body =
        answer.body.value_or(answer.status / 100 == 2 ? R"({"ok":true})" : R"({"ok":false})");
    QByteArray text = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                      reasonPhrase(answer.status) + "\r\n";
    text += "Content-Type: " + answer.contentType + "\r\n";
    text += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (answer.status / 100 == 3)
        text += "Location: " + answer.location + "\r\n";
    // One request per connection keeps every exchange independent of the one before.
    text += "Connection: close\r\n\r\n";
    return text + body;
}

enum class Stage
{
    Head,
    Body,
    ChunkSize,
    ChunkData,
    ChunkEnd,
    Trailer,
    Complete,
    Rejected,
    Answering
};

} // namespace

struct LoopbackReceiver::Connection
{
    Stage stage = Stage::Head;
    QByteArray buffer;
    Request request;
    qint64 remaining = 0;
    std::unique_ptr<MultipartReader> multipart;
    QCryptographicHash bodyHash{QCryptographicHash::Sha256};
    int index = -1;
};

QByteArray LoopbackReceiver::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (qstricmp(key.constData(), name.constData()) == 0)
            return value;
    }
    return {};
}

const LoopbackReceiver::Part *LoopbackReceiver::Request::part(const QByteArray &name) const
{
    for (const Part &candidate : parts) {
        if (candidate.name == name)
            return &candidate;
    }
    return nullptr;
}

LoopbackReceiver::Answer LoopbackReceiver::Answer::hangUp()
{
    Answer answer;
    answer.closeWithoutAnswer = true;
    return answer;
}

LoopbackReceiver::LoopbackReceiver(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackReceiver::acceptConnections);
}

// The server deletes its sockets after this body has run; none of them may call back into a
// receiver that is half gone.
LoopbackReceiver::~LoopbackReceiver()
{
    const QList<QTcpSocket *> sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets)
        socket->disconnect(this);
}

bool LoopbackReceiver::listen(quint16 port)
{
    return m_server.listen(QHostAddress(QHostAddress::LocalHost), port);
}

quint16 LoopbackReceiver::port() const
{
    return m_server.serverPort();
}

QString LoopbackReceiver::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port()) + path;
}

void LoopbackReceiver::setAnswers(const QList<Answer> &answers)
{
    m_answers = answers.isEmpty() ? QList<Answer>{Answer{}} : answers;
}

bool LoopbackReceiver::waitForRequests(int count, int timeoutMs)
{
    if (m_requests.size() >= count)
        return true;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    connect(this, &LoopbackReceiver::requestReceived, &loop, [this, count, &loop] {
        if (m_requests.size() >= count)
            loop.quit();
    });
    loop.exec();
    return m_requests.size() >= count;
}

void LoopbackReceiver::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.emplace(socket, std::make_unique<Connection>());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    }
}

// Closing a socket can report its disconnection at once, which ends the Connection: nothing may
// touch it after an answer or a rejection has been sent.
void LoopbackReceiver::readFrom(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    Connection &connection = *found->second;
    const QByteArray data = socket->readAll();
    if (connection.stage == Stage::Answering)
        return;
    connection.buffer.append(data);
    for (;;) {
        const bool progressed = step(socket, connection);
        if (connection.stage == Stage::Rejected) {
            connection.stage = Stage::Answering;
            reject(socket);
            return;
        }
        if (connection.stage == Stage::Complete) {
            complete(socket, connection);
            return;
        }
        if (!progressed)
            return;
    }
}

bool LoopbackReceiver::step(QTcpSocket *socket, Connection &connection)
{
    switch (connection.stage) {
    case Stage::Head:
        return readHead(socket, connection);
    case Stage::Body:
    case Stage::ChunkData:
        return readBody(connection);
    case Stage::ChunkSize:
        return readChunkSize(connection);
    case Stage::ChunkEnd:
        return readChunkEnd(connection);
    case Stage::Trailer:
        return readTrailer(connection);
    case Stage::Complete:
    case Stage::Rejected:
    case Stage::Answering:
        return false;
    }
    return false;
}

bool LoopbackReceiver::readHead(QTcpSocket *socket, Connection &connection)
{
    const qsizetype end = connection.buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (connection.buffer.size() > HeadLimit)
            connection.stage = Stage::Rejected;
        return false;
    }
    QList<QByteArray> lines = connection.buffer.first(end).split('\n');
    connection.buffer.remove(0, end + 4);
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    Request &request = connection.request;
    const QList<QByteArray> words = lines.takeFirst().split(' ');
    if (words.size() != 3 || words[0].isEmpty() || words[1].isEmpty() ||
        !words[2].startsWith("HTTP/1.")) {
        connection.stage = Stage::Rejected;
        return true;
    }
    request.method = words[0];
    request.path = words[1];
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            connection.stage = Stage::Rejected;
            return true;
        }
        request.headers.append({line.first(colon).trimmed(), line.sliced(colon + 1).trimmed()});
    }

    const QByteArray transferEncoding = request.header("Transfer-Encoding");
    const QByteArray length = request.header("Content-Length");
    bool lengthIsNumber = false;
    connection.remaining = length.toLongLong(&lengthIsNumber);
    if (!transferEncoding.isEmpty())
        connection.stage =
            transferEncoding.toLower() == "chunked" ? Stage::ChunkSize : Stage::Rejected;
    else if (length.isEmpty())
        connection.stage = Stage::Complete;
    else if (!lengthIsNumber || connection.remaining < 0)
        connection.stage = Stage::Rejected;
    else
        connection.stage = connection.remaining == 0 ? Stage::Complete : Stage::Body;
    if (connection.stage != Stage::Body && connection.stage != Stage::ChunkSize)
        return true;

    const QByteArray boundary = MultipartReader::boundaryOf(request.header("Content-Type"));
    if (!boundary.isEmpty()) {
        request.isMultipart = true;
        connection.multipart = std::make_unique<MultipartReader>(boundary, keepBelow());
    }
    if (qstricmp(request.header("Expect").constData(), "100-continue") == 0)
        socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    return true;
}

bool LoopbackReceiver::readBody(Connection &connection)
{
    const qsizetype count = qMin<qint64>(connection.remaining, connection.buffer.size());
    consumeBody(connection, QByteArrayView(connection.buffer).first(count));
    connection.buffer.remove(0, count);
    connection.remaining -= count;
    if (connection.remaining == 0)
        connection.stage = connection.stage == Stage::Body ? Stage::Complete : Stage::ChunkEnd;
    return count > 0;
}

bool LoopbackReceiver::readChunkSize(Connection &connection)
{
    const qsizetype end = connection.buffer.indexOf("\r\n");
    if (end < 0) {
        if (connection.buffer.size() > ChunkLineLimit)
            connection.stage = Stage::Rejected;
        return false;
    }
    QByteArray line = connection.buffer.first(end);
    connection.buffer.remove(0, end + 2);
    const qsizetype extension = line.indexOf(';');
    if (extension >= 0)
        line.truncate(extension);
    bool isNumber = false;
    connection.remaining = line.trimmed().toLongLong(&isNumber, 16);
    if (!isNumber || connection.remaining < 0)
        connection.stage = Stage::Rejected;
    else
        connection.stage = connection.remaining == 0 ? Stage::Trailer : Stage::ChunkData;
    return true;
}

bool LoopbackReceiver::readChunkEnd(Connection &connection)
{
    if (connection.buffer.size() < 2)
        return false;
    if (!connection.buffer.startsWith("\r\n")) {
        connection.stage = Stage::Rejected;
        return true;
    }
    connection.buffer.remove(0, 2);
    connection.stage = Stage::ChunkSize;
    return true;
}

bool LoopbackReceiver::readTrailer(Connection &connection)
{
    const qsizetype end = connection.buffer.indexOf("\r\n");
    if (end < 0) {
        if (connection.buffer.size() > ChunkLineLimit)
            connection.stage = Stage::Rejected;
        return false;
    }
    connection.buffer.remove(0, end + 2);
    if (end == 0)
        connection.stage = Stage::Complete;
    return true;
}

void LoopbackReceiver::consumeBody(Connection &connection, QByteArrayView bytes)
{
    Request &request = connection.request;
    request.bodySize += bytes.size();
    connection.bodyHash.addData(bytes);
    if (connection.multipart) {
        connection.multipart->feed(bytes);
        return;
    }
    if (request.bodySize >= keepBelow()) {
        request.body.clear();
        return;
    }
    request.body.append(bytes);
}

void LoopbackReceiver::complete(QTcpSocket *socket, Connection &connection)
{
    Request &request = connection.request;
    request.bodySha256 = connection.bodyHash.result().toHex();
    if (connection.multipart) {
        connection.multipart->finish();
        request.parts = connection.multipart->parts();
        request.multipartComplete = connection.multipart->isComplete();
        connection.multipart.reset();
    }
    request.answer = nextAnswer();
    const int delayMs = request.answer.delayMs;
    m_requests.append(std::move(request));
    const int index = m_requests.size() - 1;
    connection.index = index;
    connection.stage = Stage::Answering;
    QTimer::singleShot(delayMs, socket, [this, socket, index] { sendAnswer(socket, index); });
    emit requestReceived(index);
}

void LoopbackReceiver::sendAnswer(QTcpSocket *socket, int index)
{
    const Answer answer = m_requests.at(index).answer;
    if (!answer.closeWithoutAnswer)
        socket->write(responseText(answer));
    socket->disconnectFromHost();
}

void LoopbackReceiver::reject(QTcpSocket *socket)
{
    socket->write(responseText(Answer(400)));
    socket->disconnectFromHost();
}

void LoopbackReceiver::drop(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    const int index = found->second->index;
    m_connections.erase(found);
    socket->deleteLater();
    if (index >= 0)
        emit requestDone(index);
}

LoopbackReceiver::Answer LoopbackReceiver::nextAnswer()
{
    return m_answers.size() > 1 ? m_answers.takeFirst() : m_answers.first();
}

qint64 LoopbackReceiver::keepBelow() const
{
    return m_storage == Storage::AllBytes ? std::numeric_limits<qint64>::max() : SmallSize;
}
