#include "platform/CurlProgram.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace CurlProgram {

QString fileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("curl.exe");
#else
    return QStringLiteral("curl");
#endif
}

QString locate(const Environment &environment, const QString &workingDirectory)
{
    const QString beside = workingDirectory + fileName();
    if (fileExists(beside))
        return beside;
#ifdef Q_OS_WIN
    Q_UNUSED(environment);
    return {};
#else
    return environment.findOnPath(fileName());
#endif
}

QByteArray configString(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    escaped.replace(u'\t', QStringLiteral("\\t")).replace(u'\n', QStringLiteral("\\n"));
    escaped.replace(u'\r', QStringLiteral("\\r")).replace(u'\v', QStringLiteral("\\v"));
    return (u'"' + escaped + u'"').toUtf8();
}

QByteArray caCertificatesLine(const QString &path)
{
    return path.isEmpty() ? QByteArray() : "cacert = " + configString(path) + '\n';
}

} // namespace CurlProgram
