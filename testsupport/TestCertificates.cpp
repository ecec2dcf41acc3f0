// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace {
QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

bool TestCertificates::generate()
{
    const QString caKey = m_dir.filePath(QStringLiteral("ca.key"));
    // Each call makes a key and a certificate valid for two days; the server's is signed by the CA.
    const auto make = [this](const QString& key, const QString& pem, const QString& subject, QStringList more) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      QStringList{"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                  "-days", "2", "-keyout", key, "-out", pem, "-subj", subject} + more);
        if (openssl.waitForFinished(30'000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
            return true;
        m_error = QStringLiteral("openssl failed: %1 %2").arg(openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    };
    if (!make(caKey, caPath(), QStringLiteral("/CN=Offerwatch Test CA"),
              {"-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
        || !make(serverKeyPath(), serverCertificatePath(), QStringLiteral("/CN=127.0.0.1"),
                 {"-CA", caPath(), "-CAkey", caKey, "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-addext",
                  "basicConstraints=critical,CA:FALSE", "-addext", "keyUsage=critical,digitalSignature", "-addext",
                  "extendedKeyUsage=serverAuth"}))
        return false;
    m_ca = QSslCertificate(readFile(caPath()), QSsl::Pem);
    m_server = QSslCertificate(readFile(serverCertificatePath()), QSsl::Pem);
    m_serverKey = QSslKey(readFile(serverKeyPath()), QSsl::Ec, QSsl::Pem);
    if (m_ca.isNull() || m_server.isNull() || m_serverKey.isNull()) {
        m_error = QStringLiteral("openssl wrote certificates that Qt cannot read");
        return false;
    }
    return true;
}
