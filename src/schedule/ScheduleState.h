#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class AppContext;

// The schedule's memory kept on disk, in the program's folder, so that a restart of any kind
// never uploads a show twice for the same date and minute, and can catch up what it missed.
QString scheduleStateFile(const AppContext &ctx);
// Replaces the file in one step. A failure is logged under `routine` once, until its reason
// changes or it is mended, which is logged too.
void saveScheduleState(AppContext &ctx, const QString &routine);
// At start-up: takes over the minutes the last run handled and the uploads its stop cut before
// the service could have them, names its uploads that never finished or that the service may
// have, and returns the minutes it missed while nothing ran (at most CatchUpMinutes back,
// oldest first), marked handled and left to be caught up. The start minute is left to the
// schedule. Saving is left to the caller, so that the wait for the disk need not hold up the
// start block.
QList<QDateTime> restoreScheduleState(AppContext &ctx, const QDateTime &startMinute);
