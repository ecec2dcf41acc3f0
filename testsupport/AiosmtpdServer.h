// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server for tests: aiosmtpd under /usr/bin/python3 (smtp_sink.py) on
// 127.0.0.1 at a free port. It saves every accepted message and stops with this
// object, or by itself when the test process dies.
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

    AiosmtpdServer() = default;
    ~AiosmtpdServer();
    Q_DISABLE_COPY_MOVE(AiosmtpdServer)

    // Starts the server and waits until it accepts connections.
    bool start(const Options& options, int timeoutMs = 15000);
    bool start() { return start(Options()); }
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }

    // The complete messages saved so far, in the order of arrival.
    QList<Message> messages() const;
    bool waitForMessages(int count, int timeoutMs);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
