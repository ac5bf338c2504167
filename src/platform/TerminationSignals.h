#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT, and SIGHUP apart from them, into Qt signals on the event loop, so the
// program can close the orderly way or reload. On Windows: WM_CLOSE (taskkill without /F), the
// end of the session, and Ctrl+C, Ctrl+Break or closing the console ask for the close.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);
    // Windows' session end or its console closed, after terminationRequested: the process ends
    // as soon as the slots return, or within seconds, so nothing can wait for running handlers.
    void sessionEnding();
    void hangUp();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
