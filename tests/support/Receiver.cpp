#include "support/Receiver.h"

#include <QFile>
#include <QHash>
#include <QTest>

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

struct Receiver::Impl
{
    explicit Impl(std::unique_ptr<httplib::Server> made) : owned(std::move(made)), server(*owned) {}
    std::unique_ptr<httplib::Server> owned;
    httplib::Server &server;
    bool secure = false;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    QHash<QByteArray, QList<Answer>> answers;
    Answer others;
    QList<Request> requests;
    std::function<void()> hook;
    std::string heldPath;
    std::condition_variable stopping;
    bool stopped = false;
};

QByteArray Receiver::Request::part(const QByteArray &name) const
{
    for (const Part &p : parts) {
        if (p.name == name)
            return p.content;
    }
    return {};
}

QByteArrayList Receiver::Request::names() const
{
    QByteArrayList names;
    for (const Part &p : parts)
        names.append(p.name);
    return names;
}

Receiver::Receiver() : Receiver(std::make_unique<httplib::Server>()) {}

#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
Receiver::Receiver(const QString &certificateFile, const QString &keyFile)
    : Receiver(std::make_unique<httplib::SSLServer>(QFile::encodeName(certificateFile).constData(),
                                                    QFile::encodeName(keyFile).constData()))
{
    d->secure = true;
}
#endif

Receiver::Receiver(std::unique_ptr<httplib::Server> server)
    : d(std::make_unique<Impl>(std::move(server)))
{
    d->server.Post("/timed", [this](const httplib::Request &request, httplib::Response &,
                                    const httplib::ContentReader &content) {
        using Clock = std::chrono::steady_clock;
        const auto half = request.get_header_value<uint64_t>("Content-Length") / 2;
        uint64_t received = 0;
        uint64_t atHalf = 0;
        Clock::time_point halfway;
        content([](const httplib::MultipartFormData &) { return true; },
                [&](const char *, size_t length) {
                    received += length;
                    if (atHalf == 0 && received >= half) {
                        atHalf = received;
                        halfway = Clock::now();
                    }
                    return true;
                });
        const std::chrono::duration<double> took = Clock::now() - halfway;
        const std::lock_guard lock(d->mutex);
        d->requests.append({QByteArray::fromStdString(request.target),
                            {},
                            {},
                            double(received - atHalf) / took.count()});
    });
    d->server.Post(".*", [this](const httplib::Request &request, httplib::Response &response) {
        Request record{QByteArray::fromStdString(request.target), {}, {}, 0};
        if (request.files.empty())
            record.body = QByteArray::fromStdString(request.body);
        for (const auto &[name, file] : request.files)
            record.parts.append({QByteArray::fromStdString(name),
                                 QByteArray::fromStdString(file.filename),
                                 QByteArray::fromStdString(file.content)});
        std::function<void()> hook;
        Answer answer;
        {
            const std::lock_guard lock(d->mutex);
            QList<Answer> &mine = d->answers[record.part("name")];
            answer = mine.isEmpty() ? d->others : mine.size() > 1 ? mine.takeFirst() : mine.constFirst();
            d->requests.append(record);
            hook = d->hook;
        }
        if (hook)
            hook();
        {
            // A held answer must not keep the test waiting once the receiver goes.
            std::unique_lock lock(d->mutex);
            d->stopping.wait_for(lock, std::chrono::milliseconds(answer.delayMs),
                                 [this] { return d->stopped; });
        }
        response.status = answer.status;
        if (!answer.location.isEmpty())
            response.set_header("Location", answer.location.toStdString());
        response.set_content(answer.body.toStdString(), "application/json");
    });
    d->server.set_pre_routing_handler([this](const httplib::Request &request, httplib::Response &) {
        std::unique_lock lock(d->mutex);
        if (d->heldPath.empty() || request.path != d->heldPath)
            return httplib::Server::HandlerResponse::Unhandled;
        d->requests.append({QByteArray::fromStdString(request.target), {}, {}});
        d->stopping.wait(lock, [this] { return d->stopped; });
        return httplib::Server::HandlerResponse::Handled;
    });
    d->port = d->server.bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // A stop before the server runs would be missed, and the thread would never end.
    while (!d->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Receiver::~Receiver()
{
    {
        const std::lock_guard lock(d->mutex);
        d->stopped = true;
    }
    d->stopping.notify_all();
    d->server.stop();
    d->thread.join();
}

QString Receiver::url() const
{
    return u"%1://127.0.0.1:%2/upload?token=%3"_s.arg(d->secure ? u"https"_s : u"http"_s)
        .arg(d->port)
        .arg(QString::fromLatin1(token()));
}

QString Receiver::address(const QString &path) const
{
    return u"%1://127.0.0.1:%2"_s.arg(d->secure ? u"https"_s : u"http"_s).arg(d->port) + path;
}

QString Receiver::timedUrl() const
{
    return u"http://127.0.0.1:%1/timed"_s.arg(d->port);
}

void Receiver::answer(const QByteArray &title, const QList<Answer> &answers)
{
    const std::lock_guard lock(d->mutex);
    d->answers.insert(title, answers);
}

void Receiver::answerOthers(const Answer &answer)
{
    const std::lock_guard lock(d->mutex);
    d->others = answer;
}

void Receiver::holdBodies(const QByteArray &path)
{
    const std::lock_guard lock(d->mutex);
    d->heldPath = path.toStdString();
}

void Receiver::whileHeld(std::function<void()> hook)
{
    const std::lock_guard lock(d->mutex);
    d->hook = std::move(hook);
}

QList<Receiver::Request> Receiver::requests() const
{
    const std::lock_guard lock(d->mutex);
    return d->requests;
}

bool Receiver::waitForRequests(int count) const
{
    return QTest::qWaitFor([&] { return requests().size() >= count; }, 20000);
}
