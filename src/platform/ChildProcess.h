#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

struct LaunchFailure
{
    int number = 0; // errno on Linux and macOS, the system error code on Windows
    QString text;
};

// A program started with an exact argument list (no shell, no console window), watched from
// the event loop. Its standard output is kept whole; of its error output only the tail.
class ChildProcess : public QObject
{
    Q_OBJECT

public:
    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // `input`, when given, is what the program reads on its standard input; otherwise it reads
    // nothing. The program ends with this one.
    std::optional<LaunchFailure> start(const QString &program, const QStringList &arguments,
                                       const QByteArray &input = {});
    // A program of low priority yields the processor and the disk to every other; set before
    // start(). This process keeps its own.
    void setLowPriority(bool low) { m_lowPriority = low; }
    bool isRunning() const;
    // Lets window events run for up to `milliseconds`, returning as soon as the program ends.
    void waitProcessingEvents(int milliseconds);
    // Exit status as a signed number; a process ended by a signal gives 128 + the signal.
    int exitValue() const;
    QByteArray standardOutput() const { return m_output; }
    QByteArray errorOutputTail() const { return m_errorTail; }
    // Both note first how much the program has read, which its end makes unknowable.
    void requestStop();
    void forceStop();
    // The bytes the program had read when last looked at: after each pause of the wait and just
    // before a stop. Nothing where the system keeps no count.
    std::optional<qint64> bytesRead() const { return m_bytesRead; }

signals:
    // The moment the program's end is seen, even while another wait holds the event loop.
    void ended();

private:
    void readOutput();
    void readErrorOutput();
    void noteBytesRead();

    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errorTail;
    std::optional<qint64> m_bytesRead;
    bool m_lowPriority = false;
};
