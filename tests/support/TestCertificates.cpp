#include "support/TestCertificates.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace TestCertificates {

bool make(const QString &folder)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.start(u"sh"_s, {u"-c"_s, u"k='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'"
                                     u" && echo subjectAltName=IP:127.0.0.1 > san && openssl req "
                                     u"-x509 $k -keyout ca.key -out ca.pem -subj /CN=CA && openssl "
                                     u"req $k -keyout key -out csr -subj /CN=127.0.0.1 && openssl "
                                     u"x509 -req -in csr -CA ca.pem -CAkey ca.key -out cert "
                                     u"-extfile san"_s});
    return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}

} // namespace TestCertificates
