#pragma once

#include <QByteArray>
#include <QString>

class Environment;

namespace CurlProgram {

// "curl.exe" on Windows, "curl" elsewhere.
QString fileName();
// The curl beside the program; off Windows, when there is none, the curl on PATH.
// Empty when neither is there.
QString locate(const Environment &environment, const QString &workingDirectory);
// A quoted string of curl's configuration syntax (as read by "--config -"), with '\\', '"',
// line breaks and tabs escaped, so that nothing in it can end the line.
QByteArray configString(const QString &text);
// The configuration line that names the certificate authorities to trust; none for no `path`.
// Given in the configuration rather than as an argument, a path reaches curl.exe on Windows
// exactly as written.
QByteArray caCertificatesLine(const QString &path);

} // namespace CurlProgram
