#pragma once

#include <QString>

// The address with query values and any password replaced by "****", as it is shown anywhere
// but the audit: an access token is the service's whole lock.
QString maskSecrets(const QString &url);
