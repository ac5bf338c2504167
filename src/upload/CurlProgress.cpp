#include "upload/CurlProgress.h"

#include <QList>

namespace {

constexpr int MeterColumns = 12;
constexpr int SentShare = 4;
constexpr int Sent = 5;
constexpr int UploadSpeed = 7;

} // namespace

std::optional<UploadProgress> parseCurlProgress(const QByteArray &errorOutput)
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
        return UploadProgress{percent, QString::fromLatin1(columns[Sent]),
                              QString::fromLatin1(columns[UploadSpeed])};
    }
    return std::nullopt;
}
