// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"

class ActionLog;
class DesktopNotifier;
class Settings;

// Alerts as desktop notifications: a bubble that names what is new. On by default
// where the desktop shows notifications; the choice is saved. A failure is logged
// once, then the channel stays quiet until a notification is shown again.
class NotifyChannel final : public AlertChannel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotifyChannel)
public:
    NotifyChannel(ActionLog& log, Settings& settings, DesktopNotifier& notifier, QObject* parent = nullptr);

    QString name() const override { return QStringLiteral("notify"); }
    bool isOn() const override { return m_on; }
    void send(const Alert& alert) override;
    void addConsoleCommands(ConsoleCommands& commands) override;

    // File > Desktop Notifications.
    void setOn(bool on);
    void sendTest();

    // "Offerwatch: 2 new offerings" and the new entries one a line; another alert as it is.
    static std::pair<QString, QString> summaryAndBody(const Alert& alert);

private:
    ActionLog& m_log;
    Settings& m_settings;
    DesktopNotifier& m_notifier;
    bool m_on = false;
    bool m_quiet = false;
};
