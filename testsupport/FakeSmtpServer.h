// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A scripted SMTP server on 127.0.0.1 for the paths a real server will not take.
//
// Every connection plays the same script: entry 0 answers the connection
// (the greeting), each further entry answers one client command in turn. A
// command is one line; after a reply that starts with "354" the server reads
// message data up to the "." line and answers it with the next entry. When the
// script runs out the server answers nothing more.
//
//   FakeSmtpServer server;
//   server.setScript(FakeSmtpServer::happyScript());
//   QVERIFY(server.listen());
//   ... connect to 127.0.0.1:server.port() ...
//   QCOMPARE(server.received(0), expectedBytes);
// Has no signals of its own, so no meta-object either.
class FakeSmtpServer final : public QTcpServer {
public:
    struct Reply {
        enum class Kind {
            Send,   // write the segments
            Silent, // never answer; the connection stays open
            Reset,  // reset the connection (RST); during data, at the first data bytes
        };
        Kind kind = Kind::Send;
        QList<QByteArray> segments; // each written as its own TCP segment
        int gapMs = 0;              // pause before each segment

        static Reply text(const QByteArray& reply) { return {Kind::Send, {reply}, 0}; }
        static Reply split(const QList<QByteArray>& segments, int gapMs = 50) { return {Kind::Send, segments, gapMs}; }
        // One byte per segment, for a server that dribbles its reply.
        static Reply trickle(const QByteArray& reply, int gapMs)
        {
            QList<QByteArray> bytes;
            for (char byte : reply)
                bytes.append(QByteArray(1, byte));
            return split(bytes, gapMs);
        }
        static Reply silent() { return {Kind::Silent, {}, 0}; }
        static Reply reset() { return {Kind::Reset, {}, 0}; }
    };

    // 220 greeting, 250 to HELO, MAIL and RCPT, 354 to DATA, 250 to the data, 221 to quit.
    static QList<Reply> happyScript();

    explicit FakeSmtpServer(QObject* parent = nullptr);
    ~FakeSmtpServer() override;
    Q_DISABLE_COPY_MOVE(FakeSmtpServer)

    void setScript(const QList<Reply>& script) { m_script = script; }
    // Listens on 127.0.0.1 at a free port.
    bool listen();
    quint16 port() const { return serverPort(); }

    int connectionCount() const { return int(m_connections.size()); }
    // Every byte received on connection n (0 = first), in order.
    QByteArray received(int connection) const;
    // The commands (lines without CR LF) of connection n; message data excluded.
    QList<QByteArray> commands(int connection) const;
    // The message data of connection n, as received up to and including the "." line.
    QByteArray data(int connection) const;

    // Waits (running the event loop) until n connections have ended.
    bool waitForClosedConnections(int n, int timeoutMs);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(Connection* connection);
    void answer(Connection* connection);

    QList<Reply> m_script;
    QList<Connection*> m_connections;
};
