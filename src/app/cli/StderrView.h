#pragma once

#include "platform/MainView.h"

#include <QElapsedTimer>

// What the main window would show, as one line each on standard error, for the service's log.
// Upload addresses have their access tokens masked; failures and warnings carry their priority.
class StderrView : public MainView
{
public:
    // A progress line comes at most this often, and only for a further tenth of the upload.
    static constexpr qint64 ProgressIntervalMs = 30 * 1000;

    void setStatusText(const QString &text) override;
    void setTitleText(const QString &text) override;
    void setCommandText(const QString &text) override;
    void setCaption(const QString &) override {}
    bool uploadsDisabled() const override { return false; }
    void setLastFailure(const QString &what, const QString &reason) override;
    void reportRetry(const QString &what, const QString &text, bool failed) override;
    void reportWarning(const QString &what, const QString &text) override;
    void setProgress(const UploadProgress &progress) override;
    void setConfigWarnings(const QStringList &warnings) override;
    void setNextUpload(const QString &text) override;
    void reportAuditFailure(const QString &text) override;

private:
    int m_progressTenth = 0;
    QElapsedTimer m_sinceProgress;
};
