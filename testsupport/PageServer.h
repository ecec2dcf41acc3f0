// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
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

    static PageResponse page(const QByteArray& body, const QByteArray& contentType = "text/html; charset=utf-8");
    static PageResponse redirect(const QUrl& target, int status = 302);
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
    QUrl url(const QString& path = QStringLiteral("/page")) const;

    void enqueue(const PageResponse& response) { m_queue.append(response); }
    void setDefaultResponse(const PageResponse& response) { m_default = response; }

    // The head (request line and header fields) of every request, in order.
    QList<QByteArray> requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    // The body of every request (empty without Content-Length), in the same order.
    QList<QByteArray> bodies() const { return m_bodies; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void onReadyRead(QTcpSocket* socket);
    static void answer(QTcpSocket* socket, const PageResponse& response);

    QSslCertificate m_certificate;
    QSslKey m_key;
    QList<PageResponse> m_queue;
    PageResponse m_default = PageResponse::page("<html><body>default page</body></html>");
    QList<QByteArray> m_requests;
    QList<QByteArray> m_bodies;
};
