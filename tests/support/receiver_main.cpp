#include "support/LoopbackReceiver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QStringDecoder>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Qt may not be called from a signal handler; the handler only wakes the event loop.
bool quitOnStopSignals(QCoreApplication &app)
{
    if (::pipe2(signalPipe, O_CLOEXEC) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

std::optional<QString> utf8Text(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QJsonObject partJson(const LoopbackReceiver::Part &part)
{
    QJsonObject json{{QStringLiteral("name"), QString::fromUtf8(part.name)},
                     {QStringLiteral("size"), part.size},
                     {QStringLiteral("sha256"), QString::fromLatin1(part.sha256)}};
    if (part.hasFilename)
        json.insert(QStringLiteral("filename"), QString::fromUtf8(part.filename));
    if (part.bytesKept && part.size < LoopbackReceiver::SmallSize) {
        if (const std::optional<QString> text = utf8Text(part.bytes))
            json.insert(QStringLiteral("value"), *text);
    }
    return json;
}

QByteArray requestLine(const LoopbackReceiver::Request &request)
{
    QJsonArray parts;
    for (const LoopbackReceiver::Part &part : request.parts)
        parts.append(partJson(part));
    const QJsonObject json{
        {QStringLiteral("method"), QString::fromLatin1(request.method)},
        {QStringLiteral("path"), QString::fromUtf8(request.path)},
        {QStringLiteral("status"), request.answer.closeWithoutAnswer ? 0 : request.answer.status},
        {QStringLiteral("bodySize"), request.bodySize},
        {QStringLiteral("sha256"), QString::fromLatin1(request.bodySha256)},
        {QStringLiteral("parts"), parts}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void failUsage(const QCommandLineParser &parser, const QString &message)
{
    std::fprintf(stderr, "%s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    std::exit(2);
}

// "close" stands for hanging up without an answer.
std::optional<LoopbackReceiver::Answer> answerFor(const QString &token, int delayMs)
{
    bool isNumber = false;
    const int status = token.toInt(&isNumber);
    const bool hangsUp = token == QLatin1String("close");
    if (!hangsUp && (!isNumber || status < 100 || status > 599))
        return std::nullopt;
    LoopbackReceiver::Answer answer =
        hangsUp ? LoopbackReceiver::Answer::hangUp() : LoopbackReceiver::Answer(status);
    answer.delayMs = delayMs;
    return answer;
}

struct Options
{
    quint16 port = 0;
    QList<LoopbackReceiver::Answer> answers;
    bool noStore = false;
    bool once = false;
};

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Receives HTTP uploads on 127.0.0.1 and prints one JSON line per request."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 takes a free one."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption statusOption(
        QStringLiteral("status"),
        QStringLiteral("Status of each answer in turn, the last repeating; \"close\" hangs up."),
        QStringLiteral("CODE[,CODE...]"), QStringLiteral("200"));
    const QCommandLineOption delayOption(QStringLiteral("delay-ms"),
                                         QStringLiteral("Wait before each answer."),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption noStoreOption(
        QStringLiteral("no-store"),
        QStringLiteral("Keep only size and SHA-256 of parts of 4 KiB and more."));
    const QCommandLineOption onceOption(QStringLiteral("once"),
                                        QStringLiteral("Exit after the first request."));
    parser.addOptions({portOption, statusOption, delayOption, noStoreOption, onceOption});
    parser.process(app);

    Options options;
    options.noStore = parser.isSet(noStoreOption);
    options.once = parser.isSet(onceOption);
    bool isNumber = false;
    const uint port = parser.value(portOption).toUInt(&isNumber);
    if (!isNumber || port > 65535)
        failUsage(parser, QStringLiteral("--port wants a number from 0 to 65535."));
    options.port = static_cast<quint16>(port);
    const int delayMs = parser.value(delayOption).toInt(&isNumber);
    if (!isNumber || delayMs < 0)
        failUsage(parser, QStringLiteral("--delay-ms wants a number of milliseconds."));
    for (const QString &token : parser.value(statusOption).split(QLatin1Char(','))) {
        const std::optional<LoopbackReceiver::Answer> answer = answerFor(token.trimmed(), delayMs);
        if (!answer)
            failUsage(parser, QStringLiteral("--status wants codes from 100 to 599 or close."));
        options.answers.append(*answer);
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunebarn-test-receiver"));
    const Options options = parseOptions(app);

    LoopbackReceiver receiver;
    receiver.setAnswers(options.answers);
    if (options.noStore)
        receiver.setStorage(LoopbackReceiver::Storage::SmallPartsOnly);
    QObject::connect(
        &receiver, &LoopbackReceiver::requestReceived, &receiver,
        [&receiver](int index) { printLine(requestLine(receiver.requests().at(index))); });
    if (options.once)
        QObject::connect(&receiver, &LoopbackReceiver::requestDone, &app, &QCoreApplication::quit);
    if (!quitOnStopSignals(app)) {
        std::perror("tunebarn-test-receiver: signals");
        return 1;
    }
    if (!receiver.listen(options.port)) {
        std::fprintf(stderr, "tunebarn-test-receiver: cannot listen on 127.0.0.1:%u\n",
                     unsigned(options.port));
        return 1;
    }
    printLine("LISTENING " + QByteArray::number(receiver.port()));
    return app.exec();
}
