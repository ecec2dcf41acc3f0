#include "SmtpSocket.h"

#include <QTcpSocket>
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

void SmtpSocket::connectToServer(const QString& host, quint16 port)
{
    close();
    ++m_generation;
    auto* socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &SmtpSocket::dataArrived);
    connect(socket, &QTcpSocket::bytesWritten, this, &SmtpSocket::bytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
        if (socket != m_socket)
            return;
        const QString description = socket->errorString();
        m_socket = nullptr;
        ++m_generation;
        socket->abort();
        socket->deleteLater();
        Q_EMIT failed(description);
    });
    socket->connectToHost(host, port);
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

qint64 SmtpSocket::bytesToWrite() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
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
