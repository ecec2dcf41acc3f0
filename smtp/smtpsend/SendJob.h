// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/Smtp.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

// One mail through the control: sets its properties, starts the send and
// reports the outcome. Finishes with exit code 0 only when the server
// accepted every copy.
class SendJob final : public QObject {
    Q_OBJECT
public:
    struct Mail {
        QString host;
        int port = Smtp::DefaultPort;
        QString from;
        QString to;
        QString cc;
        QString subject;
        QString message;
        QStringList attachments;
        int replyTimeoutSeconds = Smtp::DefaultReplyTimeoutSeconds;
        QString security = QStringLiteral("none");
        QString userName;
        QString password;
        QString caFile;
    };

    SendJob(Mail mail, bool verbose, bool timing, QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(SendJob)

    void start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void finish(int exitCode);

    Mail m_mail;
    bool m_verbose;
    bool m_timing;
    Smtp m_control;
    QElapsedTimer m_clock;
    int m_accepted = 0;
    bool m_failed = false;
    bool m_finishing = false;
};
