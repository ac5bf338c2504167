#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

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
        QByteArray part(const QByteArray &name) const;
        QByteArrayList names() const;
    };
    struct Answer
    {
        int status = 200;
        QByteArray body = "{\"ok\":true}";
        int delayMs = 0;
    };

    Receiver();
    ~Receiver();

    QString url() const; // with an access token in the query
    QByteArray token() const { return "s3cr3t-token"; }
    // One answer per request, in order; the last is given again to all later requests.
    void setAnswers(const QList<Answer> &answers);
    // Runs on the server's thread while a request is held, before its answer goes out.
    void whileHeld(std::function<void()> hook);
    QList<Request> requests() const;
    // Keeps the calling thread's events running until `count` requests have come, or 20 s.
    bool waitForRequests(int count) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
