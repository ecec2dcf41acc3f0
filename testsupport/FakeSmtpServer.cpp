// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSmtpServer.h"

#include <QTcpSocket>
#include <QTest>
#include <QTimer>

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
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            const qsizetype n = m_connections.size();
            m_connections.append(Connection());
            m_connections[n].socket = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, n] { onReadyRead(m_connections[n]); });
            connect(socket, &QTcpSocket::disconnected, this, [this, n] { m_connections[n].closed = true; });
            answer(m_connections[n]);
        }
    });
}

bool FakeSmtpServer::waitForClosedConnections(int n, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] { return std::count_if(m_connections.cbegin(), m_connections.cend(), [](const Connection& c) { return c.closed; }) >= n; },
        timeoutMs);
}

void FakeSmtpServer::onReadyRead(Connection& c)
{
    const QByteArray bytes = c.socket->readAll();
    c.received.append(bytes);
    c.pending.append(bytes);
    for (;;) {
        qsizetype end;
        if (c.inData) {
            end = c.pending.startsWith(".\r\n") ? 3 : c.pending.indexOf("\r\n.\r\n") + 5;
            if (end == 4)
                return;
            c.data.append(c.pending.left(end));
        } else {
            end = c.pending.indexOf("\r\n") + 2;
            if (end == 1)
                return;
            c.commands.append(c.pending.left(end - 2));
        }
        c.pending.remove(0, end);
        c.inData = false;
        answer(c);
    }
}

void FakeSmtpServer::answer(Connection& c)
{
    if (c.nextEntry >= m_script.size())
        return;
    const Reply reply = m_script[c.nextEntry++];
    c.inData = std::any_of(reply.segments.cbegin(), reply.segments.cend(),
                           [](const QByteArray& segment) { return segment.startsWith("354"); });
    QTcpSocket* socket = c.socket;
    int delay = 0;
    for (const QByteArray& segment : reply.segments) {
        const auto write = [socket, segment] {
            socket->write(segment);
            socket->flush();
        };
        delay += reply.gapMs;
        if (delay == 0)
            write();
        else
            QTimer::singleShot(delay, socket, write);
    }
}
