// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SendJob.h"

#include <QTimer>

#include <cstdio>

namespace {
void printError(const QString& text)
{
    std::fprintf(stderr, "smtpsend: %s\n", qPrintable(text));
}
} // namespace

SendJob::SendJob(Mail mail, bool verbose, bool timing, QObject* parent)
    : QObject(parent)
    , m_mail(std::move(mail))
    , m_verbose(verbose)
    , m_timing(timing)
{
    connect(&m_control, &Smtp::Error, this, [this](const QString& description) {
        printError(description.trimmed());
        m_failed = true;
        finish(1);
    });
    connect(&m_control, &Smtp::ConnectionStatus, this, [this](const QString& status) {
        if (m_verbose && !status.isEmpty())
            std::fputs(status.toLatin1().replace("\r\n", "\n").constData(), stderr);
    });
    connect(&m_control, &Smtp::MailHasBeenSent, this, [this] {
        ++m_accepted;
        if (m_timing)
            std::fprintf(stderr, "smtpsend: copy %d accepted after %.3f s\n", m_accepted,
                         double(m_clock.nsecsElapsed()) / 1e9);
    });
    connect(&m_control, &Smtp::DisconnectedFromSMTPServer, this, [this] { finish(m_failed ? 1 : 0); });
}

void SendJob::start()
{
    m_clock.start();
    m_control.setMailServerPort(m_mail.port);
    m_control.setReplyTimeout(m_mail.replyTimeoutSeconds);
    m_control.setSecurity(m_mail.security);
    m_control.setUserName(m_mail.userName);
    m_control.setPassword(m_mail.password);
    m_control.setCaFile(m_mail.caFile);
    m_control.setMailServerDomain(m_mail.host);
    m_control.setMailFrom(m_mail.from);
    m_control.setMailTo(m_mail.to);
    m_control.setCCAddress(m_mail.cc);
    m_control.setSubject(m_mail.subject);
    m_control.setMessage(m_mail.message);
    m_control.setAttachmentFile(m_mail.attachments.join(QLatin1Char(';')));
    if (m_failed)
        return;
    m_control.setSendMail(true);
}

// Errors often come in a burst from one call (an unreadable attachment is
// followed by one report per remaining attachment); all are printed first.
void SendJob::finish(int exitCode)
{
    if (m_finishing)
        return;
    m_finishing = true;
    QTimer::singleShot(0, this, [this, exitCode] { Q_EMIT finished(exitCode); });
}
