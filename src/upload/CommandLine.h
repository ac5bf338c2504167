#pragma once

#include <QString>
#include <QStringList>

// A program with its exact arguments, and the line that shows it to the operator and the audit.
struct CommandLine
{
    QString program;
    QStringList arguments;
    QString display;
};
