#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class AppContext;
class Environment;

// The per-user data folder: "LocalAppData" when set, else the platform's data folder.
QString localAppFolder(const Environment &environment);

// What start-up leaves to the schedule once the program runs: the minutes missed while the
// program was not running, and the minute it started in.
struct StartMinutes
{
    QList<QDateTime> missed;
    QDateTime start;
};

// Start-up: folders, curl check, configuration, purge, and the opening block of the audit trail.
StartMinutes Form_Load(AppContext &ctx);
// Shut-down: the closing lines of the run's audit block, written out.
void Form_Unload(AppContext &ctx);
