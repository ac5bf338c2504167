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
const std::array<std::pair<const char *, ShowColumn>, 7> ShowColumns = {{
    {"Filename", &ShowTableRecord::Filename},
    {"Title", &ShowTableRecord::Title},
    {"Description", &ShowTableRecord::Description},
    {"UploadDay", &ShowTableRecord::UploadDay},
    {"UploadTime", &ShowTableRecord::UploadTime},
    {"Picture", &ShowTableRecord::Picture},
    {"MaxUploadRate", &ShowTableRecord::MaxUploadRate},
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

namespace {

// The [General] whole numbers and switches (0 or 1). A missing or empty value keeps the default
// of UploadOptions; any other value outside the range is named, and the nearest bound (for text,
// the default) is used instead. A new [General] number is one row here.
struct NumberKey
{
    const char *key;
    int minimum;
    int maximum;
    int UploadOptions::*number = nullptr;
    bool UploadOptions::*flag = nullptr;
};

const NumberKey NumberKeys[] = {
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
};

const char *const TextKeys[] = {"UploadURL", "FailureCommand", "CACertificates", "MaxUploadRate",
                                "UploadPriority"};

int defaultOf(const NumberKey &row)
{
    const UploadOptions defaults;
    return row.number ? defaults.*row.number : int(defaults.*row.flag);
}

// The value to use for `text`, and the problem when it is not the one written.
int numberFrom(const NumberKey &row, const QString &text, QStringList &problems)
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
    for (const NumberKey &row : NumberKeys)
        keys.append(QLatin1String(row.key));
    return keys;
}

GeneralOptions uploadOptions(const IniFile &ini)
{
    GeneralOptions read;
    const QString general = QStringLiteral("General");
    for (const NumberKey &row : NumberKeys) {
        const int value =
            numberFrom(row, storedValue(ini, general, QLatin1String(row.key)), read.problems);
        if (row.number)
            read.options.*row.number = value;
        else
            read.options.*row.flag = value == 1;
    }
    read.options.failureCommand = storedValue(ini, general, QStringLiteral("FailureCommand"));
    read.options.caCertificates = storedValue(ini, general, QStringLiteral("CACertificates"));
    read.options.maxUploadRate = storedValue(ini, general, QStringLiteral("MaxUploadRate"));
    read.options.lowUploadPriority =
        uploadPriorityIsLow(storedValue(ini, general, QStringLiteral("UploadPriority")));
    return read;
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
    return true;
}
