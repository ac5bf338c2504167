#pragma once

class AppContext;

// The schedule timer's tick: on the first tick of each new minute, uploads the lowest-numbered
// show due now, flushes the audit trail and, at 00:04, purges old audit files.
void Timer1_Timer(AppContext &ctx);
