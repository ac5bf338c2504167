#pragma once

#include "upload/CommandLine.h"

#include <QString>

// What one upload sends. An empty `picture` sends no picture field.
struct UploadRequest
{
    QString recording;
    QString title;
    QString description;
    QString picture;
    QString uploadUrl;
    QString responseFile;
    bool insecureTls = false;     // "-k": the service's certificate goes unchecked
    qint64 maxBytesPerSecond = 0; // "--limit-rate"; 0 for none
    bool lowPriority = true;
    QString caCertificates{}; // "--cacert": the authorities trusted instead of the system's
};

namespace UploadCommand {

// A file path as curl's form syntax needs it after "@": double-quoted, with '\' and '"'
// escaped, when it holds a character that curl would otherwise take as syntax or blanks at
// either end, which curl would drop.
QString formFilePath(const QString &path);
// The curl arguments for a multipart post of `request`; titles and descriptions go as
// literal strings, so no character in them can read a file or add a field.
CommandLine build(const QString &curlProgram, const UploadRequest &request);

} // namespace UploadCommand
