// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/MapiChannel.h"

#include "monitor/ActionLog.h"
#include "alerts/MailSwitch.h"
#include "platform/ConsoleCommands.h"
#include "platform/Settings.h"
#include "platform/UserPrompt.h"

namespace {
const QString CaptionOn = QStringLiteral("MAPI Email ON");
const QString CaptionOff = QStringLiteral("MAPI Email OFF");
} // namespace

MapiChannel::MapiChannel(const MailContext& context, MessagingSessionFactory createSession, QObject* parent)
    : AlertChannel(parent)
    , m_mail(context)
    , m_createSession(std::move(createSession))
{
    connect(&m_mail.mailSwitch, &MailSwitch::changed, this, &AlertChannel::switched);
}

MapiChannel::~MapiChannel() = default;

bool MapiChannel::isOn() const
{
    return emailAlertsOnThrough(m_mail, *this);
}

bool MapiChannel::switchOnAtStart()
{
    // A failed logon says why and leaves alerts off, as it does in the window.
    if (press(Button::Logon) && m_loggedOn)
        press(Button::OnOff);
    return isOn();
}

void MapiChannel::send(const Alert& alert)
{
    const MailLines lines = mailLines(m_mail, alert);
    m_mapiSubject = lines.subject;
    m_mapiText = lines.firstLine + lines.text;
    m_mapiShowDialog = false;
    SendMapiMail();
    // Failures were logged by the send itself; this line follows them too.
    m_mail.log.LogAction(QStringLiteral("email: sent mapi"));
}

void MapiChannel::addConsoleCommands(ConsoleCommands& c)
{
    c.addCommand(QStringLiteral("mapi to"), true, [this](const QString& text) { setRecipient(text); });
    const auto button = [this, &c](const QString& command, Button which) {
        c.addCommand(command, false, [this, &c, command, which](const QString&) {
            if (!press(which))
                c.refuse(QStringLiteral("'%1': that button is disabled just now; nothing changed").arg(command));
        });
    };
    button(QStringLiteral("mapi logon"), Button::Logon);
    button(QStringLiteral("mapi logoff"), Button::Logoff);
    button(QStringLiteral("mapi test"), Button::Test);
    button(QStringLiteral("mapi toggle"), Button::OnOff);
    button(QStringLiteral("mapi finish"), Button::Finish);
}

QString MapiChannel::caption(Button button)
{
    switch (button) {
    case Button::Logon:
        return QStringLiteral("LOGON");
    case Button::OnOff:
        return CaptionOff;
    case Button::Test:
        return QStringLiteral("TEST");
    case Button::Logoff:
        return QStringLiteral("LOGOFF");
    case Button::Finish:
        return QStringLiteral("FINISH");
    }
    return {};
}

void MapiChannel::load()
{
    if (!m_loaded)
        Form_Load();
}

void MapiChannel::unload()
{
    if (m_loaded)
        Form_Unload();
}

// Placing the window is the window's own business; what is left is the state of its controls.
void MapiChannel::Form_Load()
{
    m_loaded = true;
    set(m_recipient, m_mail.settings.text(Setting::MapiTo));
    set(m_logonEnabled, !m_loggedOn);
    set(m_logoffEnabled, m_loggedOn);
    set(m_testEnabled, m_loggedOn);
    set(m_onOffCaption, emailAlertsOnThrough(m_mail, *this) ? CaptionOn : CaptionOff);
    Q_EMIT loaded();
}

void MapiChannel::Form_Unload()
{
    m_mail.settings.setText(Setting::MapiTo, m_recipient);
    m_loaded = false;
    Q_EMIT unloaded();
}

void MapiChannel::setRecipient(const QString& text)
{
    load();
    set(m_recipient, text);
}

bool MapiChannel::press(Button button)
{
    load();
    switch (button) {
    case Button::Logon:
        if (!m_logonEnabled)
            return false;
        Command1_Click();
        return true;
    case Button::OnOff:
        Command2_Click();
        return true;
    case Button::Test:
        if (!m_testEnabled)
            return false;
        Command3_Click();
        return true;
    case Button::Logoff:
        if (!m_logoffEnabled)
            return false;
        Command4_Click();
        return true;
    case Button::Finish:
        Command5_Click();
        return true;
    }
    return false;
}

void MapiChannel::Command1_Click()
{
    load();
    set(m_logonEnabled, false);
    m_loggedOn = true;
    set(m_logoffEnabled, true);
    set(m_testEnabled, true);

    // A new logon replaces the held session without logging it off.
    m_session = m_createSession ? m_createSession() : nullptr;
    MessagingError error;
    if (m_session && !m_session->Logon(true, true, &error)) {
        m_mail.log.LogAction(QStringLiteral("email: logon error"));
        logError(error);
        Command4_Click();
        return;
    }
    m_mail.log.LogAction(QStringLiteral("email: logon OK"));
}

void MapiChannel::Command4_Click()
{
    load();
    set(m_logoffEnabled, false);
    m_loggedOn = false;

    set(m_onOffCaption, CaptionOff);
    stopEmailAlerts(m_mail);

    set(m_logonEnabled, true);
    set(m_testEnabled, false);

    // A session that cannot log off is kept, and nothing more is said.
    if (!m_session || !m_session->Logoff(nullptr))
        return;
    m_session.reset();
    m_mail.log.LogAction(QStringLiteral("email: logoff OK"));
}

void MapiChannel::Command2_Click()
{
    load();
    if (!m_loggedOn) {
        m_mail.prompt.critical(QStringLiteral("Offerwatch"),
                               QStringLiteral("You cannot toggle email to active until you are") +
                                   QStringLiteral(" logged in."));
        return;
    }
    const bool on = m_onOffCaption != CaptionOn;
    set(m_onOffCaption, on ? CaptionOn : CaptionOff);
    switchEmailAlerts(m_mail, *this, on);
}

void MapiChannel::Command3_Click()
{
    load();
    m_mapiSubject = QStringLiteral("Offerwatch Test");
    m_mapiText = QStringLiteral("This is the text of the Offerwatch email test");
    m_mapiShowDialog = true;
    SendMapiMail();
    m_mail.log.LogAction(QStringLiteral("email: test email sent"));
}

void MapiChannel::Command5_Click()
{
    unload();
}

const QString& MapiChannel::recipientBox()
{
    load();
    return m_recipient;
}

void MapiChannel::SendMapiMail()
{
    MessagingError error;
    if (!m_session) {
        sendFailed({MessagingErrorNumber::NoSession, QStringLiteral("there is no mail session; log on first")});
        return;
    }
    m_message = m_session->addMessage(&error);
    if (!m_message) {
        sendFailed(error);
        return;
    }
    m_message->setSubject(m_mapiSubject);
    m_message->setText(m_mapiText);
    MessagingRecipient* recipient = m_message->addRecipient(&error);
    if (!recipient) {
        sendFailed(error);
        return;
    }
    recipient->setName(recipientBox());
    if (!recipient->Resolve(&error) || !m_message->Update(&error) || !m_message->Send(m_mapiShowDialog, &error))
        sendFailed(error);
}

// Every kind of send failure is logged as a "timeout"; the error line tells them apart.
void MapiChannel::sendFailed(const MessagingError& error)
{
    m_mail.log.LogAction(QStringLiteral("email: timeout"));
    logError(error);
    ++m_mapiSendErrors;
    if (m_mapiSendErrors < 3)
        return;
    m_mapiSendErrors = 0;
    m_mail.log.LogAction(QStringLiteral("email: 3 send errors") + QStringLiteral("-triggering logoff"));
    Command4_Click();
    m_mail.log.LogAction(QStringLiteral("email: attempting to re-logon"));
    relogon();
}

// The new session is held but the user stays logged off: alerts wait for a LOGON.
void MapiChannel::relogon()
{
    m_session = m_createSession ? m_createSession() : nullptr;
    if (!m_session)
        return;
    MessagingError error;
    if (!m_session->Logon(false, false, &error)) {
        m_mail.log.LogAction(QStringLiteral("email: re-logon failed!"));
        logError(error);
        Command4_Click();
        return;
    }
    m_mail.log.LogAction(QStringLiteral("email: re-logon OK"));
}

void MapiChannel::logError(const MessagingError& error)
{
    m_mail.log.LogAction(errorDetailLine(QStringLiteral("Error #"), error.number, error.description));
}

void MapiChannel::logoffAtExit()
{
    if (m_session)
        m_session->Logoff(nullptr);
    m_session.reset();
    m_message.reset();
}
