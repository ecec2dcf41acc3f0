// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"

#include <QRect>

#include <functional>
#include <memory>
#include <vector>

class DesktopNotifier;
class SecretStore;
class QAction;
class QObject;
class QWidget;

// What the alert channels are built from.
struct ChannelServices {
    MailContext mail;
    DesktopNotifier& notifier;
    SecretStore& secrets;
};

// An alert channel together with what the windows show of it.
struct RegisteredChannel {
    std::unique_ptr<AlertChannel> channel;
    // Creates the channel's setup window beside the main window (whose frame is given);
    // empty for a channel that has none.
    std::function<QWidget*(const QRect& mainWindow)> createSetupWindow;
    // Creates the channel's item of the main window's File menu; empty for none.
    std::function<QAction*(QObject* parent)> createMenuAction;
};

// Every alert channel of the program, in the order alerts reach them.
std::vector<RegisteredChannel> registerAlertChannels(const ChannelServices& services);
