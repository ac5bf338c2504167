#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT, and SIGHUP apart from them, into Qt signals on the event loop, so the
// program can close the orderly way or reload. Does nothing on Windows, which has no such signals.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);
    void hangUp();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
