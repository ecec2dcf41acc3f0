// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// A private CA and a server certificate for 127.0.0.1 and localhost, made with the
// openssl program into a scratch directory that goes away with this object.
class TestCertificates final {
    Q_DISABLE_COPY_MOVE(TestCertificates)
public:
    TestCertificates() = default;

    // Runs openssl; false with errorString() when it is missing or fails.
    bool generate();
    QString errorString() const { return m_error; }

    QSslCertificate caCertificate() const { return m_ca; }
    QSslCertificate serverCertificate() const { return m_server; }
    QSslKey serverKey() const { return m_serverKey; }
    // The same as PEM files, for servers in other processes and for trust settings.
    QString caPath() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString serverCertificatePath() const { return m_dir.filePath(QStringLiteral("server.pem")); }
    QString serverKeyPath() const { return m_dir.filePath(QStringLiteral("server.key")); }

private:
    QTemporaryDir m_dir;
    QString m_error;
    QSslCertificate m_ca;
    QSslCertificate m_server;
    QSslKey m_serverKey;
};
