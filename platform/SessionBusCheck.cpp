// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SessionBusCheck.h"

#include <QFileInfo>

#include <optional>

#include <unistd.h>

namespace {
struct SocketAddress {
    QString name;
    bool abstract = false;
};

// The Unix socket of the first address in DBUS_SESSION_BUS_ADDRESS ("unix:path=..." or
// "unix:abstract=...", values %-escaped), or without one the systemd default.
std::optional<SocketAddress> busSocket()
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
            return std::nullopt;
        return SocketAddress{runtime + QStringLiteral("/bus")};
    }
    const QByteArray first = address.split(';').first();
    if (!first.startsWith("unix:"))
        return std::nullopt;
    for (const QByteArray& pair : first.mid(5).split(',')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray key = pair.left(equals);
        const QString value = QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(equals + 1)));
        if (key == "path")
            return SocketAddress{value};
        if (key == "abstract")
            return SocketAddress{value, true};
    }
    return std::nullopt;
}
} // namespace

SessionBusCheck::SessionBusCheck(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(Limit);
    connect(&m_timer, &QTimer::timeout, this, [this] { decide(false); });
    // Any answer to the greeting ("OK" or "REJECTED") shows that the bus is alive.
    connect(&m_socket, &QLocalSocket::readyRead, this, [this] { decide(true); });
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this] { decide(true); });
    connect(&m_socket, &QLocalSocket::connected, this, [this] {
        // The D-Bus greeting: a NUL byte, then SASL EXTERNAL with our user id in hex.
        m_socket.write(QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(getuid()).toHex() + "\r\n");
    });
}

QString SessionBusCheck::silentProblem()
{
    return QStringLiteral("the session bus did not answer within %1 seconds").arg(Limit.count() / 1000);
}

void SessionBusCheck::check()
{
    if (m_state == State::Checking)
        return;
    if (m_state == State::Answers) {
        QMetaObject::invokeMethod(this, [this] { Q_EMIT finished(true); }, Qt::QueuedConnection);
        return;
    }
    const auto socket = busSocket();
    m_state = State::Checking;
    if (!socket) {
        QMetaObject::invokeMethod(this, [this] { decide(true); }, Qt::QueuedConnection);
        return;
    }
    m_socket.abort();
    m_socket.setSocketOptions(socket->abstract ? QLocalSocket::AbstractNamespaceOption : QLocalSocket::NoOptions);
    m_timer.start();
    m_socket.connectToServer(socket->name);
}

void SessionBusCheck::decide(bool answers)
{
    if (m_state != State::Checking)
        return;
    m_timer.stop();
    m_state = answers ? State::Answers : State::Silent;
    m_socket.abort();
    Q_EMIT finished(answers);
}
