#pragma once

#include <QString>

namespace SampleConfig {

// Where the annotated example tunebarn.ini is installed for the program in `programFolder`:
// beside it on Windows, in the documentation folder below the same prefix elsewhere.
QString path(const QString &programFolder);

} // namespace SampleConfig
