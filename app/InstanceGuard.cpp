// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace {
constexpr int AnswerMilliseconds = 1000;
// A run that starts at the same moment creates its lock file a little before it writes
// its process number into it.
constexpr int LockWritingMilliseconds = 200;
const QByteArray RaiseRequest = "raise\n";
} // namespace

InstanceGuard::InstanceGuard(const QString& settingsFolder, QObject* parent)
    : QObject(parent)
    , m_folder(QDir(settingsFolder).absolutePath())
{
    // Socket names live in one namespace for the whole user; the folder's hash keeps
    // runs on different settings apart.
    m_serverName = QStringLiteral("offerwatch-%1-%2")
                       .arg(QString::fromLocal8Bit(qgetenv("USER")),
                            QString::fromLatin1(QCryptographicHash::hash(m_folder.toUtf8(), QCryptographicHash::Sha256)
                                                    .toHex()
                                                    .left(16)));
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // Only the one request is understood; anything else is dropped unread.
                if (socket->bytesAvailable() >= RaiseRequest.size() && socket->read(RaiseRequest.size()) == RaiseRequest)
                    Q_EMIT raiseRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::Outcome InstanceGuard::claim()
{
    if (!QDir().mkpath(m_folder)) {
        m_problem = QStringLiteral("the folder %1 cannot be made").arg(m_folder);
        return Outcome::Unguarded;
    }
    m_lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(QStringLiteral("offerwatch.lock")));
    // A run lasts for weeks: only a lock whose process is gone is stale, never an old one.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Outcome::First;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        m_problem = QStringLiteral("the lock file in %1 cannot be written").arg(m_folder);
        m_lock.reset();
        return Outcome::Unguarded;
    }
    if (!readHolder()) {
        QThread::msleep(LockWritingMilliseconds);
        if (!readHolder() && !holderAnswers())
            return takeOverDamagedLock();
    }
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (socket.waitForConnected(AnswerMilliseconds)) {
        socket.write(RaiseRequest);
        socket.waitForBytesWritten(AnswerMilliseconds);
        socket.disconnectFromServer();
    }
    return Outcome::AlreadyRunning;
}

void InstanceGuard::listen()
{
    // The socket of a crashed run may still be there; holding the lock makes it ours.
    QLocalServer::removeServer(m_serverName);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_serverName);
}

bool InstanceGuard::readHolder()
{
    QString host;
    QString application;
    return m_lock->getLockInfo(&m_runningProcess, &host, &application) && m_runningProcess > 0;
}

bool InstanceGuard::holderAnswers() const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    return socket.waitForConnected(AnswerMilliseconds);
}

// An empty or garbled lock file (a crash while it was written, a full disk, a hand edit)
// names no process that could still hold it, and nothing answers on the socket: left
// alone it would keep every later start out for good.
InstanceGuard::Outcome InstanceGuard::takeOverDamagedLock()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("offerwatch.lock"));
    if (!QFileInfo(path).isFile() || !QFile::remove(path) || !m_lock->tryLock(0)) {
        m_problem = QStringLiteral("%1 is damaged and cannot be replaced").arg(path);
        m_lock.reset();
        return Outcome::Unguarded;
    }
    listen();
    return Outcome::First;
}
