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
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no scratch directory: %1").arg(m_dir.errorString());
        return false;
    }
    const QString caKey = m_dir.filePath(QStringLiteral("ca.key"));
    const QString caPem = m_dir.filePath(QStringLiteral("ca.pem"));
    const QString serverKey = m_dir.filePath(QStringLiteral("server.key"));
    const QString serverCsr = m_dir.filePath(QStringLiteral("server.csr"));
    const QString serverPem = m_dir.filePath(QStringLiteral("server.pem"));
    const QString serverExt = m_dir.filePath(QStringLiteral("server.ext"));

    QFile extensions(serverExt);
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                            "basicConstraints=critical,CA:FALSE\n"
                            "keyUsage=critical,digitalSignature\n"
                            "extendedKeyUsage=serverAuth\n")
            < 0) {
        m_error = QStringLiteral("cannot write %1").arg(serverExt);
        return false;
    }
    extensions.close();

    const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                               QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    const bool made =
        runOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                   + QStringList{QStringLiteral("-keyout"), caKey, QStringLiteral("-out"), caPem,
                                 QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                 QStringLiteral("/CN=Offerwatch Test CA"), QStringLiteral("-addext"),
                                 QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                                 QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")})
        && runOpenssl(QStringList{QStringLiteral("req")} + ecKey
                      + QStringList{QStringLiteral("-keyout"), serverKey, QStringLiteral("-out"), serverCsr,
                                    QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")})
        && runOpenssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), serverCsr,
                       QStringLiteral("-CA"), caPem, QStringLiteral("-CAkey"), caKey,
                       QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), serverPem,
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), serverExt});
    if (!made)
        return false;

    m_ca = QSslCertificate(readFile(caPem), QSsl::Pem);
    m_server = QSslCertificate(readFile(serverPem), QSsl::Pem);
    m_serverKey = QSslKey(readFile(serverKey), QSsl::Ec, QSsl::Pem);
    if (m_ca.isNull() || m_server.isNull() || m_serverKey.isNull()) {
        m_error = QStringLiteral("openssl wrote certificates that Qt cannot read");
        return false;
    }
    return true;
}

bool TestCertificates::runOpenssl(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30'000) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2 %3")
                      .arg(arguments.first(), openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        openssl.kill();
        openssl.waitForFinished(1000);
        return false;
    }
    return true;
}
