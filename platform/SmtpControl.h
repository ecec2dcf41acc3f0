// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ComponentFactory.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class QWidget;

// A typed face of the mail-sending control, which the program creates at run
// time by its ProgID and so reaches only through the meta-object system. The
// control's events come out as this class's own signals. Until a control is
// bound, setters do nothing and getters return empty values.
class SmtpControl final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ProgId = "DazoDarozeREdorovu.Smtp";

    explicit SmtpControl(QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(SmtpControl)

    // Creates the control by ProgID and binds it; false with the reason in *error.
    bool create(QString* error, const ComponentFactory& factory = ComponentFactory());
    // Binds an existing control and takes it over (it becomes this object's child).
    // Fails, leaving the object alone, when it lacks a member of the interface.
    bool attach(QObject* control, QString* error);
    bool isBound() const { return !m_control.isNull(); }
    QObject* control() const { return m_control; }

    void setSendMail(bool send);
    bool sendMail() const;
    void setMailServerDomain(const QString& domain);
    QString mailServerDomain() const;
    void setMailTo(const QString& to);
    QString mailTo() const;
    void setCCAddress(const QString& list);
    QString ccAddress() const;
    void setMailFrom(const QString& from);
    QString mailFrom() const;
    void setSubject(const QString& subject);
    QString subject() const;
    void setMessage(const QString& message);
    QString message() const;
    void setAttachmentFile(const QString& paths);
    QString attachmentFile() const;
    void setMailServerPort(int port);
    int mailServerPort() const;
    void setReplyTimeout(int seconds);
    int replyTimeout() const;
    // "none", "starttls" or "tls".
    void setSecurity(const QString& security);
    void setUserName(const QString& name);
    // The control never hands a password back, so there is no getter.
    void setPassword(const QString& password);
    void setCaFile(const QString& path);

    void showAboutBox();
    void initProperties();
    bool readProperties(const QVariantMap& bag);
    QVariantMap writeProperties() const;
    // The control's 36x36 face as a child of parent; null when unbound or windowless.
    QWidget* createFace(QWidget* parent);

Q_SIGNALS:
    void busyState(bool busy);
    void disconnectedFromSmtpServer(bool disconnected);
    void error(const QString& errorDescription);
    void mailHasBeenSent(bool sent);
    void connectionStatus(const QString& statusLog);
    void propertyChanged(const QString& name);

private:
    void set(const char* name, const QVariant& value);
    QVariant get(const char* name) const;

    QPointer<QObject> m_control;
};
