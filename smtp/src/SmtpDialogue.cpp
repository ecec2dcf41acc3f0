// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpDialogue.h"

#include "ControlState.h"
#include "smtp/Smtp.h"

#include <QSslCertificate>
#include <QSslSocket>

namespace {
const QString CrLf = QStringLiteral("\r\n");
// What status reports show in place of a login secret.
const QString Masked = QStringLiteral("****");

// A line break would end the command or header line and let the rest pass
// as a line of its own. An address goes between angle brackets, where any
// other control character (NUL included) or a bracket would end the path and
// let the rest pass as ESMTP parameters (RFC 5321 section 4.1.2).
QString unsafeCharacter(const QString& text, bool isAddress)
{
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return QStringLiteral("a line break");
    if (!isAddress)
        return {};
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("the control character 0x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        if (c == QLatin1Char('<') || c == QLatin1Char('>'))
            return QStringLiteral("\"%1\"").arg(c);
    }
    return {};
}
} // namespace

SmtpDialogue::SmtpDialogue(Smtp& control, ControlState& state, QObject* parent)
    : QObject(parent)
    , m_control(control)
    , m_state(state)
    , m_socket(this)
    , m_writer(control, state, m_socket, [this](bool written) { onContentEnded(written); })
{
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setTimerType(Qt::PreciseTimer);
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(PauseAfterCopyMs);
    // A coarse timer may fire up to 5 % early; the pause is never shorter.
    m_pauseTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_socket, &SmtpSocket::dataArrived, this, &SmtpDialogue::onDataArrived);
    connect(&m_socket, &SmtpSocket::failed, this, &SmtpDialogue::onSocketFailed);
    connect(&m_socket, &SmtpSocket::bytesWritten, this, [this] {
        // Our own bytes draining into a slow connection are not the server's
        // reply being late; only the server's side of the wait is bounded.
        if (m_replyTimer.isActive())
            m_replyTimer.start();
        m_writer.resume();
    });
    connect(&m_replyTimer, &QTimer::timeout, this, &SmtpDialogue::onReplyTimeout);
    m_handshakeTimer.setSingleShot(true);
    m_handshakeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_handshakeTimer, &QTimer::timeout, this, [this] {
        endWithSocketError(QStringLiteral("The TLS handshake with the SMTP server did not finish within %1 seconds")
                               .arg(m_state.handshakeTimeoutSeconds));
    });
    connect(&m_socket, &SmtpSocket::encrypted, this, &SmtpDialogue::onEncrypted);
    connect(&m_pauseTimer, &QTimer::timeout, this, &SmtpDialogue::afterPause);
}

// Values that end up inside a command or a header line must not carry a line
// break: it would end that line and let the rest pass as a command or header
// of its own.
QString SmtpDialogue::refusalReason() const
{
    struct Checked {
        const char* name;
        const QString* value;
        bool isAddress;
    };
    const Checked values[] = {
        {"MailServerDomain", &m_state.mailServerDomain, false},
        {"MailFrom", &m_state.mailFrom, true},
        {"MailTo", &m_state.mailTo, true},
        {"Subject", &m_state.subject, false},
        // Only a pending copy list is sent; its separators are harmless.
        {"CCAddress", m_state.ccPending ? &m_state.ccAddress : nullptr, true},
    };
    for (const Checked& checked : values) {
        if (!checked.value)
            continue;
        if (const QString character = unsafeCharacter(*checked.value, checked.isAddress); !character.isEmpty())
            return QStringLiteral("%1 contains %2; the mail is not sent").arg(QLatin1String(checked.name), character);
    }
    // A NUL would split the name or the password inside AUTH PLAIN (RFC 4616).
    if (m_state.userName.contains(QChar(0)) || m_state.password.contains(QChar(0)))
        return QStringLiteral("UserName or Password contains a NUL character; the mail is not sent");
    if (!m_state.userName.isEmpty() && m_state.security == ControlState::Security::None)
        return QStringLiteral("A login is never sent over an unencrypted connection: set Security to starttls or "
                              "tls; the mail is not sent");
    if (!m_state.userName.isEmpty() && m_state.password.isEmpty())
        return QStringLiteral("UserName is set but Password is empty; no login is sent without a password; "
                              "the mail is not sent");
    if (m_state.hasAttachments) {
        for (const QString& path : m_state.attachmentList) {
            if (!unsafeCharacter(path, false).isEmpty() || path.contains(QLatin1Char('"')))
                return QStringLiteral("The attachment file name \"%1\" contains a line break or a double quote; "
                                      "the mail is not sent")
                    .arg(MessageWriter::extractFileName(path).simplified());
        }
    }
    return {};
}

void SmtpDialogue::start()
{
    // Hosts were written against a control that blocked for the pause after a copy,
    // so no call of theirs could land inside it: the earlier send ends with its own
    // events first, copies included, and this request then runs as if just made.
    if (m_pauseTimer.isActive() || m_startQueued) {
        m_startQueued = true;
        return;
    }
    if (m_state.mailFrom.trimmed().isEmpty()) {
        Q_EMIT m_control.Error(QStringLiteral("Mail from can't be blank !!"));
        m_control.clearSendFlag();
        return;
    }
    if (const QString reason = refusalReason(); !reason.isEmpty()) {
        Q_EMIT m_control.Error(reason);
        m_control.clearSendFlag();
        return;
    }
    if (extended()) {
        if (!QSslSocket::supportsSsl()) {
            Q_EMIT m_control.Error(QStringLiteral("TLS is not available on this system; the mail is not sent"));
            m_control.clearSendFlag();
            return;
        }
        // The file OpenSSL users already name for their own CA serves where the host names none.
        QString caFile = m_state.caFile;
        QString caSetting = QStringLiteral("CaFile");
        if (caFile.isEmpty()) {
            caFile = qEnvironmentVariable("SSL_CERT_FILE");
            caSetting = QStringLiteral("SSL_CERT_FILE");
        }
        QList<QSslCertificate> extraCa;
        if (!caFile.isEmpty()) {
            extraCa = QSslCertificate::fromPath(caFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
            if (extraCa.isEmpty()) {
                Q_EMIT m_control.Error(QStringLiteral("%1 \"%2\" holds no readable PEM certificate; "
                                                      "the mail is not sent")
                                           .arg(caSetting, caFile));
                m_control.clearSendFlag();
                return;
            }
        }
        m_socket.setExtraCaCertificates(extraCa);
    }
    Q_EMIT m_control.BusyState(true);
    // A send already running is dropped and starts again.
    m_writer.abort();
    m_quitSent = false;
    connectToServer();
    const QString host = m_state.mailServerDomain.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + m_state.mailServerDomain + QLatin1Char(']')
                             : m_state.mailServerDomain;
    Q_EMIT m_control.ConnectionStatus(
        QStringLiteral("Connecting to %1:%2").arg(host).arg(m_state.mailServerPort) + CrLf);
}

bool SmtpDialogue::extended() const
{
    return m_state.security != ControlState::Security::None;
}

void SmtpDialogue::connectToServer()
{
    m_replies.clear();
    m_state.eightBitMime = false;
    m_handshakeTimer.stop();
    const auto port = quint16(m_state.mailServerPort);
    if (!extended()) {
        m_phase = Phase::Classic;
        m_socket.connectToServer(m_state.mailServerDomain, port);
        awaitReply(220);
        return;
    }
    m_phase = Phase::Greeting;
    if (m_state.security == ControlState::Security::StartTls) {
        m_socket.connectToServer(m_state.mailServerDomain, port, SmtpSocket::Transport::Upgradeable);
        awaitReply(220);
        return;
    }
    // The greeting is awaited once the handshake is done; until then only the handshake limit runs.
    m_socket.connectToServer(m_state.mailServerDomain, port, SmtpSocket::Transport::Tls);
    m_expectedCode = 220;
    startHandshakeTimer();
}

void SmtpDialogue::startHandshakeTimer()
{
    m_replyTimer.stop();
    m_handshakeTimer.start(m_state.handshakeTimeoutSeconds * 1000);
}

void SmtpDialogue::onEncrypted()
{
    m_handshakeTimer.stop();
    if (m_phase == Phase::StartTls) {
        // RFC 3207 section 4.2: all that was learnt before TLS is forgotten.
        sendEhlo();
        return;
    }
    if (m_phase == Phase::Greeting)
        awaitReply(220);
}

// The time-out runs from the command to the complete reply; bytes that
// trickle in do not extend it.
void SmtpDialogue::awaitReply(int code)
{
    m_expectedCode = code;
    m_replyTimer.start(m_state.replyTimeoutSeconds * 1000);
}

void SmtpDialogue::closeConnection()
{
    m_socket.close();
    m_replyTimer.stop();
    m_handshakeTimer.stop();
}

void SmtpDialogue::onDataArrived()
{
    const quint64 connection = m_socket.generation();
    const QList<SmtpReply> replies = m_replies.feed(m_socket.readAll());
    for (qsizetype i = 0; i < replies.size(); ++i) {
        // A reply handled before may have closed or replaced the connection.
        if (m_socket.generation() != connection)
            break;
        m_repliesFollow = i + 1 < replies.size() || m_replies.hasPartial();
        handleReply(replies[i]);
    }
}

void SmtpDialogue::handleReply(const SmtpReply& reply)
{
    const QString text = QString::fromLatin1(reply.text);
    if (m_quitSent) {
        // The copy has been accepted; only the goodbye is of interest now.
        if (reply.code == 221) {
            Q_EMIT m_control.ConnectionStatus(text);
            Q_EMIT m_control.ConnectionStatus(text + CrLf);
            m_control.clearSendFlag();
            m_socket.close();
        }
        return;
    }
    Q_EMIT m_control.ConnectionStatus(text);
    // After DATA the step is none, and a 250 then moves nothing on.
    const bool strayAfterData = reply.code == 250 && m_state.dialogueStep == ControlState::None &&
                                (m_expectedCode == 354 || m_expectedCode == NoCode);
    if (strayAfterData)
        return;
    if (m_phase != Phase::Classic && m_phase != Phase::Greeting) {
        handleExtended(reply);
        return;
    }
    // Each step has one fitting code. Taking another code as a fresh start
    // (a 220 as a new greeting, a 221 as the goodbye) would let a server keep
    // the control looping or waiting for ever.
    if (reply.code != m_expectedCode) {
        endWithError(QStringLiteral("Error from SMTP Server : ") + text);
        return;
    }
    switch (reply.code) {
    case 220:
        m_state.dialogueStep = ControlState::MailFrom;
        if (extended()) {
            sendEhlo();
            return;
        }
        sendCommand(QStringLiteral("HELO ") + m_state.mailServerDomain + CrLf, 250);
        return;
    case 354:
        awaitReply(NoCode);
        m_writer.writeContent();
        return;
    default:
        break;
    }
    switch (m_state.dialogueStep) {
    case ControlState::MailFrom:
        sendMailFrom();
        return;
    case ControlState::RcptTo:
        m_state.dialogueStep = ControlState::Data;
        sendCommand(QStringLiteral("RCPT TO:<") + m_state.mailTo + QStringLiteral(">") + CrLf, 250);
        return;
    case ControlState::Data:
        m_state.dialogueStep = ControlState::None;
        sendCommand(QStringLiteral("DATA") + CrLf, 354);
        return;
    case ControlState::Quit:
        endOfCopy();
        return;
    default:
        return;
    }
}

void SmtpDialogue::endWithError(const QString& description)
{
    Q_EMIT m_control.Error(description);
    m_writer.abort();
    m_control.clearSendFlag();
    closeConnection();
    Q_EMIT m_control.BusyState(false);
    sendEnded();
}

void SmtpDialogue::sendMailFrom()
{
    m_phase = Phase::Classic;
    m_state.dialogueStep = ControlState::RcptTo;
    // RFC 6152 section 3: 8bit content is announced with the sender.
    const QString body = MessageWriter::bodyEncoding(m_state) == MessageWriter::BodyEncoding::EightBit
                             ? QStringLiteral(" BODY=8BITMIME")
                             : QString();
    sendCommand(QStringLiteral("MAIL FROM:<") + m_state.mailFrom + QStringLiteral(">") + body + CrLf, 250);
}

// The extended dialogue keeps the server's name as the greeting's argument,
// as the plain one does.
void SmtpDialogue::sendEhlo()
{
    m_phase = Phase::Ehlo;
    sendCommand(QStringLiteral("EHLO ") + m_state.mailServerDomain + CrLf, 250);
}

void SmtpDialogue::handleExtended(const SmtpReply& reply)
{
    const QString text = QString::fromLatin1(reply.text);
    const bool loggingIn =
        m_phase == Phase::AuthLoginName || m_phase == Phase::AuthLoginPassword || m_phase == Phase::Auth;
    if (reply.code != m_expectedCode) {
        // RFC 4954 section 6: 535, the credentials were not accepted.
        const QString hint = loggingIn && reply.code == 535
                                 ? QStringLiteral(": check the user name; many providers need an app password")
                                 : QString();
        endWithError((loggingIn ? QStringLiteral("The SMTP server refused the login : ")
                                : QStringLiteral("Error from SMTP Server : ")) +
                     (hint.isEmpty() ? text : text.trimmed() + hint));
        return;
    }
    switch (m_phase) {
    case Phase::Ehlo: {
        // Keywords of the lines after the first (RFC 5321 section 4.1.1.1).
        QStringList keywords;
        QStringList mechanisms;
        const QStringList lines = text.split(CrLf, Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList words = lines[i].mid(4).toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty())
                continue;
            keywords.append(words.first());
            if (words.first() == QLatin1String("AUTH"))
                mechanisms += words.mid(1);
        }
        m_state.eightBitMime = keywords.contains(QLatin1String("8BITMIME"));
        if (m_state.security == ControlState::Security::StartTls && !m_socket.isEncrypted()) {
            if (!keywords.contains(QLatin1String("STARTTLS"))) {
                endWithError(QStringLiteral("The SMTP server does not offer STARTTLS; the mail is not sent"));
                return;
            }
            m_phase = Phase::StartTls;
            sendCommand(QStringLiteral("STARTTLS") + CrLf, 220);
            return;
        }
        if (m_state.userName.isEmpty()) {
            sendMailFrom();
            return;
        }
        login(mechanisms);
        return;
    }
    case Phase::StartTls:
        // Bytes sent before the handshake would be taken as if they had come
        // over TLS (RFC 3207 section 5); a server that sends them is not trusted.
        if (m_repliesFollow) {
            endWithError(QStringLiteral("The SMTP server sent more than its reply to STARTTLS; "
                                        "the mail is not sent"));
            return;
        }
        startHandshakeTimer();
        m_socket.startEncryption();
        return;
    case Phase::AuthLoginName:
        m_phase = Phase::AuthLoginPassword;
        sendCommand(QString::fromLatin1(m_state.userName.toUtf8().toBase64()) + CrLf, Masked + CrLf, 334);
        return;
    case Phase::AuthLoginPassword:
        m_phase = Phase::Auth;
        sendCommand(QString::fromLatin1(m_state.password.toUtf8().toBase64()) + CrLf, Masked + CrLf, 235);
        return;
    case Phase::Auth:
        sendMailFrom();
        return;
    default:
        return;
    }
}

void SmtpDialogue::login(const QStringList& mechanisms)
{
    if (!m_socket.isEncrypted()) {
        endWithError(QStringLiteral("A login is never sent over an unencrypted connection; the mail is not sent"));
        return;
    }
    if (mechanisms.contains(QLatin1String("PLAIN"))) {
        const QByteArray response =
            QByteArray(1, '\0') + m_state.userName.toUtf8() + QByteArray(1, '\0') + m_state.password.toUtf8();
        m_phase = Phase::Auth;
        sendCommand(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(response.toBase64()) + CrLf,
                    QStringLiteral("AUTH PLAIN ") + Masked + CrLf, 235);
        return;
    }
    if (mechanisms.contains(QLatin1String("LOGIN"))) {
        m_phase = Phase::AuthLoginName;
        sendCommand(QStringLiteral("AUTH LOGIN") + CrLf, 334);
        return;
    }
    endWithError(QStringLiteral("The SMTP server offers no login this control can use (AUTH PLAIN or LOGIN); "
                                "the mail is not sent"));
}

void SmtpDialogue::onContentEnded(bool written)
{
    if (written) {
        awaitReply(250);
        return;
    }
    // An attachment failed and the writer has closed the connection.
    m_replyTimer.stop();
    sendEnded();
}

void SmtpDialogue::sendCommand(const QString& command, const QString& status, int expectedCode)
{
    awaitReply(expectedCode);
    m_socket.write(command.toLatin1());
    Q_EMIT m_control.ConnectionStatus(status);
}

void SmtpDialogue::sendCommand(const QString& command, int expectedCode)
{
    sendCommand(command, command, expectedCode);
}

void SmtpDialogue::endOfCopy()
{
    sendCommand(QStringLiteral("quit") + CrLf, QStringLiteral("Quit from SMTP server") + CrLf, 221);
    // The connection stays open through the pause so that the server's 221
    // can arrive (RFC 5321 section 4.1.1.10); it is closed when the pause ends.
    m_quitSent = true;
    m_replyTimer.stop();
    m_pauseTimer.start();
    Q_EMIT m_control.MailHasBeenSent(true);
}

void SmtpDialogue::afterPause()
{
    m_quitSent = false;
    closeConnection();
    if (m_state.ccPending && m_state.ccCursor < m_state.ccList.size()) {
        m_state.mimeHeaderPending = false;
        m_state.isLastAttachment = false;
        m_state.openingBoundaryPending = true;
        Q_EMIT m_control.BusyState(true);
        m_state.mailTo = m_state.ccList.at(m_state.ccCursor);
        Q_EMIT m_control.propertyChanged(QStringLiteral("MailTo"));
        connectToServer();
        ++m_state.ccCursor;
        return;
    }
    m_state.ccPending = false;
    Q_EMIT m_control.BusyState(false);
    Q_EMIT m_control.DisconnectedFromSMTPServer(true);
    sendEnded();
}

// A request held back while the earlier send ran is carried out now, after
// the current event, as the host's own assignment of SendMail would be.
void SmtpDialogue::sendEnded()
{
    if (!std::exchange(m_startQueued, false))
        return;
    QMetaObject::invokeMethod(
        this, [this] { m_control.setSendMail(true); }, Qt::QueuedConnection);
}

void SmtpDialogue::onSocketFailed(const QString& description)
{
    // After "quit" the copy is delivered and the server is free to hang up.
    if (m_quitSent)
        return;
    endWithSocketError(description);
}

void SmtpDialogue::onReplyTimeout()
{
    endWithSocketError(QStringLiteral("No reply from the SMTP server within %1 seconds")
                           .arg(m_state.replyTimeoutSeconds));
}

void SmtpDialogue::endWithSocketError(const QString& description)
{
    m_writer.abort();
    Q_EMIT m_control.Error(description);
    m_control.clearSendFlag();
    closeConnection();
    sendEnded();
}
