#include "monitoring/PingAddress.h"

#include "core/ShowTableRecord.h"
#include "core/UploadOptions.h"

#include <QUrl>

namespace PingAddress {

QString masked(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty() || parsed.host().isEmpty())
        return QStringLiteral("****");
    return parsed.scheme() + QStringLiteral("://") + parsed.host() + QStringLiteral("/****");
}

QString forShow(const UploadOptions &options, const ShowTableRecord &table, int show)
{
    const QString own = ShowTableRecord::isShowNumber(show) ? table.PingURL[show] : QString();
    return own.isEmpty() ? options.pingUrl : own;
}

QString problem(const QString &where, const QString &url)
{
    if (url.isEmpty() || url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive))
        return {};
    return where + QStringLiteral(" '%1' is not https: anyone on the way can read the address "
                                  "and ping in the station's name")
                       .arg(masked(url));
}

} // namespace PingAddress
