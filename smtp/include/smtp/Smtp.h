// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QWidget;
class SmtpPrivate;

// The mail-sending control. The host sets the mail properties, then sets
// SendMail to true; the control connects, runs the SMTP dialogue, sends the
// message (with Base64 attachments) once to MailTo and once more to each copy
// recipient, and reports through its five event signals. Every failure is an
// Error signal; no call ever throws or fails. Lives on the GUI thread.
//
// Hosts that create the control by ProgID reach all of this through the
// meta-object system: the property names, the Q_INVOKABLE methods and the
// signal signatures below are the interface.
class SMTP_EXPORT Smtp final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool SendMail READ SendMail WRITE setSendMail)
    Q_PROPERTY(QString MailServerDomain READ MailServerDomain WRITE setMailServerDomain)
    Q_PROPERTY(QString MailTo READ MailTo WRITE setMailTo)
    Q_PROPERTY(QString CCAddress READ CCAddress WRITE setCCAddress)
    Q_PROPERTY(QString MailFrom READ MailFrom WRITE setMailFrom)
    Q_PROPERTY(QString Subject READ Subject WRITE setSubject)
    Q_PROPERTY(QString Message READ Message WRITE setMessage)
    Q_PROPERTY(QVariant AttachmentFile READ AttachmentFile WRITE setAttachmentFile)
    Q_PROPERTY(int MailServerPort READ MailServerPort WRITE setMailServerPort)
    Q_PROPERTY(int ReplyTimeout READ ReplyTimeout WRITE setReplyTimeout)
    Q_PROPERTY(QString Security READ Security WRITE setSecurity)
    Q_PROPERTY(QString UserName READ UserName WRITE setUserName)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(QString CaFile READ CaFile WRITE setCaFile)
    Q_PROPERTY(int TlsHandshakeTimeout READ TlsHandshakeTimeout WRITE setTlsHandshakeTimeout)

public:
    static constexpr int MaxListEntries = 100;
    static constexpr int DefaultPort = 25;
    static constexpr int DefaultReplyTimeoutSeconds = 300;
    static constexpr int DefaultTlsHandshakeTimeoutSeconds = 30;

    explicit Smtp(QObject* parent = nullptr);
    ~Smtp() override;
    Q_DISABLE_COPY_MOVE(Smtp)

    bool SendMail() const;
    void setSendMail(bool send);
    QString MailServerDomain() const;
    void setMailServerDomain(const QString& domain);
    QString MailTo() const;
    void setMailTo(const QString& to);
    QString CCAddress() const;
    void setCCAddress(const QString& list);
    QString MailFrom() const;
    void setMailFrom(const QString& from);
    QString Subject() const;
    void setSubject(const QString& subject);
    QString Message() const;
    void setMessage(const QString& message);
    QVariant AttachmentFile() const;
    void setAttachmentFile(const QVariant& paths);
    int MailServerPort() const;
    void setMailServerPort(int port);
    int ReplyTimeout() const;
    void setReplyTimeout(int seconds);
    // "none" (the plain dialogue), "starttls" or "tls" (implicit TLS, usually port 465).
    // With TLS the server's certificate and name are always verified.
    QString Security() const;
    void setSecurity(const QString& security);
    // A non-empty name asks for a login (AUTH PLAIN, else AUTH LOGIN), only ever over TLS.
    QString UserName() const;
    void setUserName(const QString& name);
    // Write-only: a password that was set is never handed out again, so that
    // nothing that lists the control's properties can show it.
    QString Password() const { return {}; }
    void setPassword(const QString& password);
    // A PEM file of CA certificates trusted besides the system's, for a private server.
    QString CaFile() const;
    void setCaFile(const QString& path);
    int TlsHandshakeTimeout() const;
    void setTlsHandshakeTimeout(int seconds);

    // Shows the control's About box modally (nothing without a QApplication).
    Q_INVOKABLE void ShowAboutBox();
    // A new instance without saved values: defaults, the About box, BusyState(false).
    Q_INVOKABLE void InitProperties();
    // Loads the eight persisted values straight into the fields (no checks,
    // no notices, no send). A value of the wrong type loads nothing: false
    // and an Error signal saying which.
    Q_INVOKABLE bool ReadProperties(const QVariantMap& bag);
    Q_INVOKABLE QVariantMap WriteProperties() const;
    // The control's fixed 36x36 face for a host window (null without a QApplication).
    Q_INVOKABLE QWidget* createFace(QWidget* parent);

Q_SIGNALS:
    void BusyState(bool busy);
    void DisconnectedFromSMTPServer(bool disconnected);
    void Error(const QString& errorDescription);
    void MailHasBeenSent(bool sent);
    void ConnectionStatus(const QString& statusLog);
    // The property-changed notice: a setter accepted a value of this property.
    void propertyChanged(const QString& name);

private:
    friend class SmtpDialogue;
    friend class MessageWriter;
    void clearSendFlag();

    std::unique_ptr<SmtpPrivate> d;
};
