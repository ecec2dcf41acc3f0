// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <utility>

// One scripted answer of PageServer.
struct PageResponse {
    enum class Delivery {
        Complete,       // Content-Length and the whole body
        Chunked,        // Transfer-Encoding: chunked, no Content-Length
        StallMidBody,   // Content-Length, half the body, then silence with the connection open
        CloseMidBody,   // Content-Length, half the body, then the connection closes
        AnnounceLength, // Content-Length: announcedLength, then the body and silence
        EndlessChunks,  // Transfer-Encoding: chunked, the body as one chunk over and over, never ending
    };

    int status = 200;
    QByteArray reason = "OK";
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    std::chrono::milliseconds delay{0};
    Delivery delivery = Delivery::Complete;
    qint64 announcedLength = 0;

    static PageResponse page(const QByteArray& body, const QByteArray& contentType = "text/html; charset=utf-8")
    {
        PageResponse response;
        response.body = body;
        if (!contentType.isEmpty())
            response.headers.append({"Content-Type", contentType});
        return response;
    }
    static PageResponse redirect(const QUrl& target, int status = 302)
    {
        PageResponse response;
        response.status = status;
        response.reason = status == 301 ? "Moved Permanently" : "Found";
        response.headers.append({"Location", target.toEncoded()});
        response.body = "moved";
        return response;
    }
};

// A loopback HTTP or HTTPS server that answers each request with the next scripted
// response (then with the default one), for the paths a real server will not take.
// Connections are closed after each answer, except in the stalling modes.
// Has no signals of its own, so no meta-object either.
class PageServer final : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

    // Serves HTTPS with this identity; call before listen().
    void setTlsIdentity(const QSslCertificate& certificate, const QSslKey& key)
    {
        m_certificate = certificate;
        m_key = key;
    }
    // Listens on 127.0.0.1, on a free port.
    bool listen() { return QTcpServer::listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString& path = QStringLiteral("/page")) const
    {
        const char* scheme = m_certificate.isNull() ? "http" : "https";
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(serverPort()).arg(path));
    }

    void enqueue(const PageResponse& response) { m_queue.append(response); }
    void setDefaultResponse(const PageResponse& response) { m_default = response; }

    // The head (request line and header fields) of every request, in order.
    QList<QByteArray> requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    // The body of every request (empty without Content-Length), in the same order.
    QList<QByteArray> bodies() const { return m_bodies; }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        QTcpSocket* socket = m_certificate.isNull() ? new QTcpSocket(this) : new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::errorOccurred, socket, [socket] {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
        });
        if (auto* tls = qobject_cast<QSslSocket*>(socket)) {
            tls->setLocalCertificate(m_certificate);
            tls->setPrivateKey(m_key);
            // A client that rejects the certificate breaks off the handshake; that is its right.
            connect(tls, &QSslSocket::sslErrors, tls, [tls] { tls->abort(); });
            tls->startServerEncryption();
        }
    }

private:
    static constexpr qsizetype ChunkSize = 64 * 1024;
    static QByteArray chunk(const QByteArray& bytes)
    {
        return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
    }

    void onReadyRead(QTcpSocket* socket)
    {
        const QByteArray buffer = socket->property("pageServerBuffer").toByteArray() + socket->readAll();
        socket->setProperty("pageServerBuffer", buffer);
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (buffer.size() > 64 * 1024)
                socket->abort();
            return;
        }
        const QByteArray head = buffer.left(end);
        // A body announced by Content-Length (a POST) is read whole before the answer.
        qint64 length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() - end - 4 < length)
            return;
        // One request per connection: whatever follows is ignored.
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        m_requests.append(head);
        m_bodies.append(buffer.mid(end + 4, length));
        const PageResponse response = m_queue.isEmpty() ? m_default : m_queue.takeFirst();
        QTimer::singleShot(response.delay, this, [guarded = QPointer<QTcpSocket>(socket), response] {
            if (guarded)
                answer(guarded, response);
        });
    }

    static void answer(QTcpSocket* socket, const PageResponse& response)
    {
        using Delivery = PageResponse::Delivery;
        const bool chunked = response.delivery == Delivery::Chunked || response.delivery == Delivery::EndlessChunks;
        const qint64 length =
            response.delivery == Delivery::AnnounceLength ? response.announcedLength : response.body.size();
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
        for (const auto& [name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += chunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                        : "Content-Length: " + QByteArray::number(length) + "\r\n";
        socket->write(head + "Connection: close\r\n\r\n");

        switch (response.delivery) {
        case Delivery::Complete:
        case Delivery::AnnounceLength:
            socket->write(response.body);
            break;
        case Delivery::Chunked:
            for (qsizetype at = 0; at < response.body.size(); at += ChunkSize)
                socket->write(chunk(response.body.mid(at, ChunkSize)));
            socket->write("0\r\n\r\n");
            break;
        case Delivery::StallMidBody:
        case Delivery::CloseMidBody:
            socket->write(response.body.left(response.body.size() / 2));
            break;
        case Delivery::EndlessChunks:
            // The body again and again, a chunk each time the last has gone out, so the
            // server's own memory stays flat however long the client keeps reading.
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, next = chunk(response.body)] {
                if (socket->bytesToWrite() < next.size())
                    socket->write(next);
            });
            socket->write(chunk(response.body));
            break;
        }
        if (response.delivery == Delivery::Complete || response.delivery == Delivery::Chunked ||
            response.delivery == Delivery::CloseMidBody)
            socket->disconnectFromHost();
    }

    QSslCertificate m_certificate;
    QSslKey m_key;
    QList<PageResponse> m_queue;
    PageResponse m_default = PageResponse::page("<html><body>default page</body></html>");
    QList<QByteArray> m_requests;
    QList<QByteArray> m_bodies;
};
