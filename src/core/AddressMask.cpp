#include "core/AddressMask.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace {

constexpr qsizetype ShortestSecret = 4;

QStringList secretsOf(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isValid() || url.isEmpty())
        return {};
    QStringList secrets;
    for (const QUrl::ComponentFormattingOption form : {QUrl::FullyEncoded, QUrl::FullyDecoded}) {
        secrets.append(parsed.password(form));
        for (const auto &[key, value] : QUrlQuery(parsed).queryItems(form))
            secrets.append(value);
    }
    secrets.removeIf([](const QString &secret) { return secret.size() < ShortestSecret; });
    // The longest first, so that a secret holding another is masked whole.
    std::sort(secrets.begin(), secrets.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return secrets;
}

} // namespace

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

QString maskSecretsIn(const QString &text, const QString &url)
{
    QString result = text;
    for (const QString &secret : secretsOf(url))
        result.replace(secret, QStringLiteral("****"));
    return result;
}
