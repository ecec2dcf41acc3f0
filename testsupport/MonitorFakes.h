// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/AlertHooks.h"
#include "monitor/WindowHost.h"

#include <QStringList>

// Records what the main window's logic asked of the windows and the alert paths.
class RecordingWindowHost final : public WindowHost {
public:
    void showMailWizard() override { calls << QStringLiteral("wizard"); }
    void showWatchSettings() override { calls << QStringLiteral("watch settings"); }
    void showAboutBox() override { calls << QStringLiteral("about"); }
    void showBrowser() override { calls << QStringLiteral("show browser"); }
    void hideBrowser() override { calls << QStringLiteral("hide browser"); }
    void reloadBrowser(const QString& address) override { calls << QStringLiteral("reload ") + address; }
    void unloadAllWindows() override { calls << QStringLiteral("unload all"); }

    QStringList calls;
};

class RecordingAlertHooks final : public AlertHooks {
public:
    void SoundAlarm() override { calls << QStringLiteral("alarm"); }
    void dispatchAlert(const Alert& alert) override
    {
        calls << QStringLiteral("email ") + alert.text;
        alerts << alert;
    }
    void logoffMessagingSession() override { calls << QStringLiteral("logoff"); }
    bool anyChannelOn() const override { return channelOn; }

    QStringList calls;
    QList<Alert> alerts;
    bool channelOn = true;
};
