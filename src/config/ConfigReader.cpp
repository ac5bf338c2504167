#include "config/ConfigReader.h"

#include "core/AppContext.h"
#include "core/UploadOptions.h"
#include "platform/IniFile.h"

#include <array>
#include <optional>

namespace ConfigReader {

namespace {

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// Counted in characters, not UTF-16 units, so a cut never leaves half of a surrogate pair.
QString firstCharacters(const QString &text, qsizetype count)
{
    qsizetype end = 0;
    for (qsizetype taken = 0; taken < count && end < text.size(); ++taken) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

} // namespace

QString storedValue(const IniFile &ini, const QString &section, const QString &key)
{
    return trimSpaces(firstCharacters(ini.value(section, key), MaxValueLength));
}

QString uploadUrl(const IniFile &ini)
{
    return storedValue(ini, QStringLiteral("General"), QStringLiteral("UploadURL"));
}

qsizetype uploadUrlCut(const IniFile &ini)
{
    const QString raw =
        trimSpaces(ini.value(QStringLiteral("General"), QStringLiteral("UploadURL")));
    return std::max<qsizetype>(0, raw.toUcs4().size() - MaxValueLength);
}

QString uploadUrlProblem(const QString &url)
{
    if (url.startsWith(u'-'))
        return QStringLiteral("[General] UploadURL is refused: it starts with '-', which curl "
                              "would take for an option");
    for (const QChar c : url) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral(
                "[General] UploadURL is refused: it holds a blank or a control character");
    }
    return {};
}

namespace {

using ShowColumn = ShowTableRecord::Column ShowTableRecord::*;
const std::array<std::pair<const char *, ShowColumn>, 7> ShowColumns = {{
    {"Filename", &ShowTableRecord::Filename},
    {"Title", &ShowTableRecord::Title},
    {"Description", &ShowTableRecord::Description},
    {"UploadDay", &ShowTableRecord::UploadDay},
    {"UploadTime", &ShowTableRecord::UploadTime},
    {"Picture", &ShowTableRecord::Picture},
    {"MaxUploadRate", &ShowTableRecord::MaxUploadRate},
}};

// A recording limit: its key, its range and where RecordingLimits keeps it.
struct LimitKey
{
    const char *key;
    int minimum;
    int maximum;
    int RecordingLimits::*number;
    bool RecordingLimits::*flag;
    bool showOnly;
};
const std::array<LimitKey, 7> LimitKeys = {{
    {"ExpectedMinutes", 1, RecordingLimits::MaxExpectedMinutes, &RecordingLimits::expectedMinutes,
     nullptr, true},
    {"ShortRecordingPercent", 1, 100, &RecordingLimits::shortPercent, nullptr, false},
    {"SilenceThresholdDb", RecordingLimits::LowestThresholdDb, 0,
     &RecordingLimits::silenceThresholdDb, nullptr, false},
    {"MaxSilenceSeconds", 1, RecordingLimits::MaxSilenceLimitSeconds,
     &RecordingLimits::maxSilenceSeconds, nullptr, false},
    {"SkipBrokenRecordings", 0, 1, nullptr, &RecordingLimits::skipBroken, false},
    {"SkipShortRecordings", 0, 1, nullptr, &RecordingLimits::skipShort, false},
    {"SkipSilentRecordings", 0, 1, nullptr, &RecordingLimits::skipSilent, false},
}};

std::optional<int> limitValue(const QString &text, const LimitKey &limit)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < limit.minimum || value > limit.maximum)
        return std::nullopt;
    return value;
}

} // namespace

ShowTableRecord showTable(const IniFile &ini)
{
    ShowTableRecord table;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        const QString section = QStringLiteral("Show") + QString::number(show);
        for (const auto &[key, column] : ShowColumns)
            (table.*column)[show] = storedValue(ini, section, QString::fromLatin1(key));
    }
    return table;
}

QStringList showKeys()
{
    QStringList keys;
    for (const auto &[key, column] : ShowColumns)
        keys.append(QString::fromLatin1(key));
    for (const LimitKey &limit : LimitKeys)
        keys.append(QString::fromLatin1(limit.key));
    return keys;
}

QStringList generalKeys()
{
    return {QStringLiteral("UploadURL"),
            QStringLiteral("CatchUpMinutes"),
            QStringLiteral("RetryCount"),
            QStringLiteral("RetryDelaySeconds"),
            QStringLiteral("UploadTimeoutMinutes"),
            QStringLiteral("StopGraceSeconds"),
            QStringLiteral("FailureCommand"),
            QStringLiteral("InsecureTLS"),
            QStringLiteral("RecordingSettleSeconds"),
            QStringLiteral("RecordingWaitMinutes"),
            QStringLiteral("SkipStaleRecordings"),
            QStringLiteral("PreflightMinutes"),
            QStringLiteral("ShortRecordingPercent"),
            QStringLiteral("SilenceThresholdDb"),
            QStringLiteral("MaxSilenceSeconds"),
            QStringLiteral("SkipBrokenRecordings"),
            QStringLiteral("SkipShortRecordings"),
            QStringLiteral("SkipSilentRecordings"),
            QStringLiteral("MaxUploadRate"),
            QStringLiteral("UploadPriority")};
}

namespace {

int wholeNumber(const IniFile &ini, const QString &key, int fallback, int maximum)
{
    bool ok = false;
    const int value = storedValue(ini, QStringLiteral("General"), key).toInt(&ok);
    if (!ok || value < 0)
        return fallback;
    return std::min(value, maximum);
}

} // namespace

bool uploadPriorityIsLow(const QString &value)
{
    return value.compare(QStringLiteral("normal"), Qt::CaseInsensitive) != 0;
}

bool isUploadPriority(const QString &value)
{
    return value.isEmpty() || value.compare(QStringLiteral("low"), Qt::CaseInsensitive) == 0 ||
           !uploadPriorityIsLow(value);
}

UploadOptions uploadOptions(const IniFile &ini)
{
    UploadOptions options;
    options.catchUpMinutes =
        wholeNumber(ini, QStringLiteral("CatchUpMinutes"), 0, UploadOptions::MaxCatchUpMinutes);
    options.retryCount =
        wholeNumber(ini, QStringLiteral("RetryCount"), 0, UploadOptions::MaxRetryCount);
    options.retryDelaySeconds =
        wholeNumber(ini, QStringLiteral("RetryDelaySeconds"), options.retryDelaySeconds,
                    UploadOptions::MaxRetryDelaySeconds);
    options.uploadTimeoutMinutes = wholeNumber(ini, QStringLiteral("UploadTimeoutMinutes"), 0,
                                               UploadOptions::MaxTimeoutMinutes);
    options.stopGraceSeconds =
        wholeNumber(ini, QStringLiteral("StopGraceSeconds"), options.stopGraceSeconds,
                    UploadOptions::MaxStopGraceSeconds);
    options.insecureTls = wholeNumber(ini, QStringLiteral("InsecureTLS"), 0, 1) == 1;
    options.recordingSettleSeconds =
        wholeNumber(ini, QStringLiteral("RecordingSettleSeconds"), options.recordingSettleSeconds,
                    UploadOptions::MaxSettleSeconds);
    options.recordingWaitMinutes =
        wholeNumber(ini, QStringLiteral("RecordingWaitMinutes"), options.recordingWaitMinutes,
                    UploadOptions::MaxRecordingWaitMinutes);
    options.skipStaleRecordings =
        wholeNumber(ini, QStringLiteral("SkipStaleRecordings"), 0, 1) == 1;
    options.preflightMinutes =
        wholeNumber(ini, QStringLiteral("PreflightMinutes"), options.preflightMinutes,
                    UploadOptions::MaxPreflightMinutes);
    options.failureCommand =
        storedValue(ini, QStringLiteral("General"), QStringLiteral("FailureCommand"));
    options.maxUploadRate =
        storedValue(ini, QStringLiteral("General"), QStringLiteral("MaxUploadRate"));
    options.lowUploadPriority = uploadPriorityIsLow(
        storedValue(ini, QStringLiteral("General"), QStringLiteral("UploadPriority")));
    options.recording = recordingLimits(ini, QStringLiteral("General"), {});
    return options;
}

RecordingLimits recordingLimits(const IniFile &ini, const QString &section,
                                const RecordingLimits &base)
{
    RecordingLimits limits = base;
    const bool general = section == QStringLiteral("General");
    for (const LimitKey &limit : LimitKeys) {
        if (general && limit.showOnly)
            continue;
        const std::optional<int> value =
            limitValue(storedValue(ini, section, QString::fromLatin1(limit.key)), limit);
        if (value && limit.number)
            limits.*limit.number = *value;
        else if (value)
            limits.*limit.flag = *value == 1;
    }
    return limits;
}

QStringList recordingLimitProblems(const IniFile &ini)
{
    QStringList problems;
    const RecordingLimits defaults;
    QStringList sections{QStringLiteral("General")};
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show)
        sections.append(QStringLiteral("Show") + QString::number(show));
    for (const QString &section : sections) {
        for (const LimitKey &limit : LimitKeys) {
            const QString text = storedValue(ini, section, QString::fromLatin1(limit.key));
            if (text.isEmpty() || limitValue(text, limit) ||
                (limit.showOnly && section == sections.first()))
                continue;
            const int fallback = limit.number ? defaults.*limit.number : 0;
            problems.append(QStringLiteral("[%1] %2 '%3' is not a whole number from %4 to %5; %6")
                                .arg(section, QString::fromLatin1(limit.key), text)
                                .arg(limit.minimum)
                                .arg(limit.maximum)
                                .arg(limit.showOnly
                                         ? QStringLiteral("the show's last uploads are used")
                                     : section == sections.first()
                                         ? QStringLiteral("%1 is used").arg(fallback)
                                         : QStringLiteral("[General]'s value is used")));
        }
    }
    return problems;
}

} // namespace ConfigReader

bool ReadConfig(AppContext &ctx, const QString &path)
{
    FileError error;
    const std::optional<IniFile> ini = IniFile::load(path, &error);
    if (!ini) {
        ctx.AppendLog(QStringLiteral("ReadConfig| ERROR: ") + QString::number(error.number) + u' ' +
                      error.text + QStringLiteral(" '") + path + u'\'');
        return false;
    }
    // Built whole before it replaces the old table, so no tick ever sees a half-read table.
    ctx.CFG.UploadURL = ConfigReader::uploadUrl(*ini);
    const QString refused = ConfigReader::uploadUrlProblem(ctx.CFG.UploadURL);
    if (!refused.isEmpty()) {
        ctx.AppendLog(QStringLiteral("ReadConfig| ERROR: ") + refused);
        ctx.CFG.UploadURL.clear();
    }
    ctx.ShowTable = ConfigReader::showTable(*ini);
    ctx.Options = ConfigReader::uploadOptions(*ini);
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show)
        ctx.RecordingRules[show] = ConfigReader::recordingLimits(
            *ini, QStringLiteral("Show") + QString::number(show), ctx.Options.recording);
    return true;
}
