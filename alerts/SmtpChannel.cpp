// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/SmtpChannel.h"

#include "monitor/ActionLog.h"
#include "alerts/MailSwitch.h"
#include "platform/ConsoleCommands.h"
#include "platform/Settings.h"
#include "platform/UserPrompt.h"

#include <QRegularExpression>
#include <QTimer>

const QString SmtpChannel::FallbackSender = QStringLiteral("offerwatch-alert@freemail.example");

namespace {
constexpr int DefaultSmtpPort = 25;
const QString ProgramTitle = QStringLiteral("Offerwatch");
} // namespace

SmtpChannel::SmtpChannel(const MailContext& context, SecretStore& secrets, QObject* parent)
    : AlertChannel(parent)
    , m_mail(context)
    , m_controlFactory([](SmtpControl& control, QString* error) { return control.create(error); })
    , m_password(context.log, secrets)
{
    connect(&m_mail.mailSwitch, &MailSwitch::changed, this, &AlertChannel::switched);
    connect(&m_password, &SmtpPassword::ready, this, [this] {
        if (!m_sending && !m_waiting.isEmpty())
            send(m_waiting.takeFirst());
    });
    // With a login set up the keyring is asked now, so that it has answered long before
    // the first alert; without one it is never asked (no unlock prompt for nothing).
    if (!m_mail.settings.text(Setting::SmtpUser).isEmpty())
        m_password.load();
}

int SmtpChannel::defaultPort(const QString& security)
{
    // The ports of RFC 8314 (implicit TLS) and RFC 6409 (submission with STARTTLS).
    if (security == QLatin1String("tls"))
        return 465;
    if (security == QLatin1String("starttls"))
        return 587;
    return DefaultSmtpPort;
}

SmtpChannel::~SmtpChannel() = default;

bool SmtpChannel::isOn() const
{
    return emailAlertsOnThrough(m_mail, *this);
}

bool SmtpChannel::switchOnAtStart()
{
    Form_Load();
    Command2_Click();
    return isOn();
}

void SmtpChannel::send(const Alert& alert)
{
    // The control drops a send under way when told to send again, so an alert that comes
    // while one is going out (a page that answers again and has news, say) waits its turn.
    Form_Load();
    if (!m_password.isReady() && !m_userName.isEmpty()) {
        m_waiting.append(alert);
        m_password.load();
        return;
    }
    if (m_sending) {
        m_waiting.append(alert);
        m_mail.log.LogAction(QStringLiteral("email: smtp busy, alert waits for the send under way"));
        return;
    }
    SmtpControl& control = Smtp1();
    const MailLines lines = mailLines(m_mail, alert);
    control.setSubject(lines.subject);
    // Unlike local mail, the SMTP body carries the list in double quotes.
    control.setMessage(lines.firstLine + QLatin1Char('"') + lines.text + QLatin1Char('"'));
    // "sent" is said once the server has taken the mail, never before.
    m_alertUnderWay = true;
    if (!SendSmtpMail())
        m_alertUnderWay = false;
}

void SmtpChannel::addConsoleCommands(ConsoleCommands& c)
{
    c.addCommand(QStringLiteral("smtp server"), true, [this](const QString& text) {
        Form_Load();
        setServer(text);
    });
    c.addCommand(QStringLiteral("smtp from"), true, [this](const QString& text) {
        Form_Load();
        setSender(text);
    });
    c.addCommand(QStringLiteral("smtp to"), true, [this](const QString& text) {
        Form_Load();
        setRecipient(text);
    });
    c.addCommand(QStringLiteral("smtp security"), true, [this, &c](const QString& text) {
        const QString security = text.trimmed().toLower();
        if (!securityChoices().contains(security)) {
            c.refuse(QStringLiteral("'smtp security': use none, starttls or tls; nothing changed"));
            return;
        }
        Form_Load();
        setSecurity(security);
    });
    c.addCommand(QStringLiteral("smtp user"), true, [this](const QString& text) {
        Form_Load();
        setUserName(text);
    });
    c.addCommand(QStringLiteral("smtp password"), true, [this](const QString& text) { setPassword(text); });
    c.addCommand(QStringLiteral("smtp test"), false, [this](const QString&) { SendCommand_Click(); });
    c.addCommand(QStringLiteral("smtp toggle"), false, [this, &c](const QString&) {
        if (!Command2_Click())
            c.refuse(QStringLiteral("'smtp toggle': that button is disabled just now; nothing changed"));
    });
    c.addCommand(QStringLiteral("smtp finish"), false, [this](const QString&) { Command5_Click(); });
    c.setArgumentValues(QStringLiteral("smtp security"), securityChoices().join(u'|'));
    // Without a window, the connection status goes where the user looks.
    connect(this, &SmtpChannel::statusReported, this,
            [&c](const QString& text) { c.report(QStringLiteral("smtp status: ") + text.trimmed()); });
}

std::pair<QString, int> SmtpChannel::splitServer(const QString& text, int defaultPort)
{
    static const QRegularExpression withPort(QStringLiteral("^(.+):(\\d{1,5})$"));
    const QRegularExpressionMatch match = withPort.match(text);
    if (!match.hasMatch())
        return {text, defaultPort};
    const int port = match.captured(2).toInt();
    QString host = match.captured(1);
    if (port < 1 || port > 65535)
        return {text, defaultPort};
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return {text, defaultPort}; // a bare IPv6 address, not host:port
    return {host, port};
}

void SmtpChannel::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_recipient.clear();
    m_server.clear();
    m_sender.clear();
    m_security = QStringLiteral("none");
    m_userName.clear();
    m_statusText.clear();
    m_onOffEnabled = true;

    // A fresh control for every load, restored as a saved instance so that no
    // About box interrupts an alert that loads this window unseen.
    m_control = std::make_unique<SmtpControl>();
    connect(m_control.get(), &SmtpControl::error, this, &SmtpChannel::Smtp1_Error);
    connect(m_control.get(), &SmtpControl::connectionStatus, this, &SmtpChannel::Smtp1_ConnectionStatus);
    connect(m_control.get(), &SmtpControl::busyState, this, &SmtpChannel::Smtp1_BusyState);
    connect(m_control.get(), &SmtpControl::mailHasBeenSent, this, [this] {
        if (std::exchange(m_alertUnderWay, false))
            m_mail.log.LogAction(QStringLiteral("email: sent smtp"));
    });
    QString error;
    if (!m_controlFactory(*m_control, &error))
        Smtp1_Error(QStringLiteral("The mail-sending component cannot be loaded: %1").arg(error));
    else
        m_control->readProperties({});
    // A private mail server's CA: the control itself reads SSL_CERT_FILE, and names it when it is no CA file.

    setRecipient(m_mail.settings.text(Setting::SmtpTo));
    setServer(m_mail.settings.text(Setting::SmtpGateway));
    setSender(m_mail.settings.text(Setting::SmtpFrom));
    const QString security = m_mail.settings.text(Setting::SmtpSecurity);
    setSecurity(securityChoices().contains(security) ? security : QStringLiteral("none"));
    setUserName(m_mail.settings.text(Setting::SmtpUser));

    m_onOffCaption =
        emailAlertsOnThrough(m_mail, *this) ? QStringLiteral("SMTP Email ON") : QStringLiteral("SMTP Email OFF");
    Q_EMIT loaded();
    Q_EMIT changed();
}

void SmtpChannel::Form_Unload()
{
    if (!m_loaded)
        return;
    m_mail.settings.setText(Setting::SmtpTo, m_recipient);
    m_mail.settings.setText(Setting::SmtpGateway, m_server);
    m_mail.settings.setText(Setting::SmtpFrom, m_sender);
    m_mail.settings.setText(Setting::SmtpSecurity, m_security);
    m_mail.settings.setText(Setting::SmtpUser, m_userName);
    m_loaded = false;
    m_sending = false;
    m_alertUnderWay = false;
    m_waiting.clear();
    // A send still under way ends with the control, as it ends with its window. The
    // control may be in the middle of raising an event, so it goes once that returns.
    m_control->disconnect(this);
    m_control.release()->deleteLater();
    Q_EMIT unloaded();
}

SmtpControl& SmtpChannel::Smtp1()
{
    Form_Load();
    return *m_control;
}

void SmtpChannel::setRecipient(const QString& text)
{
    if (text == m_recipient)
        return;
    m_recipient = text;
    Text1_Change();
    Q_EMIT changed();
}

void SmtpChannel::setServer(const QString& text)
{
    if (text == m_server)
        return;
    m_server = text;
    Text2_Change();
    Q_EMIT changed();
}

const QStringList& SmtpChannel::securityChoices()
{
    static const QStringList choices{QStringLiteral("none"), QStringLiteral("starttls"), QStringLiteral("tls")};
    return choices;
}

void SmtpChannel::setSecurity(const QString& security)
{
    if (security == m_security || !securityChoices().contains(security))
        return;
    m_security = security;
    if (m_control) {
        m_control->setSecurity(m_security);
        Text2_Change(); // the default port follows
    }
    Q_EMIT changed();
}

void SmtpChannel::setUserName(const QString& user)
{
    if (user == m_userName)
        return;
    m_userName = user;
    if (m_control)
        m_control->setUserName(m_userName);
    Q_EMIT changed();
}

void SmtpChannel::setPassword(const QString& password)
{
    m_password.set(password);
}

void SmtpChannel::setSender(const QString& text)
{
    if (text == m_sender)
        return;
    m_sender = text;
    Q_EMIT changed();
}

void SmtpChannel::Text1_Change()
{
    if (m_control)
        m_control->setMailTo(m_recipient);
}

void SmtpChannel::Text2_Change()
{
    if (!m_control)
        return;
    const auto [host, port] = splitServer(m_server, defaultPort(m_security));
    m_control->setMailServerPort(port);
    m_control->setMailServerDomain(host);
}

bool SmtpChannel::SendSmtpMail()
{
    SmtpControl& control = Smtp1();
    if (!control.isBound()) {
        Smtp1_Error(QStringLiteral("The mail-sending component is not loaded; nothing was sent."));
        return false;
    }
    control.setMailFrom(!m_sender.isEmpty() ? m_sender : FallbackSender);
    QString problem;
    const std::optional<QString> password = m_userName.isEmpty() ? QString() : m_password.take(m_userName, &problem);
    // Refused before connecting: a login with an empty password would only earn a 535.
    if (!password) {
        Smtp1_Error(problem);
        return false;
    }
    control.setPassword(*password);
    control.setSendMail(true);
    return true;
}

void SmtpChannel::SendCommand_Click()
{
    Form_Load();
    if (m_recipient.isEmpty() || m_server.isEmpty()) {
        m_mail.prompt.critical(ProgramTitle, QStringLiteral("You must setup steps 1 & 2 & 3 prior to testing"));
        m_onOffEnabled = false;
        Q_EMIT changed();
        return;
    }
    if (!m_password.isReady() && !m_userName.isEmpty()) {
        connect(&m_password, &SmtpPassword::ready, this, &SmtpChannel::SendCommand_Click, Qt::SingleShotConnection);
        m_password.load();
        return;
    }
    m_control->setSubject(QStringLiteral("IPO: test - this is the subject"));
    m_control->setMessage(QStringLiteral("IPO: test - this is the message body"));
    SendSmtpMail();
}

bool SmtpChannel::Command2_Click()
{
    Form_Load();
    if (!m_onOffEnabled)
        return false;
    const bool on = m_onOffCaption != QLatin1String("SMTP Email ON");
    m_onOffCaption = on ? QStringLiteral("SMTP Email ON") : QStringLiteral("SMTP Email OFF");
    switchEmailAlerts(m_mail, *this, on);
    Q_EMIT changed();
    return true;
}

void SmtpChannel::Command5_Click()
{
    Form_Unload();
}

void SmtpChannel::Smtp1_BusyState(bool busy)
{
    m_sending = busy;
    if (busy || m_waiting.isEmpty())
        return;
    // Not from inside the control's own event: it may still be ending its send.
    QTimer::singleShot(0, this, [this] {
        if (!m_sending && !m_waiting.isEmpty())
            send(m_waiting.takeFirst());
    });
}

void SmtpChannel::Smtp1_ConnectionStatus(const QString& statusLog)
{
    m_statusText += statusLog;
    Q_EMIT statusReported(statusLog);
    Q_EMIT changed();
}

void SmtpChannel::Smtp1_Error(const QString& description)
{
    m_alertUnderWay = false;
    // A failed send is over; what waits behind it goes next.
    Smtp1_BusyState(false);
    const QString text = QStringLiteral("email: smtp error, ") + description;
    m_mail.log.LogAction(text);
    m_mail.prompt.critical(QStringLiteral("Error"), text);
}
