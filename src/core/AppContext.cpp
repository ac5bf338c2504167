#include "core/AppContext.h"

AppContext::AppContext(Platform &platform) : platform(platform), Audit(platform.clock) {}

QString AppContext::versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(TUNEBARN_VERSION_MAJOR)
        .arg(TUNEBARN_VERSION_MINOR)
        .arg(TUNEBARN_VERSION_PATCH);
}
