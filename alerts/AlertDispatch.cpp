// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/AlertDispatch.h"

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "platform/ConsoleCommands.h"
#include "platform/SoundPlayer.h"

#include <algorithm>

const QString AlertDispatch::AlarmFile = QStringLiteral("Offerwatch.wav");

AlertDispatch::AlertDispatch(MainPanel& mainPanel, ActionLog& log, SoundPlayer& sound, QObject* parent)
    : QObject(parent)
    , m_mainPanel(mainPanel)
    , m_log(log)
    , m_sound(sound)
{
}

void AlertDispatch::addChannel(AlertChannel& channel)
{
    m_channels << &channel;
    connect(&channel, &AlertChannel::switched, this, &AlertDispatch::refreshEmailCaption);
    refreshEmailCaption();
}

void AlertDispatch::refreshEmailCaption()
{
    const bool on = std::any_of(m_channels.cbegin(), m_channels.cend(),
                                [](const AlertChannel* c) { return c->isMail() && c->isOn(); });
    m_mainPanel.setEmailCaption(on ? QStringLiteral("Email ON") : QStringLiteral("Email OFF"));
}

void AlertDispatch::SoundAlarm()
{
    if (m_sound.play(AlarmFile))
        return;
    // No error number comes with a sound that did not start; the player's reason, where it has one.
    m_mainPanel.setAlarmFailed();
    const QString why = m_sound.whyNotStarted();
    m_log.LogAction(why.isEmpty() ? errorDetailLine(QStringLiteral("alarm: error #"), 0, QString())
                                  : QStringLiteral("alarm: error, ") + why);
}

void AlertDispatch::dispatchAlert(const Alert& alert)
{
    // A channel's send may switch channels (a failing local mail logs off), so the
    // channels that are on are chosen before the first send.
    QList<AlertChannel*> on;
    std::copy_if(m_channels.cbegin(), m_channels.cend(), std::back_inserter(on),
                 [](const AlertChannel* c) { return c->isOn(); });
    for (AlertChannel* channel : std::as_const(on))
        channel->send(alert);
}

void AlertDispatch::logoffMessagingSession()
{
    for (AlertChannel* channel : std::as_const(m_channels))
        channel->closeSession();
}

bool AlertDispatch::anyChannelOn() const
{
    return std::any_of(m_channels.cbegin(), m_channels.cend(), [](const AlertChannel* c) { return c->isOn(); });
}

void AlertDispatch::addConsoleCommands(ConsoleCommands& c, const MailContext& mail)
{
    c.addCommand(QStringLiteral("test alarm"), false, [this](const QString&) { SoundAlarm(); });
    for (const bool on : {true, false}) {
        const QString state = on ? QStringLiteral("on") : QStringLiteral("off");
        c.addCommand(QStringLiteral("mail detail ") + state, false,
                     [mail, on](const QString&) { setNamesNewOfferings(mail, on); });
        c.addCommand(QStringLiteral("mail at-start ") + state, false,
                     [mail, on](const QString&) { setMailAtStart(mail, on); });
    }
}
