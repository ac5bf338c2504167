#include "support/LoopbackReceiver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int WaitMs = 90 * 1000;

struct CurlRun
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

void startCurl(QProcess &curl, const QStringList &arguments)
{
    curl.start(QStringLiteral("/usr/bin/curl"),
               QStringList{"-q", "--silent", "--show-error", "--noproxy", "*", "--max-time", "60"} +
                   arguments);
}

bool waitForEnd(QProcess &process)
{
    return QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, WaitMs);
}

// The receiver lives on this thread, so curl is waited for with the event loop running.
CurlRun runCurl(const QStringList &arguments)
{
    QProcess curl;
    startCurl(curl, arguments);
    if (!curl.waitForStarted())
        return {};
    if (!waitForEnd(curl)) {
        curl.kill();
        curl.waitForFinished();
        return {};
    }
    const int exitCode = curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1;
    return {exitCode, curl.readAllStandardOutput(), curl.readAllStandardError()};
}

enum class Delivery
{
    AtOnce,
    ByteByByte
};

// Sends raw bytes and returns what came back before the receiver hung up. Byte by byte, the
// receiver is let run after each byte, so that every boundary of the request falls between reads.
std::optional<QByteArray> exchange(quint16 port, const QByteArray &request,
                                   Delivery delivery = Delivery::AtOnce)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    if (!socket.waitForConnected(WaitMs))
        return std::nullopt;
    if (delivery == Delivery::AtOnce)
        socket.write(request);
    for (qsizetype at = 0; delivery == Delivery::ByteByByte && at < request.size(); ++at) {
        socket.write(request.sliced(at, 1));
        socket.waitForBytesWritten(WaitMs);
        QCoreApplication::processEvents();
    }
    QByteArray reply;
    const bool hungUp = QTest::qWaitFor(
        [&] {
            reply += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        WaitMs);
    if (!hungUp)
        return std::nullopt;
    return reply + socket.readAll();
}

void sendAndLeave(quint16 port, const QByteArray &partialRequest)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    ASSERT_TRUE(socket.waitForConnected(WaitMs));
    socket.write(partialRequest);
    ASSERT_TRUE(socket.waitForBytesWritten(WaitMs));
    socket.abort();
}

// Every byte value, a false start of a delimiter, and an ending that looks like the start of one.
QByteArray awkwardBytes()
{
    QByteArray bytes;
    for (int round = 0; round < 2; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
    }
    return bytes + "\r\n--not-the-boundary\r\n--\r\n-";
}

QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20261206);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

std::string text(const QByteArray &bytes)
{
    return bytes.toStdString();
}

QByteArray readLine(QProcess &process)
{
    if (!QTest::qWaitFor([&process] { return process.canReadLine(); }, WaitMs))
        return {};
    return process.readLine().trimmed();
}

class LoopbackReceiverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(receiver.listen()); }

    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }

    QTemporaryDir folder;
    LoopbackReceiver receiver;
};

TEST_F(LoopbackReceiverTest, MultipartFieldsArriveByteForByte)
{
    const QByteArray binary = awkwardBytes();
    const QString recording = writeFile(QStringLiteral("Morning Show 06.12.mp3"), binary);
    const QByteArray title = "Frühstücksradio – Café Ölmühle ☕";
    const QByteArray description = R"(Live "at home"; with guests, <b>loud</b> @studio)";

    const CurlRun run = runCurl({"-o", "/dev/null", "-w", "%{http_code}", "-F",
                                 "mp3=@" + recording + ";type=audio/mpeg", "--form-string",
                                 "name=" + QString::fromUtf8(title), "--form-string",
                                 "description=" + QString::fromUtf8(description), "--form-string",
                                 "empty=", receiver.url()});

    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(text(run.output), "200");
    ASSERT_EQ(receiver.requests().size(), 1);
    const LoopbackReceiver::Request &request = receiver.requests().first();
    EXPECT_EQ(text(request.method), "POST");
    EXPECT_EQ(text(request.path), "/upload");
    EXPECT_TRUE(request.header("content-type").startsWith("multipart/form-data; boundary="));
    EXPECT_TRUE(request.isMultipart);
    EXPECT_TRUE(request.multipartComplete);
    ASSERT_EQ(request.parts.size(), 4);
    EXPECT_EQ(text(request.parts[0].name), "mp3");
    EXPECT_EQ(text(request.parts[1].name), "name");
    EXPECT_EQ(text(request.parts[2].name), "description");
    EXPECT_EQ(text(request.parts[3].name), "empty");

    const LoopbackReceiver::Part &file = request.parts[0];
    EXPECT_TRUE(file.hasFilename);
    EXPECT_EQ(text(file.filename), "Morning Show 06.12.mp3");
    EXPECT_EQ(text(file.contentType), "audio/mpeg");
    EXPECT_EQ(file.bytes.toHex().toStdString(), binary.toHex().toStdString());
    EXPECT_EQ(file.size, binary.size());
    EXPECT_EQ(text(file.sha256), text(sha256(binary)));

    EXPECT_FALSE(request.part("name")->hasFilename);
    EXPECT_EQ(text(request.part("name")->bytes), text(title));
    EXPECT_EQ(text(request.part("description")->bytes), text(description));
    EXPECT_EQ(request.part("empty")->size, 0);
    EXPECT_EQ(request.part("picture"), nullptr);
}

TEST_F(LoopbackReceiverTest, BigBodiesArriveWholeAfterContinueOrInChunks)
{
    const QByteArray recording = noise(2 * 1024 * 1024 + 3);
    const QString path = writeFile(QStringLiteral("big.mp3"), recording);

    // Without the interim answer curl would sit out half a minute before sending.
    const CurlRun expecting = runCurl({"-v", "--expect100-timeout", "30", "-o", "/dev/null", "-F",
                                       "mp3=@" + path, receiver.url()});
    const CurlRun chunked = runCurl({"-o", "/dev/null", "-H", "Transfer-Encoding: chunked", "-H",
                                     "Content-Type: application/octet-stream", "--data-binary",
                                     "@" + path, receiver.url(QStringLiteral("/raw"))});

    ASSERT_EQ(expecting.exitCode, 0) << expecting.errors.toStdString();
    ASSERT_EQ(chunked.exitCode, 0) << chunked.errors.toStdString();
    ASSERT_EQ(receiver.requests().size(), 2);
    const LoopbackReceiver::Request &multipart = receiver.requests()[0];
    EXPECT_EQ(text(multipart.header("Expect")), "100-continue");
    EXPECT_TRUE(expecting.errors.contains("< HTTP/1.1 100 Continue"));
    ASSERT_NE(multipart.part("mp3"), nullptr);
    EXPECT_EQ(multipart.part("mp3")->size, recording.size());
    EXPECT_TRUE(multipart.part("mp3")->bytes == recording);

    const LoopbackReceiver::Request &raw = receiver.requests()[1];
    EXPECT_EQ(text(raw.path), "/raw");
    EXPECT_EQ(text(raw.header("Transfer-Encoding")), "chunked");
    EXPECT_FALSE(raw.isMultipart);
    EXPECT_EQ(raw.bodySize, recording.size());
    EXPECT_TRUE(raw.body == recording);
    EXPECT_EQ(text(raw.bodySha256), text(sha256(recording)));
}

TEST_F(LoopbackReceiverTest, SmallPartsOnlyKeepsSizeAndDigestOfBigParts)
{
    receiver.setStorage(LoopbackReceiver::Storage::SmallPartsOnly);
    const QByteArray recording = noise(3 * 1024 * 1024);
    const QByteArray picture = noise(LoopbackReceiver::SmallSize);
    const QByteArray title = QByteArray(LoopbackReceiver::SmallSize - 1, 'T');

    const CurlRun run =
        runCurl({"-o", "/dev/null", "-F", "mp3=@" + writeFile(QStringLiteral("big.mp3"), recording),
                 "-F", "picture=@" + writeFile(QStringLiteral("p.jpg"), picture), "--form-string",
                 "name=" + QString::fromLatin1(title), receiver.url()});

    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(receiver.requests().size(), 1);
    const LoopbackReceiver::Request &request = receiver.requests().first();
    ASSERT_EQ(request.parts.size(), 3);
    for (const auto &[part, sent] :
         {std::pair{&request.parts[0], recording}, std::pair{&request.parts[1], picture}}) {
        EXPECT_FALSE(part->bytesKept) << text(part->name);
        EXPECT_TRUE(part->bytes.isEmpty()) << text(part->name);
        EXPECT_EQ(part->size, sent.size()) << text(part->name);
        EXPECT_EQ(text(part->sha256), text(sha256(sent))) << text(part->name);
    }
    EXPECT_TRUE(request.parts[2].bytesKept);
    EXPECT_EQ(text(request.parts[2].bytes), text(title));
}

TEST_F(LoopbackReceiverTest, AnswersFollowTheQueueAndTheLastOneRepeats)
{
    receiver.setAnswers(
        {LoopbackReceiver::Answer(429), LoopbackReceiver::Answer(201, QByteArray(R"({"id":7})"))});
    const QStringList post{"-F", "name=x", receiver.url()};

    const CurlRun refused = runCurl(QStringList{"-i"} + post);
    const CurlRun created = runCurl(QStringList{"-w", "|%{http_code}"} + post);
    const CurlRun createdAgain =
        runCurl(QStringList{"-o", "/dev/null", "-w", "%{http_code}"} + post);

    EXPECT_TRUE(refused.output.startsWith("HTTP/1.1 429 Too Many Requests\r\n"))
        << text(refused.output);
    EXPECT_TRUE(refused.output.endsWith("\r\n\r\n{\"ok\":false}")) << text(refused.output);
    EXPECT_EQ(text(created.output), R"({"id":7}|201)");
    EXPECT_EQ(text(createdAgain.output), "201");
    EXPECT_EQ(receiver.requests().size(), 3);

    LoopbackReceiver::Answer redirect(303);
    redirect.location = "/done";
    receiver.setAnswer(redirect);
    const CurlRun seeOther =
        runCurl(QStringList{"-w", "%{http_code} %{redirect_url}", "-o", "/dev/null"} + post);
    EXPECT_EQ(text(seeOther.output), "303 " + receiver.url(QStringLiteral("/done")).toStdString());
}

TEST_F(LoopbackReceiverTest, HangingUpAndWaitingReachCurlAndTheReceiverCarriesOn)
{
    LoopbackReceiver::Answer late(200);
    late.delayMs = 1500;
    receiver.setAnswers({LoopbackReceiver::Answer::hangUp(), late, LoopbackReceiver::Answer(200)});
    const QStringList post{"-o", "/dev/null", "-w", "%{http_code}", "-F", "name=x", receiver.url()};

    const CurlRun hungUp = runCurl(post);
    const CurlRun gaveUp = runCurl(QStringList{"--max-time", "0.5"} + post);
    // The late answer's time passes with its client long gone.
    QTest::qWait(late.delayMs);
    const CurlRun answered = runCurl(post);

    EXPECT_NE(hungUp.exitCode, 0);
    EXPECT_EQ(text(hungUp.output), "000");
    EXPECT_EQ(gaveUp.exitCode, 28) << "operation timed out";
    EXPECT_EQ(answered.exitCode, 0) << answered.errors.toStdString();
    EXPECT_EQ(text(answered.output), "200");
    EXPECT_EQ(receiver.requests().size(), 3);
}

TEST_F(LoopbackReceiverTest, BrokenClientsLeaveNoRecordAndDoNotStopTheReceiver)
{
    for (const QByteArray &garbage :
         {QByteArray("NONSENSE\r\n\r\n"), QByteArray("\x00\xff\r\n\r\n", 6),
          QByteArray("POST /upload HTTP/1.1\r\nContent-Length: banana\r\n\r\n"),
          QByteArray("POST /upload HTTP/1.1\r\nNo colon here\r\n\r\n"),
          QByteArray("POST /upload HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"),
          QByteArray("POST /upload HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n")}) {
        const std::optional<QByteArray> reply = exchange(receiver.port(), garbage);
        ASSERT_TRUE(reply.has_value()) << garbage.toHex().toStdString();
        EXPECT_TRUE(reply->startsWith("HTTP/1.1 400 Bad Request\r\n")) << text(*reply);
    }
    EXPECT_TRUE(exchange(receiver.port(), QByteArray(70 * 1024, 'x')).has_value());
    sendAndLeave(receiver.port(), "POST /upl");
    sendAndLeave(receiver.port(), "POST /upload HTTP/1.1\r\nContent-Length: 100000\r\n"
                                  "Content-Type: multipart/form-data; boundary=b\r\n\r\n"
                                  "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nsome");
    EXPECT_TRUE(receiver.requests().isEmpty());

    QProcess curl;
    startCurl(curl, {"-F", "name=x", receiver.url()});
    ASSERT_TRUE(receiver.waitForRequests(1, WaitMs));
    ASSERT_TRUE(waitForEnd(curl));
    EXPECT_EQ(curl.exitCode(), 0) << curl.readAllStandardError().toStdString();
    ASSERT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(text(receiver.requests().first().part("name")->bytes), "x");
}

TEST_F(LoopbackReceiverTest, RequestsReadTheSameWhicheverWayTheBytesAreSplit)
{
    const QByteArray body = "--xyz\r\nContent-Disposition: form-data; name=\"mp3\"; "
                            "filename=\"a.mp3\"\r\nContent-Type: audio/mpeg\r\n\r\n" +
                            awkwardBytes() +
                            "\r\n--xyz\r\nContent-Disposition: form-data; name=\"name\"\r\n"
                            "\r\nTitle\r\n--xyz--\r\n";
    QByteArray request = "POST /upload HTTP/1.1\r\nTransfer-Encoding: chunked\r\n"
                         "Content-Type: multipart/form-data; boundary=xyz\r\n\r\n";
    for (qsizetype at = 0; at < body.size(); at += 100) {
        const QByteArray chunk = body.mid(at, 100);
        request += QByteArray::number(chunk.size(), 16) + ";ext=1\r\n" + chunk + "\r\n";
    }
    request += "0\r\nTrailer: ignored\r\n\r\n";

    ASSERT_TRUE(exchange(receiver.port(), request, Delivery::AtOnce).has_value());
    ASSERT_TRUE(exchange(receiver.port(), request, Delivery::ByteByByte).has_value());

    ASSERT_EQ(receiver.requests().size(), 2);
    for (const LoopbackReceiver::Request &received : receiver.requests()) {
        EXPECT_EQ(received.bodySize, body.size());
        EXPECT_TRUE(received.multipartComplete);
        ASSERT_EQ(received.parts.size(), 2);
        EXPECT_EQ(text(received.parts[0].filename), "a.mp3");
        EXPECT_EQ(text(received.parts[0].contentType), "audio/mpeg");
        EXPECT_EQ(received.parts[0].bytes.toHex().toStdString(),
                  awkwardBytes().toHex().toStdString());
        EXPECT_EQ(text(received.parts[1].bytes), "Title");
    }
}

TEST_F(LoopbackReceiverTest, MultipartThatEndsTooSoonKeepsWhatCame)
{
    const QByteArray body = "preamble\r\n--b  \r\nContent-Disposition: form-data; name=\"a\"; "
                            "filename=\"C:\\Shows\\x.mp3\"\r\n\r\nfirst\r\n--b\r\n"
                            "Content-Disposition: form-data; name=\"b\"\r\n\r\nhalf\r\n--";
    const std::optional<QByteArray> reply =
        exchange(receiver.port(),
                 "POST /upload HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\nContent-Type: multipart/form-data; boundary=\"b\"\r\n\r\n" + body);

    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->startsWith("HTTP/1.1 200 OK\r\n")) << text(*reply);
    ASSERT_EQ(receiver.requests().size(), 1);
    const LoopbackReceiver::Request &request = receiver.requests().first();
    EXPECT_FALSE(request.multipartComplete);
    ASSERT_EQ(request.parts.size(), 2);
    EXPECT_EQ(text(request.parts[0].filename), "C:\\Shows\\x.mp3");
    EXPECT_EQ(text(request.parts[0].bytes), "first");
    EXPECT_EQ(text(request.parts[1].bytes), "half\r\n--");
}

TEST_F(LoopbackReceiverTest, CommandLineReceiverReportsEachRequestAsJson)
{
    const QString program = QCoreApplication::applicationDirPath() + "/tunebarn-test-receiver";
    ASSERT_TRUE(QFile::exists(program)) << "build the tunebarn-test-receiver target";
    const QByteArray recording = noise(5000);
    QProcess once;
    once.start(program, {"--status", "201", "--once", "--no-store"});
    const QByteArray listening = readLine(once);
    ASSERT_TRUE(listening.startsWith("LISTENING ")) << text(listening);
    const QString url = "http://127.0.0.1:" + listening.sliced(10) + "/upload";

    const CurlRun run = runCurl({"-o", "/dev/null", "-w", "%{http_code}", "-F",
                                 "mp3=@" + writeFile(QStringLiteral("s.mp3"), recording),
                                 "--form-string", "name=Café", url});
    const QByteArray line = readLine(once);
    ASSERT_TRUE(waitForEnd(once));

    EXPECT_EQ(text(run.output), "201");
    EXPECT_EQ(once.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(once.exitCode(), 0) << once.readAllStandardError().toStdString();
    const QJsonObject json = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(json["method"].toString().toStdString(), "POST");
    EXPECT_EQ(json["path"].toString().toStdString(), "/upload");
    EXPECT_EQ(json["status"].toInt(), 201);
    const QJsonArray parts = json["parts"].toArray();
    ASSERT_EQ(parts.size(), 2) << text(line);
    EXPECT_EQ(parts[0]["name"].toString().toStdString(), "mp3");
    EXPECT_EQ(parts[0]["filename"].toString().toStdString(), "s.mp3");
    EXPECT_EQ(parts[0]["size"].toInteger(), recording.size());
    EXPECT_EQ(parts[0]["sha256"].toString().toStdString(), text(sha256(recording)));
    EXPECT_FALSE(parts[0].toObject().contains("value"));
    EXPECT_EQ(parts[1]["value"].toString().toStdString(), "Café");

    QProcess running;
    running.start(program, {"--port", "0"});
    ASSERT_TRUE(readLine(running).startsWith("LISTENING "));
    running.terminate();
    ASSERT_TRUE(waitForEnd(running));
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running.exitCode(), 0) << running.readAllStandardError().toStdString();
}

} // namespace
