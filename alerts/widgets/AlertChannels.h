// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"

#include <QRect>

#include <functional>
#include <memory>
#include <vector>

class ActionLog;
class DesktopNotifier;
class MailSwitch;
class SecretStore;
class Settings;
class UserPrompt;
class QAction;
class QObject;
class QWidget;

// What the alert channels are built from.
struct ChannelServices {
    ActionLog& log;
    Settings& settings;
    UserPrompt& prompt;
    // Which mail channel e-mail alerts go through; the mail channels share it.
    MailSwitch& mailSwitch;
    DesktopNotifier& notifier;
    SecretStore& secrets;

    MailContext mail() const { return {mailSwitch, log, prompt, settings}; }
};

// An alert channel together with what the windows show of it.
struct RegisteredChannel {
    std::unique_ptr<AlertChannel> channel;
    // Creates the channel's setup window beside the main window (whose frame is given);
    // empty for a channel that has none.
    std::function<QWidget*(const QRect& mainWindow)> createSetupWindow;
    // How the e-mail setup wizard offers the channel's setup window: its button's
    // caption and what it says of the mail system; empty for a channel it does not offer.
    QString wizardCaption;
    QString wizardExplanation;
    // Creates the channel's item of the main window's File menu; empty for none.
    std::function<QAction*(QObject* parent)> createMenuAction;
};

// Every alert channel of the program, in the order alerts reach them.
std::vector<RegisteredChannel> registerAlertChannels(const ChannelServices& services);
