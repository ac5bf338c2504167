#pragma once

#include <QDateTime>
#include <QList>

class AppContext;

// The schedule timer's tick: on the first tick of each new minute, uploads the lowest-numbered
// show due now, flushes the audit trail and, at 00:04, purges old audit files.
void Timer1_Timer(AppContext &ctx);
// Right after start-up, oldest first: the uploads the last run's stop cut before the service
// could have them, what was due in the minutes missed while the program was not running, and
// what is due in the minute it started in.
void catchUpAfterStart(AppContext &ctx, const QList<QDateTime> &missed,
                       const QDateTime &startMinute);
