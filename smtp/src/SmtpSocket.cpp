// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpSocket.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <QTimer>

namespace {
// A detached socket that cannot flush within this time is dropped.
constexpr int LingerMs = 30000;
} // namespace

SmtpSocket::SmtpSocket(QObject* parent)
    : QObject(parent)
{
}

SmtpSocket::~SmtpSocket()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void SmtpSocket::connectToServer(const QString& host, quint16 port, Transport transport)
{
    close();
    ++m_generation;
    m_sslErrors.clear();
    m_handshaking = false;
    m_implicitTls = transport == Transport::Tls;
    m_port = port;
    // A plain connection stays a QTcpSocket, so that it needs no TLS library at all.
    QSslSocket* ssl = transport == Transport::Plain ? nullptr : new QSslSocket(this);
    QTcpSocket* socket = ssl ? ssl : new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &SmtpSocket::dataArrived);
    connect(socket, &QTcpSocket::bytesWritten, this, &SmtpSocket::bytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
        if (socket != m_socket)
            return;
        const QString description = failureDescription(socket);
        m_socket = nullptr;
        ++m_generation;
        socket->abort();
        socket->deleteLater();
        Q_EMIT failed(description);
    });
    if (!ssl) {
        socket->connectToHost(host, port);
        return;
    }
    // Encrypted bytes draining into the network are what lets the writer go on.
    connect(ssl, &QSslSocket::encryptedBytesWritten, this, &SmtpSocket::bytesWritten);
    connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) { m_sslErrors = errors; });
    connect(ssl, &QSslSocket::encrypted, this, [this] {
        m_handshaking = false;
        Q_EMIT encrypted();
    });
    configureTls();
    if (transport == Transport::Upgradeable) {
        ssl->connectToHost(host, port);
        return;
    }
    connect(ssl, &QSslSocket::connected, this, [this] { m_handshaking = true; });
    // The name given is the one the certificate must carry.
    ssl->connectToHostEncrypted(host, port);
}

// The system's trust store plus the extra certificates; the peer is always verified.
void SmtpSocket::configureTls()
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket.data());
    if (!ssl)
        return;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(m_extraCa);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    ssl->setSslConfiguration(configuration);
}

void SmtpSocket::startEncryption()
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket.data());
    if (!ssl || ssl->isEncrypted())
        return;
    m_sslErrors.clear();
    m_handshaking = true;
    ssl->startClientEncryption();
}

QString SmtpSocket::failureDescription(QTcpSocket* socket) const
{
    if (!m_handshaking)
        return socket->errorString();
    const QString failed = QStringLiteral("The TLS handshake with the SMTP server failed: ");
    if (m_sslErrors.isEmpty()) {
        // OpenSSL's words for a greeting in plain text where a TLS record was due.
        const QString reason = socket->errorString();
        if (m_implicitTls && (reason.contains(QLatin1String("wrong version number")) ||
                              reason.contains(QLatin1String("unknown protocol"))))
            return failed + QStringLiteral("the server did not answer TLS on port %1; try STARTTLS").arg(m_port);
        return failed + reason;
    }
    QStringList reasons;
    bool unknownIssuer = false;
    for (const QSslError& error : m_sslErrors) {
        reasons.append(error.errorString());
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            unknownIssuer = true;
            break;
        default:
            break;
        }
    }
    reasons.removeDuplicates();
    if (!unknownIssuer)
        return QStringLiteral("The SMTP server's certificate is not trusted: ") + reasons.join(QStringLiteral("; "));
    return QStringLiteral("The SMTP server's certificate is not trusted (unknown issuer); if the server uses your "
                          "own CA, point SSL_CERT_FILE at its certificate (%1)")
        .arg(reasons.join(QStringLiteral("; ")));
}

bool SmtpSocket::isEncrypted() const
{
    const auto* ssl = qobject_cast<const QSslSocket*>(m_socket.data());
    return ssl && ssl->isEncrypted();
}

bool SmtpSocket::isOpen() const
{
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

bool SmtpSocket::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void SmtpSocket::write(const QByteArray& bytes)
{
    // Copied, so that the caller can reuse its buffer.
    if (m_socket && !bytes.isEmpty())
        m_socket->write(bytes.constData(), bytes.size());
}

QByteArray SmtpSocket::readAll()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

// Over TLS the plain bytes are encrypted at once and wait as encrypted bytes;
// both count, or the writer would never see the connection fill up.
qint64 SmtpSocket::bytesToWrite() const
{
    if (!m_socket)
        return 0;
    const auto* ssl = qobject_cast<const QSslSocket*>(m_socket.data());
    return m_socket->bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0);
}

void SmtpSocket::close()
{
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    if (!socket)
        return;
    ++m_generation;
    socket->disconnect(this);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    QTimer::singleShot(LingerMs, socket, [socket] { socket->abort(); socket->deleteLater(); });
    socket->disconnectFromHost();
}
