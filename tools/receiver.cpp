// Receives HTTP uploads on 127.0.0.1 for the demo and the benchmarks, and prints one JSON line
// per request: its path, the status it was given and every part with its size, SHA-256 and,
// for a small text part, its value. Big parts stream through, so memory stays flat.
//   tunebarn-receiver [--status CODE] [--delay-ms MS] [--once]

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <list>
#include <thread>

namespace {

constexpr qint64 ValueLimit = 4096;

struct Part
{
    QString name;
    QString filename;
    qint64 size = 0;
    QByteArray head;
    QCryptographicHash hash{QCryptographicHash::Sha256};

    void add(const char *data, size_t length)
    {
        size += qint64(length);
        if (head.size() < ValueLimit)
            head.append(data,
                        qsizetype(std::min<size_t>(length, size_t(ValueLimit - head.size()))));
        hash.addData(QByteArrayView(data, qsizetype(length)));
    }
    QJsonObject json() const
    {
        QJsonObject part{{QStringLiteral("name"), name},
                         {QStringLiteral("size"), size},
                         {QStringLiteral("sha256"), QString::fromLatin1(hash.result().toHex())}};
        if (!filename.isEmpty())
            part.insert(QStringLiteral("filename"), filename);
        else if (size < ValueLimit)
            part.insert(QStringLiteral("value"), QString::fromUtf8(head));
        return part;
    }
};

int option(const QStringList &arguments, const QString &name, int fallback)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const int status = option(arguments, QStringLiteral("--status"), 200);
    const int delayMs = option(arguments, QStringLiteral("--delay-ms"), 0);
    const bool once = arguments.contains(QStringLiteral("--once"));

    httplib::Server server;
    server.Post(".*", [&](const httplib::Request &request, httplib::Response &response,
                          const httplib::ContentReader &reader) {
        std::list<Part> parts; // a hash cannot move
        if (request.is_multipart_form_data()) {
            reader(
                [&](const httplib::MultipartFormData &file) {
                    parts.emplace_back();
                    parts.back().name = QString::fromStdString(file.name);
                    parts.back().filename = QString::fromStdString(file.filename);
                    return true;
                },
                [&](const char *data, size_t length) {
                    parts.back().add(data, length);
                    return true;
                });
        } else {
            parts.emplace_back();
            reader([&](const char *data, size_t length) {
                parts.back().add(data, length);
                return true;
            });
        }
        QJsonArray partList;
        for (const Part &part : parts)
            partList.append(part.json());
        const QJsonObject line{{QStringLiteral("path"), QString::fromStdString(request.target)},
                               {QStringLiteral("status"), status},
                               {QStringLiteral("parts"), partList}};
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        response.status = status;
        response.set_content(status < 400 ? "{\"ok\":true}" : "{\"ok\":false}", "application/json");
        if (once)
            std::thread([&server] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                server.stop();
            }).detach();
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "tunebarn-receiver: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("LISTENING %d\n", port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
