#pragma once

#include <QString>

// The upload address carries the service's access token (in its query) or a password (in its
// userinfo); neither may be shown to anyone but the station's own audit trail.
namespace AddressSecrets {

// The address with query values and any password replaced by "****".
QString masked(const QString &url);
// `text` with every secret of `url` it repeats, as written or decoded, replaced by "****": a
// service that echoes a refused token must not have it shown. Values shorter than four
// characters are no secrets and are left, so that no "1" of a reply is masked.
QString maskedIn(const QString &text, const QString &url);

} // namespace AddressSecrets
