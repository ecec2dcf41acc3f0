// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/WindowHost.h"

#include <QList>
#include <QObject>
#include <QString>

class ActionLog;
class AlertChannel;
class MainPanel;
class SoundPlayer;

// The alarm, and the dispatch of each alert to every alert channel that is on. The
// main window's e-mail caption follows the mail channels' state from here alone.
class AlertDispatch final : public QObject, public AlertHooks {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertDispatch)
public:
    static const QString AlarmFile;

    AlertDispatch(MainPanel& mainPanel, ActionLog& log, SoundPlayer& sound, QObject* parent = nullptr);

    // Channels get each alert in the order they were added.
    void addChannel(AlertChannel& channel);
    const QList<AlertChannel*>& channels() const { return m_channels; }

    void SoundAlarm() override;
    void DispatchEmailAlert(const Alert& alert) override;
    void logoffMessagingSession() override;
    bool anyChannelOn() const override;

private:
    void refreshEmailCaption();

    MainPanel& m_mainPanel;
    ActionLog& m_log;
    SoundPlayer& m_sound;
    QList<AlertChannel*> m_channels;
};
