#pragma once

#include <QString>

struct UploadProgress;

// What the core's reports say about the uploads: whether one runs and how far it has got, how
// the last one ended and why it failed, and which goes next. The status frame and the tray
// icon show it.
class UploadStatus
{
public:
    enum class State
    {
        Idle,
        Uploading,
        Failed
    };

    void setStatusText(const QString &text);
    // "show 3 'Breakfast': reason", or empty once an upload was taken.
    void setFailure(const QString &failure) { m_failure = failure; }
    void setProgress(const UploadProgress &progress);
    // A failed try that another follows, told until that one reports its progress.
    void setRetry(const QString &text)
    {
        m_running = true;
        m_progressText = text;
    }
    void setNextUpload(const QString &text) { m_nextUpload = text; }

    State state() const;
    bool running() const { return m_running; }
    int percent() const { return m_percent; }
    // The status line reads "Upload Failed: ...".
    bool statusShowsFailure() const;
    // The share sent while an upload runs; the reason while the status line shows a failure.
    QString statusToolTip() const;
    // Every line of it, for the tray icon.
    QString summary() const;

private:
    QString m_statusText;
    QString m_lastResult;
    QString m_failure;
    QString m_progressText;
    QString m_nextUpload;
    int m_percent = 0;
    bool m_running = false;
};
