// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>

// A scripted SMTP server on 127.0.0.1 for what a real server will not do: answer out of turn, dribble,
// lie or fall silent. Every connection plays the script: entry 0 is the greeting, each further entry
// answers one command line, or, after a "354", the data up to its "." line; then it says nothing.
class FakeSmtpServer final : public QTcpServer {
public:
    struct Reply {
        QList<QByteArray> segments; // each written as its own TCP segment; none: stay silent
        int gapMs = 0;              // pause before each segment

        static Reply text(const QByteArray& reply) { return {{reply}, 0}; }
        static Reply split(const QList<QByteArray>& segments, int gapMs = 50) { return {segments, gapMs}; }
        static Reply trickle(const QByteArray& reply, int gapMs)
        {
            QList<QByteArray> bytes;
            for (char byte : reply)
                bytes.append(QByteArray(1, byte));
            return {bytes, gapMs};
        }
        static Reply silent() { return {}; }
    };

    // 220 greeting, 250 to HELO, MAIL and RCPT, 354 to DATA, 250 to the data, 221 to quit.
    static QList<Reply> happyScript()
    {
        QList<Reply> script;
        for (const char* reply : {"220 fake.test ESMTP ready\r\n", "250 fake.test hello\r\n", "250 sender ok\r\n",
                                  "250 recipient ok\r\n", "354 go ahead\r\n", "250 accepted\r\n", "221 bye\r\n"})
            script.append(Reply::text(reply));
        return script;
    }

    explicit FakeSmtpServer(QObject* parent = nullptr)
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

    void setScript(const QList<Reply>& script) { m_script = script; }
    bool listen() { return QTcpServer::listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return serverPort(); }

    int connectionCount() const { return int(m_connections.size()); }
    // Of connection n (0 = first): the command lines without CR LF; the message data
    // lines, up to and including the "." line.
    QList<QByteArray> commands(int n) const
    {
        return n < connectionCount() ? m_connections[n].commands : QList<QByteArray>();
    }
    QByteArray data(int n) const { return n < connectionCount() ? m_connections[n].data : QByteArray(); }

    // Waits (running the event loop) until n connections have ended.
    bool waitForClosedConnections(int n, int timeoutMs)
    {
        const auto closed = [](const Connection& c) { return c.closed; };
        return QTest::qWaitFor([&] { return std::ranges::count_if(m_connections, closed) >= n; }, timeoutMs);
    }

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray pending; // not yet a whole line
        QList<QByteArray> commands;
        QByteArray data;
        int nextEntry = 0;
        bool inData = false;
        bool closed = false;
    };

    void onReadyRead(Connection& c)
    {
        c.pending.append(c.socket->readAll());
        for (qsizetype end; (end = c.pending.indexOf("\r\n")) >= 0;) {
            const QByteArray line = c.pending.left(end);
            c.pending.remove(0, end + 2);
            if (c.inData)
                c.data.append(line + "\r\n");
            else
                c.commands.append(line);
            if (!c.inData || line == ".")
                answer(c);
        }
    }

    void answer(Connection& c)
    {
        const Reply reply = m_script.value(c.nextEntry++); // silent past the script's end
        c.inData =
            std::ranges::any_of(reply.segments, [](const QByteArray& segment) { return segment.startsWith("354"); });
        QTcpSocket* socket = c.socket;
        int delay = 0;
        for (const QByteArray& segment : reply.segments) {
            delay += reply.gapMs;
            QTimer::singleShot(delay, socket, [socket, segment] { socket->write(segment); });
        }
    }

    QList<Reply> m_script;
    QList<Connection> m_connections;
};
