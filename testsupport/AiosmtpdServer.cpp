// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AiosmtpdServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const bool connected = socket.waitForConnected(200);
    // Read the greeting so that the server does not log a dropped session.
    if (connected)
        socket.waitForReadyRead(500);
    socket.abort();
    return connected;
}
} // namespace

AiosmtpdServer::AiosmtpdServer()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

AiosmtpdServer::~AiosmtpdServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

bool AiosmtpdServer::start(int timeoutMs)
{
    return start(Options(), timeoutMs);
}

bool AiosmtpdServer::start(const Options& options, int timeoutMs)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory");
        return false;
    }
    m_port = freePort();
    if (m_port == 0) {
        m_error = QStringLiteral("no free loopback port");
        return false;
    }
    QStringList arguments{QStringLiteral(TESTSUPPORT_DIR "/smtp_sink.py"), QStringLiteral("--port"),
                          QString::number(m_port), QStringLiteral("--dir"), m_dir.path()};
    if (!options.tls.isEmpty())
        arguments << QStringLiteral("--tls") << options.tls << QStringLiteral("--cert") << options.certificatePath
                  << QStringLiteral("--key") << options.keyPath;
    if (options.noPlain)
        arguments << QStringLiteral("--no-plain");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("SMTP_SINK_LOGIN"));
    if (!options.login.isEmpty())
        environment.insert(QStringLiteral("SMTP_SINK_LOGIN"), options.login);
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start /usr/bin/python3: ") + m_process.errorString();
        return false;
    }
    const bool ready = QTest::qWaitFor(
        [&] { return m_process.state() != QProcess::Running || accepts(m_port); }, timeoutMs);
    if (!ready || m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("aiosmtpd did not start (is python3-aiosmtpd installed?)");
        return false;
    }
    return true;
}

QList<AiosmtpdServer::Message> AiosmtpdServer::messages() const
{
    QList<Message> result;
    const QDir dir(m_dir.path());
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile meta(dir.filePath(name));
        QFile eml(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        if (!meta.open(QIODevice::ReadOnly) || !eml.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject object = QJsonDocument::fromJson(meta.readAll()).object();
        Message message;
        message.mailFrom = object.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue& to : object.value(QStringLiteral("rcpt_tos")).toArray())
            message.rcptTos.append(to.toString());
        message.content = eml.readAll();
        message.path = eml.fileName();
        message.tls = object.value(QStringLiteral("tls")).toBool();
        message.auth = object.value(QStringLiteral("auth")).toString();
        result.append(message);
    }
    return result;
}

bool AiosmtpdServer::waitForMessages(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
}
