#pragma once

class QTextStream;
struct Platform;

// "--history": the upload tries of the last `days` days from the results file, oldest first,
// as a table or as one JSON document. Returns 0.
int runHistory(Platform &platform, int days, bool json, QTextStream &out);
