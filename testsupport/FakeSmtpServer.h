// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

// A scripted SMTP server on 127.0.0.1, only for what a real server will not do:
// answer out of turn, dribble, lie or fall silent. Every connection plays the same
// script: entry 0 is the greeting, each further entry answers one command line, or,
// after a "354", the message data up to its "." line. Past the script's end it says nothing.
// Has no signals of its own, so no meta-object either.
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
    static QList<Reply> happyScript();

    explicit FakeSmtpServer(QObject* parent = nullptr);

    void setScript(const QList<Reply>& script) { m_script = script; }
    bool listen() { return QTcpServer::listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return serverPort(); }

    int connectionCount() const { return int(m_connections.size()); }
    // Of connection n (0 = first): every byte received; the command lines without
    // CR LF; the message data up to and including the "." line.
    QByteArray received(int n) const { return n < connectionCount() ? m_connections[n].received : QByteArray(); }
    QList<QByteArray> commands(int n) const { return n < connectionCount() ? m_connections[n].commands : QList<QByteArray>(); }
    QByteArray data(int n) const { return n < connectionCount() ? m_connections[n].data : QByteArray(); }

    // Waits (running the event loop) until n connections have ended.
    bool waitForClosedConnections(int n, int timeoutMs);

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray received;
        QByteArray pending; // not yet framed into a command or the data
        QList<QByteArray> commands;
        QByteArray data;
        int nextEntry = 0;
        bool inData = false;
        bool closed = false;
    };
    void onReadyRead(Connection& connection);
    void answer(Connection& connection);

    QList<Reply> m_script;
    QList<Connection> m_connections;
};
