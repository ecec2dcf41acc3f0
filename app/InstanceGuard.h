// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

// One running program per settings folder: two monitors on the same settings and log
// would alert everything twice. The first holds a lock file in the folder (a lock left
// by a crashed run is taken over) and listens on a local socket, through which a later
// start asks it to bring its window to the front.
class InstanceGuard final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceGuard)
public:
    enum class Outcome { First, AlreadyRunning, Unguarded };

    explicit InstanceGuard(const QString& settingsFolder, QObject* parent = nullptr);
    ~InstanceGuard() override;

    // AlreadyRunning: runningProcess() names the other; the request to raise its window
    // has been sent. Unguarded: problem() says why nothing could be checked.
    Outcome claim();
    qint64 runningProcess() const { return m_runningProcess; }
    const QString& problem() const { return m_problem; }

Q_SIGNALS:
    // Another start asked for this program's window.
    void raiseRequested();

private:
    void listen();
    bool readHolder();
    bool holderAnswers() const;
    Outcome takeOverDamagedLock();

    QString m_folder;
    QString m_serverName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    qint64 m_runningProcess = 0;
    QString m_problem;
};
