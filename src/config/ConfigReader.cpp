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
            QStringLiteral("MaxUploadRate"),
            QStringLiteral("UploadPriority"),
            QStringLiteral("PingURL"),
            QStringLiteral("AlivePingURL"),
            QStringLiteral("AlivePingMinutes"),
            QStringLiteral("MetricsFile")};
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
    const QString general = QStringLiteral("General");
    options.pingUrl = storedValue(ini, general, QStringLiteral("PingURL"));
    options.alivePingUrl = storedValue(ini, general, QStringLiteral("AlivePingURL"));
    // No pause between pings is no pause at all: the default holds.
    if (const int minutes = wholeNumber(ini, QStringLiteral("AlivePingMinutes"), 0,
                                        UploadOptions::MaxAlivePingMinutes))
        options.alivePingMinutes = minutes;
    options.metricsFile = storedValue(ini, general, QStringLiteral("MetricsFile"));
    return options;
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
    return true;
}
