// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AiosmtpdServer.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

AiosmtpdServer::~AiosmtpdServer()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

bool AiosmtpdServer::start(const Options& options, int timeoutMs)
{
    QTcpServer probe;
    if (!m_dir.isValid() || !probe.listen(QHostAddress::LocalHost, 0)) {
        m_error = QStringLiteral("no scratch directory or no free loopback port");
        return false;
    }
    m_port = probe.serverPort();
    probe.close();
    QStringList arguments{QStringLiteral(TESTSUPPORT_DIR "/smtp_sink.py"), QStringLiteral("--port"),
                          QString::number(m_port), QStringLiteral("--dir"), m_dir.path()};
    if (!options.tls.isEmpty())
        arguments << QStringLiteral("--tls") << options.tls << QStringLiteral("--cert") << options.certificatePath
                  << QStringLiteral("--key") << options.keyPath;
    if (options.noPlain)
        arguments << QStringLiteral("--no-plain");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SMTP_SINK_LOGIN"), options.login);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Plain python3 on PATH may be an interpreter without aiosmtpd.
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    const auto accepts = [this] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        const bool connected = socket.waitForConnected(200);
        // Read the greeting so that the server does not log a dropped session.
        if (connected)
            socket.waitForReadyRead(500);
        return connected;
    };
    if (!m_process.waitForStarted(5000)
        || !QTest::qWaitFor([&] { return m_process.state() != QProcess::Running || accepts(); }, timeoutMs)
        || m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("aiosmtpd did not start (is python3-aiosmtpd installed?) ") + m_process.errorString();
        return false;
    }
    return true;
}

QList<AiosmtpdServer::Message> AiosmtpdServer::messages() const
{
    QList<Message> result;
    const QDir dir(m_dir.path());
    // The .json file is written last: a message is complete when it is there.
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile meta(dir.filePath(name));
        QFile eml(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        if (!meta.open(QIODevice::ReadOnly) || !eml.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject object = QJsonDocument::fromJson(meta.readAll()).object();
        QStringList rcptTos;
        for (const QJsonValue& to : object[u"rcpt_tos"].toArray())
            rcptTos.append(to.toString());
        result.append({object[u"mail_from"].toString(), rcptTos, eml.readAll(), eml.fileName(),
                       object[u"tls"].toBool(), object[u"auth"].toString()});
    }
    return result;
}

bool AiosmtpdServer::waitForMessages(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
}
