#pragma once

#include <QString>

class Environment;

namespace CurlProgram {

// "curl.exe" on Windows, "curl" elsewhere.
QString fileName();
// The curl beside the program; off Windows, when there is none, the curl on PATH.
// Empty when neither is there.
QString locate(const Environment &environment, const QString &workingDirectory);

} // namespace CurlProgram
