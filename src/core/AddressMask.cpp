#include "core/AddressMask.h"

#include <QUrl>
#include <QUrlQuery>

QString maskSecrets(const QString &url)
{
    QUrl parsed(url);
    if (!parsed.isValid() || url.isEmpty())
        return url;
    if (!parsed.password().isEmpty())
        parsed.setPassword(QStringLiteral("****"));
    if (parsed.hasQuery()) {
        QUrlQuery query(parsed);
        QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyEncoded);
        for (auto &[key, value] : items) {
            if (!value.isEmpty())
                value = QStringLiteral("****");
        }
        query.setQueryItems(items);
        parsed.setQuery(query);
    }
    return parsed.toString();
}
