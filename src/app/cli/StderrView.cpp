#include "app/cli/StderrView.h"

#include <cstdio>

namespace {

void printLine(const char *label, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", label, text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

void StderrView::setStatusText(const QString &text)
{
    printLine("status", text);
}

void StderrView::setTitleText(const QString &text)
{
    printLine("title", text);
}

void StderrView::setCommandText(const QString &text)
{
    printLine("command", text);
}
