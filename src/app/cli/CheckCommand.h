#pragma once

class QTextStream;
struct Platform;

// "--check": the schedule as the program would run it, printed for people or as JSON.
// Returns 0 with no problems, 1 with problems, 2 when the configuration cannot be read.
int runCheck(Platform &platform, bool json, QTextStream &out, QTextStream &err);
