// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSmtpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

struct FakeSmtpServer::Connection {
    QPointer<QTcpSocket> socket;
    QByteArray received;
    QByteArray pending; // not yet framed into a command or the data
    QList<QByteArray> commands;
    QByteArray data;
    int nextEntry = 0;
    bool inData = false;
    bool closed = false;
};

QList<FakeSmtpServer::Reply> FakeSmtpServer::happyScript()
{
    return {Reply::text("220 fake.test ESMTP ready\r\n"), Reply::text("250 fake.test hello\r\n"),
            Reply::text("250 sender ok\r\n"),           Reply::text("250 recipient ok\r\n"),
            Reply::text("354 go ahead\r\n"),            Reply::text("250 accepted\r\n"),
            Reply::text("221 bye\r\n")};
}

FakeSmtpServer::FakeSmtpServer(QObject* parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, &FakeSmtpServer::onNewConnection);
}

FakeSmtpServer::~FakeSmtpServer()
{
    for (Connection* connection : std::as_const(m_connections)) {
        if (connection->socket)
            connection->socket->abort();
        delete connection;
    }
}

bool FakeSmtpServer::listen()
{
    return QTcpServer::listen(QHostAddress::LocalHost, 0);
}

QByteArray FakeSmtpServer::received(int connection) const
{
    return connection < m_connections.size() ? m_connections[connection]->received : QByteArray();
}

QList<QByteArray> FakeSmtpServer::commands(int connection) const
{
    return connection < m_connections.size() ? m_connections[connection]->commands : QList<QByteArray>();
}

QByteArray FakeSmtpServer::data(int connection) const
{
    return connection < m_connections.size() ? m_connections[connection]->data : QByteArray();
}

bool FakeSmtpServer::waitForClosedConnections(int n, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            return std::count_if(m_connections.cbegin(), m_connections.cend(),
                                 [](const Connection* c) { return c->closed; })
                >= n;
        },
        timeoutMs);
}

void FakeSmtpServer::onNewConnection()
{
    while (QTcpSocket* socket = nextPendingConnection()) {
        auto* connection = new Connection;
        connection->socket = socket;
        m_connections.append(connection);
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, connection] { onReadyRead(connection); });
        connect(socket, &QTcpSocket::disconnected, this, [connection] { connection->closed = true; });
        answer(connection);
    }
}

void FakeSmtpServer::onReadyRead(Connection* connection)
{
    if (!connection->socket)
        return;
    const QByteArray bytes = connection->socket->readAll();
    connection->received.append(bytes);
    connection->pending.append(bytes);
    for (;;) {
        if (connection->inData) {
            const bool resetNow = connection->nextEntry < m_script.size()
                && m_script[connection->nextEntry].kind == Reply::Kind::Reset;
            if (resetNow && !connection->pending.isEmpty()) {
                answer(connection);
                return;
            }
            qsizetype end = connection->pending.startsWith(".\r\n") ? 0 : connection->pending.indexOf("\r\n.\r\n");
            if (end < 0)
                return;
            end += connection->pending.startsWith(".\r\n") ? 3 : 5;
            connection->data.append(connection->pending.left(end));
            connection->pending.remove(0, end);
            connection->inData = false;
            answer(connection);
            continue;
        }
        const qsizetype lineEnd = connection->pending.indexOf("\r\n");
        if (lineEnd < 0)
            return;
        connection->commands.append(connection->pending.left(lineEnd));
        connection->pending.remove(0, lineEnd + 2);
        answer(connection);
    }
}

void FakeSmtpServer::answer(Connection* connection)
{
    if (connection->nextEntry >= m_script.size() || !connection->socket)
        return;
    const Reply reply = m_script[connection->nextEntry++];
    QTcpSocket* socket = connection->socket;
    switch (reply.kind) {
    case Reply::Kind::Silent:
        return;
    case Reply::Kind::Reset: {
        // A zero linger time turns the close into a reset.
        const linger hard{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        socket->abort();
        connection->closed = true;
        return;
    }
    case Reply::Kind::Send:
        break;
    }
    for (const QByteArray& segment : reply.segments) {
        if (segment.startsWith("354"))
            connection->inData = true;
    }
    int delay = 0;
    for (const QByteArray& segment : reply.segments) {
        delay += reply.gapMs;
        if (delay == 0) {
            socket->write(segment);
            socket->flush();
        } else {
            QTimer::singleShot(delay, socket, [socket, segment] {
                socket->write(segment);
                socket->flush();
            });
        }
    }
}
