// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "smtp/Smtp.h"

#include "AboutForm.h"
#include "ControlIcon.h"
#include "ControlState.h"
#include "ListSplitter.h"
#include "SmtpDialogue.h"

#include <QApplication>
#include <QLabel>

class SmtpPrivate {
public:
    explicit SmtpPrivate(Smtp& control)
        : dialogue(control, state)
    {
    }
    ControlState state;
    SmtpDialogue dialogue;
};

namespace {
const QString SendMailName = QStringLiteral("SendMail");
constexpr int FaceSize = 36;
constexpr int MaxReplyTimeoutSeconds = 24 * 3600;

// Only blanks count; a tab or a line break is part of the value.
QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

bool hasWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QString overflowMessage(const QString& property)
{
    return QStringLiteral("%1 lists more than %2 entries; only the first %2 are kept")
        .arg(property)
        .arg(Smtp::MaxListEntries);
}
} // namespace

Smtp::Smtp(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<SmtpPrivate>(*this))
{
    ++liveControlInstances();
}

Smtp::~Smtp()
{
    --liveControlInstances();
}

void Smtp::clearSendFlag()
{
    d->state.sendFlag = false;
    Q_EMIT propertyChanged(SendMailName);
}

bool Smtp::SendMail() const { return d->state.sendFlag; }

void Smtp::setSendMail(bool send)
{
    d->state.sendFlag = send;
    Q_EMIT propertyChanged(SendMailName);
    if (d->state.sendFlag)
        d->dialogue.start();
}

QString Smtp::MailServerDomain() const { return d->state.mailServerDomain; }

void Smtp::setMailServerDomain(const QString& domain)
{
    d->state.mailServerDomain = domain;
    if (trimSpaces(domain).isEmpty())
        Q_EMIT Error(QStringLiteral("Please fill MailServerDomain property"));
    else
        Q_EMIT propertyChanged(QStringLiteral("MailServerDomain"));
}

QString Smtp::MailTo() const { return d->state.mailTo; }

void Smtp::setMailTo(const QString& to)
{
    d->state.mailTo = to;
    if (trimSpaces(to).isEmpty()) {
        Q_EMIT Error(QStringLiteral("Please fill MailTo property"));
        return;
    }
    // A new recipient means a new mail: its text gets the MIME prelude afresh.
    d->state.mimeHeaderPending = true;
    Q_EMIT propertyChanged(QStringLiteral("MailTo"));
}

QString Smtp::CCAddress() const { return d->state.ccAddress; }

void Smtp::setCCAddress(const QString& list)
{
    ControlState& s = d->state;
    s.ccAddress = trimSpaces(list);
    Q_EMIT propertyChanged(QStringLiteral("CCAddress"));
    if (s.ccAddress.isEmpty()) {
        s.ccPending = false;
        s.ccList.clear();
        s.ccCursor = 0;
        return;
    }
    // The sender as it is now: a sender set later does not remove an entry.
    const SplitResult split = splitList(s.ccAddress, MaxListEntries, s.mailFrom);
    s.ccList = split.entries;
    if (split.overflow) {
        Q_EMIT Error(overflowMessage(QStringLiteral("CCAddress")));
        return;
    }
    s.ccPending = true;
    s.ccCursor = 0;
}

QString Smtp::MailFrom() const { return d->state.mailFrom; }

void Smtp::setMailFrom(const QString& from)
{
    d->state.mailFrom = from;
    if (trimSpaces(from).isEmpty())
        Q_EMIT Error(QStringLiteral("Please fill MailFrom property"));
    else
        Q_EMIT propertyChanged(QStringLiteral("MailFrom"));
}

QString Smtp::Subject() const { return d->state.subject; }

void Smtp::setSubject(const QString& subject)
{
    d->state.subject = subject;
    Q_EMIT propertyChanged(QStringLiteral("Subject"));
}

QString Smtp::Message() const { return d->state.message; }

void Smtp::setMessage(const QString& message)
{
    d->state.message = message;
    Q_EMIT propertyChanged(QStringLiteral("Message"));
}

QVariant Smtp::AttachmentFile() const { return QVariant(d->state.attachmentFile); }

void Smtp::setAttachmentFile(const QVariant& paths)
{
    ControlState& s = d->state;
    if (paths.isValid() && (paths.typeId() == QMetaType::QStringList || !paths.canConvert<QString>())) {
        Q_EMIT Error(QStringLiteral("AttachmentFile takes one text of file paths separated by \";\""));
        return;
    }
    const QString text = trimSpaces(paths.toString());
    if (text.isEmpty()) {
        s.hasAttachments = false;
        s.openingBoundaryPending = false;
        s.isLastAttachment = false;
        s.attachmentList.clear();
        return;
    }
    s.attachmentFile = text;
    Q_EMIT propertyChanged(QStringLiteral("AttachmentFile"));
    const SplitResult split = splitList(text, MaxListEntries);
    s.attachmentList = split.entries;
    if (split.overflow) {
        Q_EMIT Error(overflowMessage(QStringLiteral("AttachmentFile")));
        return;
    }
    s.hasAttachments = !s.attachmentList.isEmpty();
    s.openingBoundaryPending = true;
    s.isLastAttachment = false;
    // A copy run still pending starts again from the first copy recipient.
    s.ccCursor = 0;
}

int Smtp::MailServerPort() const { return d->state.mailServerPort; }

void Smtp::setMailServerPort(int port)
{
    if (port < 1 || port > 65535) {
        Q_EMIT Error(QStringLiteral("MailServerPort must be between 1 and 65535, not %1").arg(port));
        return;
    }
    d->state.mailServerPort = port;
    Q_EMIT propertyChanged(QStringLiteral("MailServerPort"));
}

int Smtp::ReplyTimeout() const { return d->state.replyTimeoutSeconds; }

void Smtp::setReplyTimeout(int seconds)
{
    if (seconds < 1 || seconds > MaxReplyTimeoutSeconds) {
        Q_EMIT Error(QStringLiteral("ReplyTimeout must be between 1 and %1 seconds, not %2")
                         .arg(MaxReplyTimeoutSeconds)
                         .arg(seconds));
        return;
    }
    d->state.replyTimeoutSeconds = seconds;
    Q_EMIT propertyChanged(QStringLiteral("ReplyTimeout"));
}

namespace {
struct SecurityName {
    const char* name;
    ControlState::Security value;
};
constexpr SecurityName SecurityNames[] = {
    {"none", ControlState::Security::None},
    {"starttls", ControlState::Security::StartTls},
    {"tls", ControlState::Security::Tls},
};
} // namespace

QString Smtp::Security() const
{
    for (const SecurityName& entry : SecurityNames) {
        if (entry.value == d->state.security)
            return QLatin1String(entry.name);
    }
    return {};
}

void Smtp::setSecurity(const QString& security)
{
    const QString wanted = security.trimmed().toLower();
    for (const SecurityName& entry : SecurityNames) {
        if (wanted == QLatin1String(entry.name)) {
            d->state.security = entry.value;
            Q_EMIT propertyChanged(QStringLiteral("Security"));
            return;
        }
    }
    Q_EMIT Error(QStringLiteral("Security must be none, starttls or tls, not \"%1\"").arg(security));
}

QString Smtp::UserName() const
{
    return d->state.userName;
}

void Smtp::setUserName(const QString& name)
{
    d->state.userName = name;
    Q_EMIT propertyChanged(QStringLiteral("UserName"));
}

void Smtp::setPassword(const QString& password)
{
    d->state.password = password;
    Q_EMIT propertyChanged(QStringLiteral("Password"));
}

QString Smtp::CaFile() const
{
    return d->state.caFile;
}

void Smtp::setCaFile(const QString& path)
{
    d->state.caFile = path;
    Q_EMIT propertyChanged(QStringLiteral("CaFile"));
}

int Smtp::TlsHandshakeTimeout() const
{
    return d->state.handshakeTimeoutSeconds;
}

void Smtp::setTlsHandshakeTimeout(int seconds)
{
    if (seconds < 1 || seconds > MaxReplyTimeoutSeconds) {
        Q_EMIT Error(QStringLiteral("TlsHandshakeTimeout must be between 1 and %1 seconds, not %2")
                         .arg(MaxReplyTimeoutSeconds)
                         .arg(seconds));
        return;
    }
    d->state.handshakeTimeoutSeconds = seconds;
    Q_EMIT propertyChanged(QStringLiteral("TlsHandshakeTimeout"));
}

void Smtp::ShowAboutBox()
{
    if (!hasWidgets())
        return;
    AboutForm form;
    form.exec();
}

void Smtp::InitProperties()
{
    ControlState& s = d->state;
    s.attachmentFile.clear();
    s.mailServerDomain.clear();
    s.mailTo.clear();
    s.ccAddress.clear();
    s.mailFrom.clear();
    s.subject.clear();
    s.message.clear();
    s.sendFlag = false;
    s.hasAttachments = false;
    s.mimeHeaderPending = true;
    ShowAboutBox();
    Q_EMIT BusyState(false);
}

namespace {
struct PersistedText {
    const char* name;
    QString ControlState::*field;
};
// The order in which the values are read and written.
constexpr PersistedText PersistedTexts[] = {
    {"AttachmentFile", &ControlState::attachmentFile}, {"MailServerDomain", &ControlState::mailServerDomain},
    {"MailTo", &ControlState::mailTo},                 {"CCAddress", &ControlState::ccAddress},
    {"MailFrom", &ControlState::mailFrom},             {"Subject", &ControlState::subject},
    {"Message", &ControlState::message},
};

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}
} // namespace

bool Smtp::ReadProperties(const QVariantMap& bag)
{
    for (const PersistedText& text : PersistedTexts) {
        const QString name = QLatin1String(text.name);
        if (bag.contains(name) && !isText(bag.value(name))) {
            Q_EMIT Error(QStringLiteral("Saved property %1 is not a text; no property was loaded").arg(name));
            return false;
        }
    }
    if (bag.contains(SendMailName) && bag.value(SendMailName).typeId() != QMetaType::Bool) {
        Q_EMIT Error(QStringLiteral("Saved property SendMail is not true or false; no property was loaded"));
        return false;
    }
    ControlState& s = d->state;
    for (const PersistedText& text : PersistedTexts)
        s.*text.field = bag.value(QLatin1String(text.name), QString()).toString();
    // Loading a saved true must not send anything.
    s.sendFlag = bag.value(SendMailName, false).toBool();
    return true;
}

QVariantMap Smtp::WriteProperties() const
{
    const ControlState& s = d->state;
    QVariantMap bag;
    for (const PersistedText& text : PersistedTexts)
        bag.insert(QLatin1String(text.name), s.*text.field);
    bag.insert(SendMailName, s.sendFlag);
    return bag;
}

QWidget* Smtp::createFace(QWidget* parent)
{
    if (!hasWidgets())
        return nullptr;
    auto* face = new QWidget(parent);
    face->setFixedSize(FaceSize, FaceSize);
    auto* picture = new QLabel(face);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setGeometry(0, 0, FaceSize, FaceSize);
    picture->setPixmap(controlIcon(FaceSize));
    return face;
}
