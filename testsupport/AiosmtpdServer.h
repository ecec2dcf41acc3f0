// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// A real SMTP server for tests: aiosmtpd under /usr/bin/python3 (smtp_sink.py) on 127.0.0.1 at a
// free port. It saves every accepted message and stops with this object, or when the test dies.
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
        bool no8BitMime = false;
    };

    AiosmtpdServer() = default;
    ~AiosmtpdServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    Q_DISABLE_COPY_MOVE(AiosmtpdServer)

    // Starts the server and waits until it accepts connections.
    bool start() { return start(Options()); }
    bool start(const Options& options)
    {
        QTcpServer probe;
        if (!m_dir.isValid() || !probe.listen(QHostAddress::LocalHost, 0))
            return fail(QStringLiteral("no scratch directory or no free loopback port"));
        m_port = probe.serverPort();
        probe.close();
        QStringList arguments{TESTSUPPORT_DIR "/smtp_sink.py", "--port", QString::number(m_port), "--dir",
                              m_dir.path()};
        if (!options.tls.isEmpty())
            arguments << "--tls" << options.tls << "--cert" << options.certificatePath << "--key" << options.keyPath;
        if (options.noPlain)
            arguments << QStringLiteral("--no-plain");
        if (options.no8BitMime)
            arguments << QStringLiteral("--no-8bitmime");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SMTP_SINK_LOGIN"), options.login);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Plain python3 on PATH may be an interpreter without aiosmtpd.
        m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
        if (m_process.waitForReadyRead(15000) && m_process.readLine().startsWith("ready"))
            return true;
        return fail(QStringLiteral("aiosmtpd did not start (is python3-aiosmtpd installed?) ") +
                    m_process.errorString());
    }
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }

    // The messages accepted so far, in the order of arrival.
    QList<Message> messages()
    {
        while (m_process.canReadLine()) {
            const QJsonObject object = QJsonDocument::fromJson(m_process.readLine()).object();
            if (object.isEmpty()) // the end of the "ready" line may come on its own
                continue;
            QStringList rcptTos;
            for (const QJsonValue& to : object[u"rcpt_tos"].toArray())
                rcptTos.append(to.toString());
            QFile eml(object[u"path"].toString());
            m_messages.append({object[u"mail_from"].toString(), rcptTos,
                               eml.open(QIODevice::ReadOnly) ? eml.readAll() : QByteArray(), eml.fileName(),
                               object[u"tls"].toBool(), object[u"auth"].toString()});
        }
        return m_messages;
    }
    bool waitForMessages(int count, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
    }

private:
    bool fail(const QString& error)
    {
        m_error = error;
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QList<Message> m_messages;
};
