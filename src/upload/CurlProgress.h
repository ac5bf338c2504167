#pragma once

#include "platform/MainView.h"

#include <QByteArray>

#include <optional>

// The latest state of curl's progress meter, read from what curl wrote on its error output:
// a line of twelve columns, redrawn in place after each carriage return. Of those, an upload
// needs the share sent, the amount sent and the average upload speed.
std::optional<UploadProgress> parseCurlProgress(const QByteArray &errorOutput);

// Whether curl may have handed the service the whole body by now: an upload sent again must never
// reach the service twice. Where curl's read count is known, only a count short of the files it
// sends (`fileBytes`) says no, since it cannot send what it has not read. Otherwise only a meter
// that shows part of the body still to go, more than curl could have sent since it last drew the
// meter, says no.
bool wholeBodyMayBeSent(const QByteArray &errorOutput, std::optional<qint64> bytesRead,
                        qint64 fileBytes);
// What curl had sent by its meter's last line; nothing when it drew none.
std::optional<qint64> bytesSentByMeter(const QByteArray &errorOutput);
