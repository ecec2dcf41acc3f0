// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessagingSession.h"

#include "smtp/src/MailText.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

namespace {
// The text of a failing sendmail goes into one log line; keep it readable.
constexpr qsizetype MaxDiagnosticChars = 300;

bool fail(MessagingError* error, int number, const QString& description)
{
    if (error)
        *error = MessagingError{number, description};
    return false;
}

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString secondsText(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'f', 1);
}

bool isAtext(QChar c)
{
    static const QString specials = QStringLiteral("!#$%&'*+-/=?^_`{|}~");
    return c.isLetterOrNumber() || specials.contains(c);
}

QByteArray subjectHeader(const QString& subject)
{
    const QString folded = foldedSubject(subject);
    const bool plain = MailText::isAscii(folded) && folded.size() + 9 <= MailText::MaxLineOctets;
    return "Subject: " + (plain ? folded.toLatin1() : MailText::encodedWords(folded, "\n")) + '\n';
}

// sendmail reads the local text convention from its standard input: LF line ends.
QByteArray composeMessage(const QString& address, const QString& subject, const QString& text)
{
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QByteArray bodyBytes = body.toUtf8();
    // An 8bit body with a line over 998 octets is not a valid message; it goes quoted-printable.
    const bool eightBit = !bodyBytes.contains('\0') && MailText::linesFit(bodyBytes);

    QString host = QSysInfo::machineHostName();
    host.removeIf([](QChar c) { return !(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'.' && c != u'-'; });
    if (host.isEmpty())
        host = QStringLiteral("localhost");

    QByteArray message;
    message += "To: " + address.toUtf8() + '\n';
    message += subjectHeader(subject);
    message += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + '\n';
    message += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@'
               + host.toLatin1() + ">\n";
    message += "MIME-Version: 1.0\n";
    message += "Content-Type: text/plain; charset=UTF-8\n";
    message += eightBit ? "Content-Transfer-Encoding: 8bit\n" : "Content-Transfer-Encoding: quoted-printable\n";
    message += '\n';
    message += eightBit ? bodyBytes : MailText::quotedPrintable(bodyBytes, "\n");
    if (!message.endsWith('\n'))
        message += '\n';
    return message;
}

QString diagnosticText(QByteArray output)
{
    QString text = QString::fromLocal8Bit(output).simplified();
    if (text.size() > MaxDiagnosticChars)
        text = text.left(MaxDiagnosticChars) + QStringLiteral("...");
    return text;
}

class SendmailRecipient final : public MessagingRecipient {
public:
    void setName(const QString& name) override
    {
        m_name = name;
        m_address.clear();
    }
    QString name() const override { return m_name; }
    bool Resolve(MessagingError* error) override
    {
        // Blanks around a name are no part of the address; line breaks anywhere are refused.
        qsizetype first = 0;
        qsizetype last = m_name.size();
        while (first < last && (m_name.at(first) == u' ' || m_name.at(first) == u'\t'))
            ++first;
        while (last > first && (m_name.at(last - 1) == u' ' || m_name.at(last - 1) == u'\t'))
            --last;
        const QString address = m_name.mid(first, last - first);
        const QString problem = mailboxAddressProblem(address);
        if (!problem.isEmpty())
            return fail(error, MessagingErrorNumber::InvalidAddress, problem);
        m_address = address;
        return true;
    }
    const QString& address() const { return m_address; }

private:
    QString m_name;
    QString m_address;
};

class SendmailMessage final : public MessagingMessage {
public:
    SendmailMessage(QString program, int timeLimitMs)
        : m_program(std::move(program))
        , m_timeLimitMs(timeLimitMs)
    {
    }

    void setSubject(const QString& subject) override { m_subject = subject; }
    void setText(const QString& text) override { m_text = text; }
    MessagingRecipient* addRecipient(MessagingError* error) override
    {
        if (m_recipient) {
            fail(error, MessagingErrorNumber::RecipientExists, QStringLiteral("the message already has its recipient"));
            return nullptr;
        }
        m_recipient = std::make_unique<SendmailRecipient>();
        return m_recipient.get();
    }
    // The outbox is this object; there is nothing to save it to.
    bool Update(MessagingError*) override { return true; }
    bool Send(bool showDialog, MessagingError* error) override;

private:
    bool openComposer(MessagingError* error) const;
    bool pipeToSendmail(MessagingError* error) const;

    QString m_program;
    int m_timeLimitMs;
    QString m_subject;
    QString m_text;
    std::unique_ptr<SendmailRecipient> m_recipient;
};

bool SendmailMessage::Send(bool showDialog, MessagingError* error)
{
    if (!m_recipient)
        return fail(error, MessagingErrorNumber::NoRecipient, QStringLiteral("the message has no recipient"));
    // Resolve is the gate that keeps header text out of the address; a name changed
    // after resolving has to pass it again.
    if (m_recipient->address().isEmpty())
        return fail(error, MessagingErrorNumber::RecipientNotResolved,
                    QStringLiteral("the recipient \"%1\" has not been resolved").arg(m_recipient->name().simplified()));
    if (showDialog && displayAvailable())
        return openComposer(error);
    return pipeToSendmail(error);
}

bool SendmailMessage::openComposer(MessagingError* error) const
{
    // The composer must not read the console's commands from our standard input.
    QProcess composer;
    composer.setProgram(QStringLiteral("xdg-email"));
    composer.setArguments({QStringLiteral("--subject"), foldedSubject(m_subject), QStringLiteral("--body"), m_text,
                           m_recipient->address()});
    composer.setStandardInputFile(QProcess::nullDevice());
    if (!composer.startDetached())
        return fail(error, MessagingErrorNumber::ComposerNotStarted,
                    QStringLiteral("the mail composer could not be started (xdg-email is missing or failed)"));
    return true;
}

bool SendmailMessage::pipeToSendmail(MessagingError* error) const
{
    QProcess process;
    process.setProgram(m_program);
    process.setArguments({QStringLiteral("-t"), QStringLiteral("-oi")});
    QDeadlineTimer deadline(m_timeLimitMs);
    process.start();
    if (!process.waitForStarted(int(deadline.remainingTime())))
        return fail(error, MessagingErrorNumber::SendmailNotStarted,
                    QStringLiteral("sendmail (%1) could not be started: %2").arg(m_program, process.errorString()));
    process.write(composeMessage(m_recipient->address(), m_subject, m_text));
    process.closeWriteChannel();
    if (!process.waitForFinished(int(deadline.remainingTime()))) {
        process.kill();
        process.waitForFinished(5000);
        return fail(error, MessagingErrorNumber::SendmailTimedOut,
                    QStringLiteral("sendmail did not finish within %1 s").arg(secondsText(m_timeLimitMs)));
    }
    if (process.exitStatus() == QProcess::CrashExit)
        return fail(error, MessagingErrorNumber::SendmailCrashed,
                    QStringLiteral("sendmail was ended abnormally: %1").arg(process.errorString()));
    if (process.exitCode() != 0) {
        QString detail = diagnosticText(process.readAllStandardError());
        if (detail.isEmpty())
            detail = diagnosticText(process.readAllStandardOutput());
        return fail(error, MessagingErrorNumber::SendmailFailed,
                    QStringLiteral("sendmail exited with status %1: %2")
                        .arg(process.exitCode())
                        .arg(detail.isEmpty() ? QStringLiteral("(no error text)") : detail));
    }
    return true;
}
} // namespace

SendmailSession::SendmailSession()
    : SendmailSession(Options{})
{
}

SendmailSession::SendmailSession(Options options)
    : m_options(std::move(options))
{
}

// There is no profile to choose and no shared session to join: a logon only has to
// make sure that mail can be handed on.
bool SendmailSession::Logon(bool, bool, MessagingError* error)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (program.isEmpty()) {
        const QFileInfo fallback(m_options.fallbackProgram);
        if (!fallback.exists())
            return fail(error, MessagingErrorNumber::SendmailNotFound,
                        QStringLiteral("no sendmail program on PATH nor at %1; install a mail transfer agent")
                            .arg(m_options.fallbackProgram));
        if (!fallback.isFile() || !fallback.isExecutable())
            return fail(error, MessagingErrorNumber::SendmailNotExecutable,
                        QStringLiteral("%1 is not an executable program").arg(m_options.fallbackProgram));
        program = fallback.absoluteFilePath();
    }
    m_program = program;
    return true;
}

bool SendmailSession::Logoff(MessagingError* error)
{
    if (m_program.isEmpty())
        return fail(error, MessagingErrorNumber::NotLoggedOn, QStringLiteral("the mail session is not logged on"));
    m_program.clear();
    return true;
}

std::unique_ptr<MessagingMessage> SendmailSession::addMessage(MessagingError* error)
{
    if (m_program.isEmpty()) {
        fail(error, MessagingErrorNumber::NotLoggedOn, QStringLiteral("the mail session is not logged on"));
        return nullptr;
    }
    return std::make_unique<SendmailMessage>(m_program, m_options.timeLimitMs);
}

MessagingSessionFactory SendmailSession::factory(Options options)
{
    return [options] { return std::make_unique<SendmailSession>(options); };
}

QString mailboxAddressProblem(const QString& address)
{
    if (address.isEmpty())
        return QStringLiteral("no recipient address is given");
    if (address.contains(QLatin1Char('\r')) || address.contains(QLatin1Char('\n')))
        return QStringLiteral("the recipient address contains a line break");
    for (QChar c : address) {
        if (c.category() == QChar::Other_Control || c.isSpace())
            return QStringLiteral("the recipient address \"%1\" contains a blank or a control character")
                .arg(address.simplified());
    }
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QString local = address.left(at);
    const QString domain = address.mid(at + 1);
    const QString bad = QStringLiteral("\"%1\" is not one address of the form name@domain").arg(address);
    if (at <= 0 || domain.isEmpty() || address.size() > 254 || local.size() > 64 || address.startsWith(u'-'))
        return bad;
    for (const QString& atom : local.split(QLatin1Char('.'))) {
        if (atom.isEmpty() || !std::all_of(atom.begin(), atom.end(), isAtext))
            return bad;
    }
    for (const QString& label : domain.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.startsWith(u'-') || label.endsWith(u'-')
            || !std::all_of(label.begin(), label.end(), [](QChar c) { return c.isLetterOrNumber() || c == u'-'; }))
            return bad;
    }
    return {};
}

QString foldedSubject(const QString& subject)
{
    QString folded;
    folded.reserve(subject.size());
    bool inBreak = false;
    for (QChar c : subject) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        if (lineBreak && inBreak)
            continue;
        inBreak = lineBreak;
        folded += c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
                      ? QLatin1Char(' ')
                      : c;
    }
    return folded;
}
