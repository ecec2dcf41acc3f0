// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/PageServer.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

namespace {
constexpr qsizetype MaximumRequestHead = 64 * 1024;
constexpr qsizetype ChunkSize = 64 * 1024;
const char* const BufferProperty = "pageServerBuffer";

QByteArray chunk(const QByteArray& bytes)
{
    return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
}
} // namespace

PageResponse PageResponse::page(const QByteArray& body, const QByteArray& contentType)
{
    PageResponse response;
    response.body = body;
    if (!contentType.isEmpty())
        response.headers.append({"Content-Type", contentType});
    return response;
}

PageResponse PageResponse::redirect(const QUrl& target, int status)
{
    PageResponse response;
    response.status = status;
    response.reason = status == 301 ? "Moved Permanently" : "Found";
    response.headers.append({"Location", target.toEncoded()});
    response.body = "moved";
    return response;
}

QUrl PageServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(m_certificate.isNull() ? "http" : "https").arg(serverPort()).arg(path));
}

void PageServer::incomingConnection(qintptr descriptor)
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

void PageServer::onReadyRead(QTcpSocket* socket)
{
    const QByteArray buffer = socket->property(BufferProperty).toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (buffer.size() > MaximumRequestHead)
            socket->abort();
        else
            socket->setProperty(BufferProperty, buffer);
        return;
    }
    const QByteArray head = buffer.left(end);
    // A body announced by Content-Length (a POST) is read whole before the answer.
    qint64 length = 0;
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (buffer.size() - end - 4 < length) {
        socket->setProperty(BufferProperty, buffer);
        return;
    }
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

void PageServer::answer(QTcpSocket* socket, const PageResponse& response)
{
    using Delivery = PageResponse::Delivery;
    const bool chunked = response.delivery == Delivery::Chunked || response.delivery == Delivery::EndlessChunks;
    const qint64 length = response.delivery == Delivery::AnnounceLength ? response.announcedLength : response.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += chunked ? QByteArray("Transfer-Encoding: chunked\r\n") : "Content-Length: " + QByteArray::number(length) + "\r\n";
    socket->write(head + "Connection: close\r\n\r\n");

    switch (response.delivery) {
    case Delivery::Complete:
        socket->write(response.body);
        socket->disconnectFromHost();
        break;
    case Delivery::Chunked:
        for (qsizetype at = 0; at < response.body.size(); at += ChunkSize)
            socket->write(chunk(response.body.mid(at, ChunkSize)));
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
        break;
    case Delivery::StallMidBody:
    case Delivery::CloseMidBody:
        socket->write(response.body.left(response.body.size() / 2));
        if (response.delivery == Delivery::CloseMidBody)
            socket->disconnectFromHost();
        break;
    case Delivery::AnnounceLength:
        socket->write(response.body);
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
}
