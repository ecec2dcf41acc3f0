#include "SmtpDialogue.h"

#include "ControlState.h"
#include "smtp/Smtp.h"

namespace {
const QString CrLf = QStringLiteral("\r\n");

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
    // The pause after a copy stands for the design's blocking wait, during
    // which no host call could run: the earlier send ends with its own events
    // first, copies included, and this request then runs as if just made.
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
    Q_EMIT m_control.BusyState(true);
    // A send already running is dropped and starts again.
    m_writer.abort();
    m_quitSent = false;
    connectToServer();
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Connecting to ") + m_state.mailServerDomain + CrLf);
}

void SmtpDialogue::connectToServer()
{
    m_replies.clear();
    m_socket.connectToServer(m_state.mailServerDomain, quint16(m_state.mailServerPort));
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
}

void SmtpDialogue::onDataArrived()
{
    const quint64 connection = m_socket.generation();
    const QList<SmtpReply> replies = m_replies.feed(m_socket.readAll());
    for (const SmtpReply& reply : replies) {
        // A reply handled before may have closed or replaced the connection.
        if (m_socket.generation() != connection)
            break;
        handleReply(reply);
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
    // Each step has one fitting code. Taking another code as a fresh start
    // (a 220 as a new greeting, a 221 as the goodbye) would let a server keep
    // the control looping or waiting for ever.
    if (reply.code != m_expectedCode) {
        Q_EMIT m_control.Error(QStringLiteral("Error from SMTP Server : ") + text);
        m_writer.abort();
        m_control.clearSendFlag();
        closeConnection();
        Q_EMIT m_control.BusyState(false);
        sendEnded();
        return;
    }
    switch (reply.code) {
    case 220:
        m_state.dialogueStep = ControlState::MailFrom;
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
        m_state.dialogueStep = ControlState::RcptTo;
        sendCommand(QStringLiteral("MAIL FROM:<") + m_state.mailFrom + QStringLiteral(">") + CrLf, 250);
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
