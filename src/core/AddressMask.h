#pragma once

#include <QString>

// The address with query values and any password replaced by "****", as it is shown anywhere
// but the audit: an access token is the service's whole lock.
QString maskSecrets(const QString &url);
// `text` with every secret of `url` it repeats, as written or decoded, replaced by "****": a
// service that echoes a refused token must not have it shown. Values shorter than four
// characters are no secrets and are left, so that no "1" of a reply is masked.
QString maskSecretsIn(const QString &text, const QString &url);
