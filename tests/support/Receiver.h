#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace httplib {
class Server;
}

// An HTTP server on 127.0.0.1, on a thread of its own, that records what curl posts to it, part
// by part, and answers as the test tells it.
class Receiver
{
public:
    struct Part
    {
        QByteArray name;
        QByteArray filename; // empty for a plain field
        QByteArray content;
    };
    struct Request
    {
        QByteArray target; // path and query
        QList<Part> parts; // sorted by name
        QByteArray body;   // what was posted when it is no form
        // Bytes a second over the second half of a body posted to timedUrl(), whose parts are
        // not kept; curl's wait for "100 Continue" and its catching up after it lie before.
        double secondHalfRate = 0;
        QByteArray part(const QByteArray &name) const;
        QByteArrayList names() const;
    };
    struct Answer
    {
        int status = 200;
        QByteArray body = "{\"ok\":true}";
        int delayMs = 0;
        QByteArray location{}; // sent as the Location header when given
    };

    Receiver();
    // Over TLS, with the server's certificate chain and key (PEM files); Linux only.
    Receiver(const QString &certificateFile, const QString &keyFile);
    ~Receiver();

    QString url() const; // with an access token in the query; https when over TLS
    QString address(const QString &path) const; // "http://127.0.0.1:PORT" + path
    QString timedUrl() const;
    QByteArray token() const { return "s3cr3t-token"; }
    // The answers to the uploads titled `title` (their "name" part), one per upload of that
    // title in turn; the last is given again to later ones. Answering by what arrived rather
    // than by arrival order keeps a test's outcome independent of which curl starts first.
    void answer(const QByteArray &title, const QList<Answer> &answers);
    // The answer to every upload whose title has none of its own.
    void answerOthers(const Answer &answer);
    // Bodies posted to `path` are never read, as over a link that stalls; such a request is
    // recorded without its parts.
    void holdBodies(const QByteArray &path);
    // Runs on the server's thread while a request is held, before its answer goes out.
    void whileHeld(std::function<void()> hook);
    QList<Request> requests() const;
    // Keeps the calling thread's events running until `count` requests have come, or 20 s.
    bool waitForRequests(int count) const;

private:
    explicit Receiver(std::unique_ptr<httplib::Server> server);

    struct Impl;
    std::unique_ptr<Impl> d;
};
