#include "platform/StderrDialogs.h"

#include <cstdio>

void StderrDialogs::showMessage(const QString &text, const QString &title, Icon)
{
    QString line = title + QStringLiteral(": ") + text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString StderrDialogs::askText(const QString &, const QString &)
{
    return {};
}

QString StderrDialogs::chooseFileToOpen(const QString &, const QString &)
{
    return {};
}
