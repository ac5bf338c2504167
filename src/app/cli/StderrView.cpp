#include "app/cli/StderrView.h"

#include "core/AddressMask.h"
#include "platform/StandardError.h"

namespace {

using StandardError::Priority;

void printLine(Priority priority, const QString &label, const QString &text)
{
    StandardError::print(priority, label + QStringLiteral(": ") + text);
}

// The service's log is kept by others than the station: no access token goes there.
QString withSecretsMasked(const QString &text)
{
    QStringList words = text.split(u' ');
    for (QString &word : words) {
        if (word.contains(QStringLiteral("://")))
            word = maskSecrets(word);
    }
    return words.join(u' ');
}

} // namespace

void StderrView::setStatusText(const QString &text)
{
    printLine(Priority::Info, QStringLiteral("status"), text);
    if (text == QStringLiteral("Uploading...")) {
        m_progressTenth = 0;
        m_sinceProgress.start();
    }
}

void StderrView::setTitleText(const QString &text)
{
    printLine(Priority::Info, QStringLiteral("title"), text);
}

void StderrView::setCommandText(const QString &text)
{
    printLine(Priority::Info, QStringLiteral("command"), withSecretsMasked(text));
}

void StderrView::setLastFailure(const QString &what, const QString &reason)
{
    if (!what.isEmpty())
        printLine(Priority::Error, QStringLiteral("failed"), what + QStringLiteral(": ") + reason);
}

void StderrView::reportRetry(const QString &what, const QString &text, bool failed)
{
    printLine(failed ? Priority::Warning : Priority::Info, QStringLiteral("retry"),
              what + QStringLiteral(": ") + text);
}

void StderrView::reportWarning(const QString &what, const QString &text)
{
    printLine(Priority::Warning, QStringLiteral("warning"), what + QStringLiteral(": ") + text);
}

void StderrView::setProgress(const UploadProgress &progress)
{
    const int tenth = progress.percent / 10;
    if (tenth <= m_progressTenth ||
        (m_sinceProgress.isValid() && m_sinceProgress.elapsed() < ProgressIntervalMs))
        return;
    m_progressTenth = tenth;
    m_sinceProgress.start();
    printLine(Priority::Info, QStringLiteral("progress"), progress.text());
}

void StderrView::setConfigWarnings(const QStringList &warnings)
{
    for (const QString &warning : warnings)
        printLine(Priority::Warning, QStringLiteral("warning"), withSecretsMasked(warning));
}

void StderrView::setNextUpload(const QString &text)
{
    if (!text.isEmpty())
        printLine(Priority::Info, QStringLiteral("next"), text);
}

void StderrView::reportAuditFailure(const QString &text)
{
    printLine(Priority::Error, QStringLiteral("audit"), text);
}
