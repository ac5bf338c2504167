#include "upload/UploadCommand.h"

#include "platform/CurlProgram.h"
#include "upload/RecordingReady.h"

#include <algorithm>

namespace UploadCommand {

namespace {

QString quoted(const QString &argument)
{
    return u'"' + argument + u'"';
}

bool needsQuotes(const QString &path)
{
    if (path.contains(u',') || path.contains(u';') || path.contains(u'"'))
        return true;
    // curl drops blanks around an unquoted file name.
    return !path.isEmpty() && (path.front().isSpace() || path.back().isSpace());
}

// In double quotes with '\' and '"' escaped, as curl reads a quoted file name after "@".
QString escapedAndQuoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'"', QStringLiteral("\\\""));
    return quoted(escaped);
}

qint64 sizeOf(const QString &file)
{
    return file.isEmpty() ? 0 : std::max<qint64>(0, RecordingReady::stateOf(file).size);
}

} // namespace

QString formFilePath(const QString &path)
{
    return needsQuotes(path) ? escapedAndQuoted(path) : path;
}

CommandLine build(const QString &curlProgram, const UploadRequest &request)
{
    CommandLine command;
    command.program = curlProgram;
    QStringList shown;
    const auto add = [&](const QString &argument, bool showQuoted) {
        command.arguments.append(argument);
        shown.append(showQuoted ? quoted(argument) : argument);
    };
    // First, so that no curl configuration of the user's can change what is sent or where.
    add(QStringLiteral("-q"), false);
    add(QStringLiteral("-o"), false);
    add(request.responseFile, true);
    add(QStringLiteral("-w"), false);
    // The status judges the upload; the bytes sent go to the upload history; where a redirect
    // pointed is told, since curl does not follow it.
    add(QStringLiteral("%{http_code} %{size_upload} %{redirect_url}"), true);
    if (request.insecureTls)
        add(QStringLiteral("-k"), false);
    if (request.maxBytesPerSecond > 0) {
        add(QStringLiteral("--limit-rate"), false);
        add(QString::number(request.maxBytesPerSecond), false);
    }
    add(QStringLiteral("-X"), false);
    add(QStringLiteral("POST"), false);
    add(QStringLiteral("-F"), false);
    add(QStringLiteral("mp3=@") + formFilePath(request.recording), true);
    add(QStringLiteral("--form-string"), false);
    add(QStringLiteral("name=") + request.title, true);
    add(QStringLiteral("--form-string"), false);
    add(QStringLiteral("description=") + request.description, true);
    if (!request.picture.isEmpty()) {
        add(QStringLiteral("-F"), false);
        add(QStringLiteral("picture=@") + formFilePath(request.picture), true);
    }
    // The address carries the service's token: it goes to curl on its standard input, where no
    // other user can read it, as the command line of a running process can be.
    command.arguments.append({QStringLiteral("--config"), QStringLiteral("-")});
    command.input = "url = " + CurlProgram::configString(request.uploadUrl) + '\n';
    command.input += CurlProgram::caCertificatesLine(request.caCertificates);
    if (!request.caCertificates.isEmpty())
        shown.append(QStringLiteral("--cacert ") + quoted(request.caCertificates));
    shown.append(request.uploadUrl);
    command.display = curlProgram + u' ' + shown.join(u' ');
    command.fileBytes = sizeOf(request.recording) + sizeOf(request.picture);
    command.lowPriority = request.lowPriority;
    return command;
}

} // namespace UploadCommand
