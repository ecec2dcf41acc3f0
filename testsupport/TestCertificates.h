// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

// A private CA and a server certificate for 127.0.0.1 and localhost, made with the
// openssl program into a scratch directory that goes away with this object.
class TestCertificates final {
    Q_DISABLE_COPY_MOVE(TestCertificates)
public:
    TestCertificates() = default;

    // Runs openssl; false with errorString() when it is missing or fails.
    bool generate()
    {
        const QString caKey = m_dir.filePath(QStringLiteral("ca.key"));
        return make(caKey, caPath(), QStringLiteral("/CN=Offerwatch Test CA"),
                    {"-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
            && make(serverKeyPath(), serverCertificatePath(), QStringLiteral("/CN=127.0.0.1"),
                    {"-CA", caPath(), "-CAkey", caKey, "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-addext",
                     "basicConstraints=critical,CA:FALSE", "-addext", "keyUsage=critical,digitalSignature", "-addext",
                     "extendedKeyUsage=serverAuth"});
    }
    QString errorString() const { return m_error; }

    // The same as PEM files, for servers in other processes and for trust settings.
    QString caPath() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString serverCertificatePath() const { return m_dir.filePath(QStringLiteral("server.pem")); }
    QString serverKeyPath() const { return m_dir.filePath(QStringLiteral("server.key")); }
    QSslCertificate caCertificate() const { return QSslCertificate::fromPath(caPath()).value(0); }
    QSslCertificate serverCertificate() const { return QSslCertificate::fromPath(serverCertificatePath()).value(0); }
    QSslKey serverKey() const
    {
        QFile file(serverKeyPath());
        return file.open(QIODevice::ReadOnly) ? QSslKey(&file, QSsl::Ec) : QSslKey();
    }

private:
    // A key and a certificate valid for two days, self-signed unless more names a CA.
    bool make(const QString& key, const QString& pem, const QString& subject, const QStringList& more)
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      QStringList{"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                  "-days", "2", "-keyout", key, "-out", pem, "-subj", subject} + more);
        if (openssl.waitForFinished(30'000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
            return true;
        m_error = QStringLiteral("openssl failed: %1 %2").arg(openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }

    QTemporaryDir m_dir;
    QString m_error;
};
