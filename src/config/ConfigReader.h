#pragma once

#include <QString>
#include <QStringList>

class AppContext;
class IniFile;
struct ShowTableRecord;
struct UploadOptions;

namespace ConfigReader {

constexpr int MaxValueLength = 254;
// A value as the program stores it: cut to 254 characters, then stripped of outer spaces.
QString storedValue(const IniFile &ini, const QString &section, const QString &key);
QString uploadUrl(const IniFile &ini);
// How many characters the file's UploadURL has beyond those the program keeps; 0 when none.
qsizetype uploadUrlCut(const IniFile &ini);
// Why an upload address cannot be handed to curl (it would be read as an option, or is no
// single address), or empty text when it can.
QString uploadUrlProblem(const QString &url);
ShowTableRecord showTable(const IniFile &ini);
// The keys read from [Show1] to [Show100] and from [General]; the program ignores any other.
QStringList showKeys();
QStringList generalKeys();
// The opt-in [General] safeguards; a value that is not a whole number in range gives the default.
UploadOptions uploadOptions(const IniFile &ini);
// UploadPriority: "normal" runs curl as any other program; anything else, "low" above all, lets
// playout and the live stream go first.
bool uploadPriorityIsLow(const QString &value);
bool isUploadPriority(const QString &value); // empty, "low" or "normal"

} // namespace ConfigReader

// Reads tunebarn.ini into CFG.UploadURL and the show table, replacing both as a whole. When the
// file cannot be read, logs why, keeps the previous configuration and returns false.
bool ReadConfig(AppContext &ctx, const QString &path);
