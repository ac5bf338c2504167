#pragma once

#include <QByteArray>

namespace ShowConfig {

// A tunebarn.ini with every one of the 100 shows filled in, with values of the length a station
// really writes.
QByteArray full();

} // namespace ShowConfig
