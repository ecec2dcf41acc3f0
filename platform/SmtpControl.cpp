// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SmtpControl.h"

#include <QMetaMethod>
#include <QMetaObject>

namespace {
// Security, UserName, Password and CaFile are left out: a control from before
// them still binds, and set() refuses them there.
constexpr const char* PropertyNames[] = {"SendMail", "MailServerDomain", "MailTo",         "CCAddress",
                                         "MailFrom", "Subject",          "Message",        "AttachmentFile",
                                         "MailServerPort", "ReplyTimeout"};

// The control's signal and the signal of ours that re-emits it.
struct SignalPair {
    const char* control;
    const char* ours;
};
constexpr SignalPair Signals[] = {
    {"BusyState(bool)", "busyState(bool)"},
    {"DisconnectedFromSMTPServer(bool)", "disconnectedFromSmtpServer(bool)"},
    {"Error(QString)", "error(QString)"},
    {"MailHasBeenSent(bool)", "mailHasBeenSent(bool)"},
    {"ConnectionStatus(QString)", "connectionStatus(QString)"},
    {"propertyChanged(QString)", "propertyChanged(QString)"},
};
constexpr const char* Methods[] = {"ShowAboutBox()", "InitProperties()", "ReadProperties(QVariantMap)",
                                   "WriteProperties()", "createFace(QWidget*)"};
} // namespace

SmtpControl::SmtpControl(QObject* parent)
    : QObject(parent)
{
}

bool SmtpControl::create(QString* error, const ComponentFactory& factory)
{
    QObject* control = factory.create(QLatin1String(ProgId), nullptr, error);
    if (!control)
        return false;
    if (!attach(control, error)) {
        delete control;
        return false;
    }
    return true;
}

bool SmtpControl::attach(QObject* control, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!control)
        return fail(QStringLiteral("No control to bind"));
    if (m_control)
        return fail(QStringLiteral("A control is already bound"));
    const QMetaObject* meta = control->metaObject();
    for (const char* name : PropertyNames) {
        if (meta->indexOfProperty(name) < 0)
            return fail(QStringLiteral("The control has no property %1").arg(QLatin1String(name)));
    }
    for (const char* method : Methods) {
        if (meta->indexOfMethod(method) < 0)
            return fail(QStringLiteral("The control has no method %1").arg(QLatin1String(method)));
    }
    for (const SignalPair& pair : Signals) {
        if (meta->indexOfSignal(pair.control) < 0)
            return fail(QStringLiteral("The control has no signal %1").arg(QLatin1String(pair.control)));
    }
    for (const SignalPair& pair : Signals) {
        const QMetaMethod from = meta->method(meta->indexOfSignal(pair.control));
        const QMetaMethod to = metaObject()->method(metaObject()->indexOfSignal(pair.ours));
        connect(control, from, this, to);
    }
    control->setParent(this);
    m_control = control;
    return true;
}

void SmtpControl::set(const char* name, const QVariant& value)
{
    if (!m_control)
        return;
    // A property the control lacks would silently become a dynamic one: TLS
    // asked for and plain mail sent.
    if (m_control->metaObject()->indexOfProperty(name) < 0) {
        Q_EMIT error(QStringLiteral("The mail-sending control has no property %1; it is too old for this setting")
                         .arg(QLatin1String(name)));
        return;
    }
    m_control->setProperty(name, value);
}

QVariant SmtpControl::get(const char* name) const
{
    return m_control ? m_control->property(name) : QVariant();
}

void SmtpControl::setSendMail(bool send) { set("SendMail", send); }
bool SmtpControl::sendMail() const { return get("SendMail").toBool(); }
void SmtpControl::setMailServerDomain(const QString& domain) { set("MailServerDomain", domain); }
QString SmtpControl::mailServerDomain() const { return get("MailServerDomain").toString(); }
void SmtpControl::setMailTo(const QString& to) { set("MailTo", to); }
QString SmtpControl::mailTo() const { return get("MailTo").toString(); }
void SmtpControl::setCCAddress(const QString& list) { set("CCAddress", list); }
QString SmtpControl::ccAddress() const { return get("CCAddress").toString(); }
void SmtpControl::setMailFrom(const QString& from) { set("MailFrom", from); }
QString SmtpControl::mailFrom() const { return get("MailFrom").toString(); }
void SmtpControl::setSubject(const QString& subject) { set("Subject", subject); }
QString SmtpControl::subject() const { return get("Subject").toString(); }
void SmtpControl::setMessage(const QString& message) { set("Message", message); }
QString SmtpControl::message() const { return get("Message").toString(); }
void SmtpControl::setAttachmentFile(const QString& paths) { set("AttachmentFile", QVariant(paths)); }
QString SmtpControl::attachmentFile() const { return get("AttachmentFile").toString(); }
void SmtpControl::setMailServerPort(int port) { set("MailServerPort", port); }
int SmtpControl::mailServerPort() const { return get("MailServerPort").toInt(); }
void SmtpControl::setReplyTimeout(int seconds) { set("ReplyTimeout", seconds); }
int SmtpControl::replyTimeout() const { return get("ReplyTimeout").toInt(); }
void SmtpControl::setSecurity(const QString& security)
{
    set("Security", security);
}
void SmtpControl::setUserName(const QString& name)
{
    set("UserName", name);
}
void SmtpControl::setPassword(const QString& password)
{
    set("Password", password);
}
void SmtpControl::setCaFile(const QString& path)
{
    set("CaFile", path);
}

void SmtpControl::showAboutBox()
{
    if (m_control)
        QMetaObject::invokeMethod(m_control, "ShowAboutBox");
}

void SmtpControl::initProperties()
{
    if (m_control)
        QMetaObject::invokeMethod(m_control, "InitProperties");
}

bool SmtpControl::readProperties(const QVariantMap& bag)
{
    bool loaded = false;
    if (m_control)
        QMetaObject::invokeMethod(m_control, "ReadProperties", Q_RETURN_ARG(bool, loaded), Q_ARG(QVariantMap, bag));
    return loaded;
}

QVariantMap SmtpControl::writeProperties() const
{
    QVariantMap bag;
    if (m_control)
        QMetaObject::invokeMethod(m_control, "WriteProperties", Q_RETURN_ARG(QVariantMap, bag));
    return bag;
}

// QWidget is only named here, never used: the core does not link QtWidgets.
QWidget* SmtpControl::createFace(QWidget* parent)
{
    QWidget* face = nullptr;
    if (m_control)
        QMetaObject::invokeMethod(m_control, "createFace", QGenericReturnArgument("QWidget*", &face),
                                  QGenericArgument("QWidget*", &parent));
    return face;
}
