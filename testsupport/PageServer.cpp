// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/PageServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslSocket>
#include <QTimer>

namespace {

constexpr qsizetype MaximumRequestHead = 64 * 1024;
constexpr qsizetype ChunkSize = 64 * 1024;
const char* const BufferProperty = "pageServerBuffer";

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

PageServer::PageServer(QObject* parent)
    : QTcpServer(parent)
{
    m_default = PageResponse::page("<html><body>default page</body></html>");
}

PageServer::~PageServer()
{
    close();
}

void PageServer::setTlsIdentity(const QSslCertificate& certificate, const QSslKey& key)
{
    m_certificate = certificate;
    m_key = key;
}

bool PageServer::listen()
{
    return QTcpServer::listen(QHostAddress::LocalHost, 0);
}

QUrl PageServer::url(const QString& path) const
{
    QUrl url;
    url.setScheme(isTls() ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(serverPort());
    url.setPath(path);
    return url;
}

void PageServer::enqueue(const PageResponse& response)
{
    m_queue.append(response);
}

void PageServer::setDefaultResponse(const PageResponse& response)
{
    m_default = response;
}

void PageServer::incomingConnection(qintptr descriptor)
{
    if (!isTls()) {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        serve(socket);
        return;
    }
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    // A client that rejects the certificate breaks off the handshake; that is its right.
    connect(socket, &QSslSocket::sslErrors, socket, [socket] { socket->abort(); });
    serve(socket);
    socket->startServerEncryption();
}

void PageServer::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, [socket] {
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
    });
}

void PageServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray buffer = socket->property(BufferProperty).toByteArray() + socket->readAll();
    if (buffer.isEmpty())
        return;
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
    socket->setProperty(BufferProperty, QVariant());

    m_requests.append(head);
    m_bodies.append(buffer.mid(end + 4, length));
    const PageResponse response = m_queue.isEmpty() ? m_default : m_queue.takeFirst();
    Q_EMIT requestReceived(head);

    if (response.delay.count() > 0) {
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(response.delay, this, [guarded, response] {
            if (guarded)
                answer(guarded, response);
        });
    } else {
        answer(socket, response);
    }
}

void PageServer::answer(QTcpSocket* socket, const PageResponse& response)
{
    using Delivery = PageResponse::Delivery;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    switch (response.delivery) {
    case Delivery::Complete:
    case Delivery::StallMidBody:
    case Delivery::CloseMidBody:
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        break;
    case Delivery::AnnounceLength:
        head += "Content-Length: " + QByteArray::number(response.announcedLength) + "\r\n";
        break;
    case Delivery::Chunked:
    case Delivery::EndlessChunks:
        head += "Transfer-Encoding: chunked\r\n";
        break;
    case Delivery::CloseDelimited:
        break;
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    switch (response.delivery) {
    case Delivery::Complete:
    case Delivery::CloseDelimited:
        socket->write(response.body);
        socket->disconnectFromHost();
        break;
    case Delivery::Chunked:
        for (qsizetype at = 0; at < response.body.size(); at += ChunkSize) {
            const QByteArray chunk = response.body.mid(at, ChunkSize);
            socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
        }
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
        break;
    case Delivery::StallMidBody:
        socket->write(response.body.left(response.body.size() / 2));
        break;
    case Delivery::CloseMidBody:
        socket->write(response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        break;
    case Delivery::AnnounceLength:
        socket->write(response.body);
        break;
    case Delivery::EndlessChunks: {
        // The body again and again, a chunk each time the last has gone out, so the
        // server's own memory stays flat however long the client keeps reading.
        const QByteArray chunk = QByteArray::number(response.body.size(), 16) + "\r\n" + response.body + "\r\n";
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
            if (socket->bytesToWrite() < chunk.size())
                socket->write(chunk);
        });
        socket->write(chunk);
        break;
    }
    }
}
