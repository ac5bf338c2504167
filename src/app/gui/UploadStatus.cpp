#include "app/gui/UploadStatus.h"

#include "core/AppContext.h"
#include "platform/MainView.h"

#include <QStringList>

namespace {

const QString UploadingText = QStringLiteral("Uploading...");
const QString FinishedPrefix = QStringLiteral("Finished Upload:");
const QString FailedPrefix = QStringLiteral("Upload Failed:");

} // namespace

void UploadStatus::setStatusText(const QString &text)
{
    m_statusText = text;
    if (text == UploadingText) {
        m_running = true;
        m_percent = 0;
        m_progressText.clear();
        return;
    }
    if (!text.startsWith(FinishedPrefix) && !text.startsWith(FailedPrefix))
        return;
    m_running = false;
    m_progressText.clear();
    m_lastResult = text;
}

void UploadStatus::setProgress(const UploadProgress &progress)
{
    m_running = true;
    m_percent = progress.percent;
    m_progressText = progress.text();
}

UploadStatus::State UploadStatus::state() const
{
    if (m_running)
        return State::Uploading;
    return m_failure.isEmpty() ? State::Idle : State::Failed;
}

bool UploadStatus::statusShowsFailure() const
{
    return m_statusText.startsWith(FailedPrefix);
}

QString UploadStatus::statusToolTip() const
{
    if (m_running)
        return m_progressText;
    return statusShowsFailure() ? m_failure : QString();
}

QString UploadStatus::summary() const
{
    QStringList lines{AppContext::applicationTitle()};
    lines.append(QStringLiteral("Next upload: ") +
                 (m_nextUpload.isEmpty() ? QStringLiteral("none") : m_nextUpload));
    if (!m_lastResult.isEmpty())
        lines.append(QStringLiteral("Last upload: ") + m_lastResult);
    if (!m_failure.isEmpty())
        lines.append(m_failure);
    if (!m_progressText.isEmpty())
        lines.append(m_progressText);
    return lines.join(u'\n');
}
