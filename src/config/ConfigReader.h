#pragma once

#include "core/UploadOptions.h"

#include <QString>
#include <QStringList>

class AppContext;
class IniFile;
struct RecordingLimits;
struct ShowTableRecord;

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
struct GeneralOptions
{
    UploadOptions options;
    // One text for each value that is not a whole number in its range, naming what is used.
    QStringList problems;
};
// The opt-in [General] safeguards.
GeneralOptions uploadOptions(const IniFile &ini);
// The recording limits of section `section` ("General" or "ShowN"), `base` where it has none.
RecordingLimits recordingLimits(const IniFile &ini, const QString &section,
                                const RecordingLimits &base);
// "[Show3] MaxSilenceSeconds '2 minutes' is not a whole number from 1 to 86400; 120 is used",
// one for each recording limit in the file that the program does not take.
QStringList recordingLimitProblems(const IniFile &ini);
// UploadPriority: "normal" runs curl as any other program; anything else, "low" above all, lets
// playout and the live stream go first.
bool uploadPriorityIsLow(const QString &value);
bool isUploadPriority(const QString &value); // empty, "low" or "normal"

} // namespace ConfigReader

// Reads tunebarn.ini into CFG.UploadURL and the show table, replacing both as a whole. When the
// file cannot be read, logs why, keeps the previous configuration and returns false.
bool ReadConfig(AppContext &ctx, const QString &path);
