#include "upload/FailureWords.h"

#include "core/AddressMask.h"
#include "core/CountedNoun.h"
#include "platform/ControlText.h"
#include "platform/LocaleFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace FailureWords {

namespace {

constexpr int MessageCharacters = 160;

// The message of a JSON error reply, wherever the usual services put it.
QString jsonMessage(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isArray())
        return jsonMessage(value.toArray().first());
    if (!value.isObject())
        return {};
    const QJsonObject object = value.toObject();
    for (const char *key : {"message", "error_description", "detail", "error", "errors", "msg"}) {
        const QString found = jsonMessage(object.value(QLatin1String(key)));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString firstTextLine(const QString &reply)
{
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = title.match(reply);
    if (match.hasMatch())
        return match.captured(1).trimmed();
    for (const QString &line : reply.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    }
    return {};
}

// curl's own words without its "curl: (N) " prefix.
QString curlWords(const QString &said)
{
    static const QRegularExpression prefix(QStringLiteral("^curl: \\(\\d+\\) "));
    return QString(said).remove(prefix);
}

QString withDetail(const QString &text, const QString &detail)
{
    return detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + u')';
}

// A revoked token sent on to a login page, or http sent on to https: curl does not follow it.
QString redirected(const TryResult &result)
{
    const QString to = result.redirectUrl.isEmpty()
                           ? QString()
                           : QStringLiteral(" to ") + maskSecrets(result.redirectUrl);
    return QStringLiteral("the service redirected it") + to + QStringLiteral(" (HTTP ") +
           result.httpStatus + QStringLiteral("), so nothing was stored");
}

} // namespace

QString serviceMessage(const QByteArray &reply)
{
    const QJsonDocument json = QJsonDocument::fromJson(reply);
    QString message = json.isNull() ? firstTextLine(QString::fromUtf8(reply))
                                    : jsonMessage(json.isObject() ? QJsonValue(json.object())
                                                                  : QJsonValue(json.array()));
    message = ControlText::escaped(message.simplified());
    return message.size() > MessageCharacters
               ? message.left(MessageCharacters) + QStringLiteral("...")
               : message;
}

namespace {

QString happened(const TryResult &result)
{
    if (!result.started)
        return QStringLiteral("curl could not be started");
    if (result.timedOut)
        return QStringLiteral("it timed out and was stopped after ") +
               countedNoun(result.timeLimitMinutes, QStringLiteral("minute"));
    const int status = result.httpStatus.toInt();
    if (status >= 300 && status < 400)
        return redirected(result);
    if (status >= 400) {
        const QString message = serviceMessage(result.reply);
        return QStringLiteral("the service refused it (HTTP ") + result.httpStatus +
               (message.isEmpty() ? QString() : QStringLiteral(": ") + message) + u')';
    }
    if (result.stopped)
        return QStringLiteral("it was stopped as the program closed");
    const QString detail = curlWords(result.curlSaid);
    switch (result.exitValue) {
    case 5:
    case 6:
    case 7:
        return withDetail(QStringLiteral("the service could not be reached"), detail);
    case 28:
        return withDetail(QStringLiteral("it timed out"), detail);
    case 35:
        return withDetail(QStringLiteral("no secure connection to the service could be made"),
                          detail);
    case 52:
        return QStringLiteral("the service closed the connection without replying");
    case 55:
    case 56:
        return withDetail(QStringLiteral("the connection broke off during the upload"), detail);
    case 60:
        return withDetail(QStringLiteral("the service's certificate could not be verified"),
                          detail);
    case 0:
        return QStringLiteral("the service sent no usable reply (HTTP %1)").arg(result.httpStatus);
    default:
        return withDetail(QStringLiteral("curl failed with exit value %1").arg(result.exitValue),
                          detail);
    }
}

} // namespace

QString whatHappened(const TryResult &result)
{
    return maskSecretsIn(happened(result), result.uploadUrl);
}

QString retryingAt(const QDateTime &at, int retry, int retryCount)
{
    return QStringLiteral("trying again at %1 (%2 of %3)")
        .arg(LocaleFormat::hourMinuteSecond(at.time()))
        .arg(retry)
        .arg(retryCount);
}

QString recordingEmpty()
{
    return QStringLiteral("the recording is empty (0 bytes)");
}

QString noRetry(bool worthRetrying, int retryCount, bool closing)
{
    if (closing)
        return QStringLiteral("no retry, the program is closing");
    if (worthRetrying && retryCount > 0)
        return QStringLiteral("no retry left after %1").arg(retryCount);
    return QStringLiteral("no retry");
}

} // namespace FailureWords
