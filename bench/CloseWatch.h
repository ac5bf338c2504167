#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>
#include <optional>

// Notes, from the event loop, when a file of one name in one folder is closed after writing.
// curl closes its reply file as it finishes, so this tells when an upload's curl was done.
class CloseWatch : public QObject
{
    Q_OBJECT

public:
    CloseWatch(const QString &folder, const QString &fileName, QObject *parent = nullptr);
    ~CloseWatch() override;

    // Starts the clock; closes seen from now on count.
    void start();
    // Milliseconds from start() to the last close seen, if any.
    std::optional<double> lastCloseMs() const { return m_lastCloseMs; }

private:
    void readEvents();

    QString m_fileName;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QElapsedTimer m_clock;
    std::optional<double> m_lastCloseMs;
};
