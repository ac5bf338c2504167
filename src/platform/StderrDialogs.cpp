#include "platform/StderrDialogs.h"

#include "platform/StandardError.h"

void StderrDialogs::showMessage(const QString &text, const QString &title, Icon)
{
    // Every box the program shows unasked tells of something that went wrong.
    StandardError::print(StandardError::Priority::Error, title + QStringLiteral(": ") + text);
}

QString StderrDialogs::askText(const QString &, const QString &)
{
    return {};
}

QString StderrDialogs::chooseFileToOpen(const QString &, const QString &)
{
    return {};
}
