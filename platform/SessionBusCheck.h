// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

// Whether the session bus answers, found out without blocking. The first D-Bus call
// of a process connects to the bus and waits for it without a limit, so a bus socket
// that accepts and never answers would hang the program; this check talks to the
// socket itself first, within a time limit. A bus it cannot reach, or reaches by a
// transport other than a Unix socket, counts as answering: D-Bus itself then fails
// or works at once.
class SessionBusCheck final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionBusCheck)
public:
    static constexpr std::chrono::milliseconds Limit{2000};

    explicit SessionBusCheck(QObject* parent = nullptr);

    // Starts the check, or repeats the known answer; finished() follows, never within this call.
    void check();
    bool answers() const { return m_state == State::Answers; }
    // What to say when it does not.
    static QString silentProblem();

Q_SIGNALS:
    void finished(bool answers);

private:
    enum class State { Unchecked, Checking, Answers, Silent };
    void decide(bool answers);

    QLocalSocket m_socket;
    QTimer m_timer;
    State m_state = State::Unchecked;
};
