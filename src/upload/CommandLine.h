#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A program with its exact arguments and what it reads on its standard input, and the line
// that shows it to the operator and the audit as one would type it.
struct CommandLine
{
    QString program;
    QStringList arguments;
    QByteArray input;
    QString display;
    qint64 fileBytes = 0; // of the files it reads to send what it sends
    // Runs below the priority of other programs, for the processor and the disk alike.
    bool lowPriority = false;
};
