// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/MailSwitch.h"
#include "monitor/AlertHooks.h"

#include <QList>
#include <QObject>
#include <QString>

class ActionLog;
class AlertChannel;
class ConsoleCommands;
struct MailContext;
class MainPanel;
class SoundPlayer;

// The alarm, and the dispatch of each alert to every alert channel that is on. It holds
// the mail switch the mail channels share; the main window's e-mail caption follows their
// switched() from here alone.
class AlertDispatch final : public QObject, public AlertHooks {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertDispatch)
public:
    static const QString AlarmFile;

    AlertDispatch(MainPanel& mainPanel, ActionLog& log, SoundPlayer& sound, QObject* parent = nullptr);

    // Channels get each alert in the order they were added.
    void addChannel(AlertChannel& channel);
    const QList<AlertChannel*>& channels() const { return m_channels; }
    MailSwitch& mailSwitch() { return m_mailSwitch; }

    void SoundAlarm() override;
    void dispatchAlert(const Alert& alert) override;
    // test alarm, and the choices every mail channel shares (mail detail, mail at-start).
    void addConsoleCommands(ConsoleCommands& commands, const MailContext& mail);
    void logoffMessagingSession() override;
    bool anyChannelOn() const override;

private:
    void refreshEmailCaption();

    MainPanel& m_mainPanel;
    ActionLog& m_log;
    SoundPlayer& m_sound;
    MailSwitch m_mailSwitch;
    QList<AlertChannel*> m_channels;
};
