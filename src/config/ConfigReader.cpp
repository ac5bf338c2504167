#include "config/ConfigReader.h"

#include "core/AppContext.h"
#include "core/UploadOptions.h"
#include "platform/IniFile.h"

#include <algorithm>
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
const std::array<std::pair<const char *, ShowColumn>, 8> ShowColumns = {{
    {"Filename", &ShowTableRecord::Filename},
    {"Title", &ShowTableRecord::Title},
    {"Description", &ShowTableRecord::Description},
    {"UploadDay", &ShowTableRecord::UploadDay},
    {"UploadTime", &ShowTableRecord::UploadTime},
    {"Picture", &ShowTableRecord::Picture},
    {"MaxUploadRate", &ShowTableRecord::MaxUploadRate},
    {"PingURL", &ShowTableRecord::PingURL},
}};

// A whole number or a switch (0 or 1): its key, its range and where `Options` keeps it.
template <typename Options> struct NumberKey
{
    const char *key;
    int minimum;
    int maximum;
    int Options::*number = nullptr;
    bool Options::*flag = nullptr;
    bool showOnly = false; // read from a show's own section alone
};

template <typename Options> int defaultOf(const NumberKey<Options> &row)
{
    const Options defaults;
    return row.number ? defaults.*row.number : int(defaults.*row.flag);
}

template <typename Options> void store(Options &options, const NumberKey<Options> &row, int value)
{
    if (row.number)
        options.*row.number = value;
    else
        options.*row.flag = value == 1;
}

// The recording limits: a value outside its range is not taken at all.
using LimitKey = NumberKey<RecordingLimits>;
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

namespace {

// The [General] whole numbers and switches (0 or 1). A missing or empty value keeps the default
// of UploadOptions; any other value outside the range is named, and the nearest bound (for text,
// the default) is used instead. A new [General] number is one row here.
using GeneralKey = NumberKey<UploadOptions>;
const GeneralKey NumberKeys[] = {
    {"CatchUpMinutes", 0, UploadOptions::MaxCatchUpMinutes, &UploadOptions::catchUpMinutes},
    {"RetryCount", 0, UploadOptions::MaxRetryCount, &UploadOptions::retryCount},
    {"RetryDelaySeconds", UploadOptions::MinRetryDelaySeconds, UploadOptions::MaxRetryDelaySeconds,
     &UploadOptions::retryDelaySeconds},
    {"UploadTimeoutMinutes", 0, UploadOptions::MaxTimeoutMinutes,
     &UploadOptions::uploadTimeoutMinutes},
    {"StopGraceSeconds", 0, UploadOptions::MaxStopGraceSeconds, &UploadOptions::stopGraceSeconds},
    {"InsecureTLS", 0, 1, nullptr, &UploadOptions::insecureTls},
    {"RecordingSettleSeconds", 0, UploadOptions::MaxSettleSeconds,
     &UploadOptions::recordingSettleSeconds},
    {"RecordingWaitMinutes", 0, UploadOptions::MaxRecordingWaitMinutes,
     &UploadOptions::recordingWaitMinutes},
    {"SkipStaleRecordings", 0, 1, nullptr, &UploadOptions::skipStaleRecordings},
    {"PreflightMinutes", 0, UploadOptions::MaxPreflightMinutes, &UploadOptions::preflightMinutes},
    {"AlivePingMinutes", 1, UploadOptions::MaxAlivePingMinutes, &UploadOptions::alivePingMinutes},
};

const char *const TextKeys[] = {"UploadURL",     "FailureCommand", "CACertificates",
                                "MaxUploadRate", "UploadPriority", "PingURL",
                                "AlivePingURL",  "MetricsFile"};

// The value to use for `text`, and the problem when it is not the one written.
int numberFrom(const GeneralKey &row, const QString &text, QStringList &problems)
{
    if (text.isEmpty())
        return defaultOf(row);
    bool whole = false;
    const qlonglong written = text.toLongLong(&whole);
    const int used =
        !whole ? defaultOf(row) : int(std::clamp<qlonglong>(written, row.minimum, row.maximum));
    if (!whole || used != written)
        problems.append(QStringLiteral("[General] %1=%2 is not a whole number from %3 to %4: %5 "
                                       "is used instead")
                            .arg(QLatin1String(row.key), text)
                            .arg(row.minimum)
                            .arg(row.maximum)
                            .arg(used));
    return used;
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

QStringList generalKeys()
{
    QStringList keys;
    for (const char *key : TextKeys)
        keys.append(QLatin1String(key));
    for (const GeneralKey &row : NumberKeys)
        keys.append(QLatin1String(row.key));
    for (const LimitKey &limit : LimitKeys) {
        if (!limit.showOnly)
            keys.append(QLatin1String(limit.key));
    }
    return keys;
}

GeneralOptions uploadOptions(const IniFile &ini)
{
    GeneralOptions read;
    const QString general = QStringLiteral("General");
    for (const GeneralKey &row : NumberKeys)
        store(read.options, row,
              numberFrom(row, storedValue(ini, general, QLatin1String(row.key)), read.problems));
    read.options.failureCommand = storedValue(ini, general, QStringLiteral("FailureCommand"));
    read.options.caCertificates = storedValue(ini, general, QStringLiteral("CACertificates"));
    read.options.maxUploadRate = storedValue(ini, general, QStringLiteral("MaxUploadRate"));
    read.options.lowUploadPriority =
        uploadPriorityIsLow(storedValue(ini, general, QStringLiteral("UploadPriority")));
    read.options.recording = recordingLimits(ini, general, {});
    read.options.pingUrl = storedValue(ini, general, QStringLiteral("PingURL"));
    read.options.alivePingUrl = storedValue(ini, general, QStringLiteral("AlivePingURL"));
    read.options.metricsFile = storedValue(ini, general, QStringLiteral("MetricsFile"));
    return read;
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
        if (value)
            store(limits, limit, *value);
    }
    return limits;
}

QStringList recordingLimitProblems(const IniFile &ini)
{
    QStringList problems;
    QStringList sections{QStringLiteral("General")};
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show)
        sections.append(QStringLiteral("Show") + QString::number(show));
    for (const QString &section : sections) {
        for (const LimitKey &limit : LimitKeys) {
            const QString text = storedValue(ini, section, QString::fromLatin1(limit.key));
            if (text.isEmpty() || limitValue(text, limit) ||
                (limit.showOnly && section == sections.first()))
                continue;
            problems.append(QStringLiteral("[%1] %2 '%3' is not a whole number from %4 to %5; %6")
                                .arg(section, QString::fromLatin1(limit.key), text)
                                .arg(limit.minimum)
                                .arg(limit.maximum)
                                .arg(limit.showOnly
                                         ? QStringLiteral("the show's last uploads are used")
                                     : section == sections.first()
                                         ? QStringLiteral("%1 is used").arg(defaultOf(limit))
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
    ctx.Options = ConfigReader::uploadOptions(*ini).options;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show)
        ctx.RecordingRules[show] = ConfigReader::recordingLimits(
            *ini, QStringLiteral("Show") + QString::number(show), ctx.Options.recording);
    return true;
}
