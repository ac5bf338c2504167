#pragma once

#include <QString>

// A certificate authority of the test's own and a certificate for 127.0.0.1 that it signed,
// made with openssl in `folder`: ca.pem, cert and key.
namespace TestCertificates {

bool make(const QString &folder);

} // namespace TestCertificates
