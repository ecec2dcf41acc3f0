// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server for tests: /usr/bin/python3 with aiosmtpd (smtp_sink.py)
// on 127.0.0.1 at a free port. It saves every accepted message with its
// envelope and stops when this object is destroyed (or by itself when the
// test process dies).
//
//   AiosmtpdServer server;
//   QVERIFY2(server.start(), qPrintable(server.errorString()));
//   ... send to 127.0.0.1:server.port() ...
//   QVERIFY(server.waitForMessages(1, 10000));
//   const auto mail = server.messages().first();
class AiosmtpdServer final {
public:
    struct Message {
        QString mailFrom;
        QStringList rcptTos;
        QByteArray content; // DATA as received, dot-unstuffed, CR LF line ends
        QString path;       // the saved .eml file
        bool tls = false;   // the message came over an encrypted connection
        QString auth;       // the login method used, empty without a login
    };

    // A plain server by default.
    struct Options {
        QString tls; // "starttls" (offered and required) or "implicit"
        QString certificatePath;
        QString keyPath;
        QString login;        // "name:password": a login is required
        bool noPlain = false; // AUTH LOGIN is the only method offered
    };

    AiosmtpdServer();
    ~AiosmtpdServer();
    Q_DISABLE_COPY_MOVE(AiosmtpdServer)

    // Starts the server and waits until it accepts connections.
    bool start(int timeoutMs = 15000);
    bool start(const Options& options, int timeoutMs = 15000);
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString directory() const { return m_dir.path(); }

    // The complete messages saved so far, in the order of arrival.
    QList<Message> messages() const;
    bool waitForMessages(int count, int timeoutMs);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
