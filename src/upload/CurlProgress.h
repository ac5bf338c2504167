#pragma once

#include "platform/MainView.h"

#include <QByteArray>

#include <optional>

// The latest state of curl's progress meter, read from what curl wrote on its error output:
// a line of twelve columns, redrawn in place after each carriage return. Of those, an upload
// needs the share sent, the amount sent and the average upload speed.
std::optional<UploadProgress> parseCurlProgress(const QByteArray &errorOutput);

// Whether curl may have handed the service the whole body by now. Only a meter that shows part
// of the body still to go, more than curl could have sent since it last drew the meter, says no:
// an upload sent again must never reach the service twice.
bool wholeBodyMayBeSent(const QByteArray &errorOutput);
