// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "MessageWriter.h"
#include "SmtpReply.h"
#include "SmtpSocket.h"

#include <QObject>
#include <QTimer>

class Smtp;
struct ControlState;

// The SMTP client dialogue of the control: one connection per copy of the
// message, each step driven by the server's replies.
class SmtpDialogue final : public QObject {
    Q_OBJECT
public:
    // The pause after each finished copy, before the next copy or the end.
    static constexpr int PauseAfterCopyMs = 1000;

    SmtpDialogue(Smtp& control, ControlState& state, QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(SmtpDialogue)

    // The host set SendMail to true: check the values and connect.
    void start();

private:
    // Where an extended (EHLO) dialogue is before the classic MAIL FROM.
    enum class Phase { Classic, Greeting, Ehlo, StartTls, AuthLoginName, AuthLoginPassword, Auth };

    void onDataArrived();
    void onSocketFailed(const QString& description);
    void onReplyTimeout();
    void onEncrypted();
    void handleExtended(const SmtpReply& reply);
    void sendEhlo();
    void login(const QStringList& mechanisms);
    void sendMailFrom();
    bool extended() const;
    void startHandshakeTimer();
    // The send ends as on an error reply: Error, the connection closed, BusyState(false).
    void endWithError(const QString& description);
    void onContentEnded(bool written);
    void handleReply(const SmtpReply& reply);
    // Commands are reported as sent, except where the report has its own text.
    void sendCommand(const QString& command, int expectedCode);
    void sendCommand(const QString& command, const QString& status, int expectedCode);
    void awaitReply(int code);
    void endOfCopy();
    void afterPause();
    void connectToServer();
    void closeConnection();
    void endWithSocketError(const QString& description);
    void sendEnded();
    QString refusalReason() const;

    Smtp& m_control;
    ControlState& m_state;
    SmtpSocket m_socket;
    ReplyAssembler m_replies;
    MessageWriter m_writer;
    QTimer m_replyTimer;
    QTimer m_pauseTimer;
    QTimer m_handshakeTimer;
    Phase m_phase = Phase::Classic;
    // More of the server's bytes came with the reply being handled.
    bool m_repliesFollow = false;
    // The one reply code that fits the step; NoCode while the content is written.
    static constexpr int NoCode = 0;
    int m_expectedCode = NoCode;
    // Between "quit" and the end of the pause: the server's 221 is still
    // welcome, anything else from that connection is no longer the dialogue's.
    bool m_quitSent = false;
    // SendMail was set while an earlier send was between copies; it runs once that send has ended.
    bool m_startQueued = false;
};
