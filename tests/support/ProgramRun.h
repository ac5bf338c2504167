#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// The built program run as a process in a temporary home, its wall clock (and its timers)
// set by libfaketime to a fixed start and a speed, so minutes pass in a fraction of a second.
// Nothing of the real user's is read or written.
class ProgramRun
{
public:
    ProgramRun();
    ~ProgramRun();

    static inline const QDateTime RecordedAt{QDate(2026, 12, 5), QTime(12, 0)};

    QString path(const QString &sub) const { return m_home.filePath(sub); }
    QString auditFolder() const { return path(QStringLiteral("local/TunebarnUploader/")); }
    void write(const QString &sub, const QByteArray &bytes) const;
    void writeConfig(const QByteArray &ini) const
    {
        write(QStringLiteral("local/TunebarnUploader/tunebarn.ini"), ini);
    }
    // A recording, a picture and a show section for it: "[ShowN]" due at `day` and `time`.
    QByteArray show(int number, const QString &day, const QString &time,
                    const QString &title = QStringLiteral("T")) const;

    // Every later start runs from `start`, `speed` times as fast as real time.
    void setClock(const QDateTime &start, int speed);
    int speed() const { return m_speed; }
    QProcessEnvironment environment() const;
    // Starts tunebarn-uploader with `arguments` (none: the window, offscreen).
    QProcess &start(const QStringList &arguments = {}, const QProcessEnvironment &environment = {});
    // Runs one to its end and returns its exit status; output goes to `output` when given.
    int run(const QStringList &arguments, QByteArray *output = nullptr,
            QByteArray *errors = nullptr);
    // Sends `signal` and returns the exit status, -1 when it did not end within 15 seconds.
    static int stop(QProcess &process, int signal);

    // Every audit file's texts without time stamps, oldest file first; and the whole lines.
    QStringList auditTexts() const;
    QStringList auditLines() const;
    // Keeps events running until `condition` holds, or 30 seconds have passed.
    static bool waitFor(const std::function<bool()> &condition);
    bool waitForAudit(const QString &text) const;

private:
    void printWhatHappened() const;

    QTemporaryDir m_home;
    QDateTime m_start;
    int m_speed = 1;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
