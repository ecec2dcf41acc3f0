// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <memory>

// Why a messaging call failed. The number goes into the "Error #" line of the log,
// so a number once given keeps its meaning.
struct MessagingError {
    int number = 0;
    QString description;
};

namespace MessagingErrorNumber {
enum : int {
    NoSession = 1001,             // a send was asked of a session that does not exist
    NotLoggedOn = 1002,           // logoff, or a new message, on a session that is not logged on
    SendmailNotFound = 1003,      // no sendmail program on PATH nor at the fallback path
    SendmailNotExecutable = 1004, // the fallback path exists but cannot be run
    NoRecipient = 1005,           // a send without a recipient
    RecipientExists = 1006,       // a second recipient: a message goes to one mailbox
    RecipientNotResolved = 1007,  // a send before the recipient was resolved
    InvalidAddress = 1008,        // the recipient is not one well-formed mailbox address
    SendmailNotStarted = 1009,    // sendmail could not be run
    SendmailTimedOut = 1010,      // sendmail did not finish in time and was killed
    SendmailFailed = 1011,        // sendmail ended with a non-zero exit status
    SendmailCrashed = 1012,       // sendmail was ended by a signal
    ComposerNotStarted = 1013,    // the desktop's mail composer could not be started
};
}

// One recipient of a message, named first and resolved to an address afterwards.
class MessagingRecipient {
public:
    virtual ~MessagingRecipient() = default;
    virtual void setName(const QString& name) = 0;
    virtual QString name() const = 0;
    virtual bool Resolve(MessagingError* error) = 0;
};

// A message being put together in the session's outbox.
class MessagingMessage {
public:
    virtual ~MessagingMessage() = default;
    virtual void setSubject(const QString& subject) = 0;
    virtual void setText(const QString& text) = 0;
    // The message keeps the recipient; the pointer stays valid as long as the message.
    virtual MessagingRecipient* addRecipient(MessagingError* error) = 0;
    virtual bool Update(MessagingError* error) = 0;
    // With showDialog the user sees the message in a composer and sends it from there.
    virtual bool Send(bool showDialog, MessagingError* error) = 0;
};

// The messaging system: log on, create messages, log off. Every call returns at once
// or within a bounded time; none raises, each failure comes back as a MessagingError.
class MessagingSession {
public:
    virtual ~MessagingSession() = default;
    virtual bool Logon(bool showDialog, bool newSession, MessagingError* error) = 0;
    virtual bool Logoff(MessagingError* error) = 0;
    // A new, empty message; it stays usable after the session is released.
    virtual std::unique_ptr<MessagingMessage> addMessage(MessagingError* error) = 0;
};

// Creates a session object, or none.
using MessagingSessionFactory = std::function<std::unique_ptr<MessagingSession>()>;

struct SendmailOptions {
    // Where sendmail is looked for when PATH has none.
    QString fallbackProgram = QStringLiteral("/usr/sbin/sendmail");
    // A sendmail that has not finished by then is killed and the send fails.
    int timeLimitMs = 60 * 1000;
};

// The local mail system through its sendmail interface ("sendmail -t -oi"). Logon
// finds the program; a send pipes one RFC 5322 message to it and waits a bounded
// time. With showDialog and a display, the message opens in the user's composer
// (xdg-email) instead.
class SendmailSession final : public MessagingSession {
public:
    using Options = SendmailOptions;

    SendmailSession();
    explicit SendmailSession(Options options);
    Q_DISABLE_COPY_MOVE(SendmailSession)

    bool Logon(bool showDialog, bool newSession, MessagingError* error) override;
    bool Logoff(MessagingError* error) override;
    std::unique_ptr<MessagingMessage> addMessage(MessagingError* error) override;

    // The program found at logon; empty while logged off.
    const QString& program() const { return m_program; }

    static MessagingSessionFactory factory(Options options = {});

private:
    Options m_options;
    QString m_program;
};

// Why the address cannot be used as the one recipient of a message, or an empty text
// when it can: one name@domain mailbox, nothing that could end a header line or
// start a second address.
QString mailboxAddressProblem(const QString& address);
// The subject as one header line: line breaks and other control characters become blanks.
QString foldedSubject(const QString& subject);
