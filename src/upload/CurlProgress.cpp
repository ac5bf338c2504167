#include "upload/CurlProgress.h"

#include <QList>

namespace {

constexpr int MeterColumns = 12;
constexpr int Total = 1;
constexpr int Received = 3;
constexpr int SentShare = 4;
constexpr int Sent = 5;
constexpr int UploadSpeed = 7;
constexpr int CurrentSpeed = 11;
// curl draws the meter once a second; what went out since then is counted twice over.
constexpr double SecondsUnseen = 2.0;
// What curl may still read between the last look at its count and its stop: many times its
// upload buffer.
constexpr qint64 ReadUnseenBytes = 1024 * 1024;

// The columns of the meter's last line.
std::optional<QList<QByteArray>> lastMeterLine(const QByteArray &errorOutput)
{
    const QList<QByteArray> lines = errorOutput.split('\r');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QList<QByteArray> columns = line->simplified().split(' ');
        if (columns.size() != MeterColumns)
            continue;
        bool isNumber = false;
        const int percent = columns[SentShare].toInt(&isNumber);
        if (!isNumber || percent < 0 || percent > 100)
            continue;
        return columns;
    }
    return std::nullopt;
}

// A size as curl writes it ("1234", "512k", "3.2M"), in bytes; negative when it is not one.
double bytes(const QByteArray &size)
{
    static const QByteArray units = "kMGTP";
    double factor = 1;
    QByteArray number = size;
    const qsizetype unit = size.isEmpty() ? -1 : units.indexOf(size.back());
    if (unit >= 0) {
        number.chop(1);
        for (qsizetype power = 0; power <= unit; ++power)
            factor *= 1024;
    }
    bool isNumber = false;
    const double value = number.toDouble(&isNumber);
    return isNumber ? value * factor : -1;
}

} // namespace

std::optional<UploadProgress> parseCurlProgress(const QByteArray &errorOutput)
{
    const std::optional<QList<QByteArray>> columns = lastMeterLine(errorOutput);
    if (!columns)
        return std::nullopt;
    return UploadProgress{columns->at(SentShare).toInt(), QString::fromLatin1(columns->at(Sent)),
                          QString::fromLatin1(columns->at(UploadSpeed))};
}

std::optional<qint64> bytesSentByMeter(const QByteArray &errorOutput)
{
    const std::optional<QList<QByteArray>> columns = lastMeterLine(errorOutput);
    const double sent = columns ? bytes(columns->at(Sent)) : -1;
    return sent < 0 ? std::nullopt : std::optional<qint64>(qint64(sent));
}

bool wholeBodyMayBeSent(const QByteArray &errorOutput, std::optional<qint64> bytesRead,
                        qint64 fileBytes)
{
    if (bytesRead)
        return *bytesRead + ReadUnseenBytes >= fileBytes;
    const std::optional<QList<QByteArray>> columns = lastMeterLine(errorOutput);
    if (!columns || columns->at(SentShare).toInt() == 100)
        return true;
    const double total = bytes(columns->at(Total));
    const double received = bytes(columns->at(Received));
    const double sent = bytes(columns->at(Sent));
    const double speed = bytes(columns->at(CurrentSpeed));
    if (total < 0 || received < 0 || sent < 0 || speed < 0)
        return true;
    return total - received - sent <= speed * SecondsUnseen;
}
