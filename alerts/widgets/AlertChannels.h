#pragma once

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"

#include <QRect>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

// An alert channel together with the setup window the wizard opens for it.
struct RegisteredChannel {
    std::unique_ptr<AlertChannel> channel;
    // Creates the window beside the main window (whose frame is given); empty for a
    // channel that has no setup window.
    std::function<QWidget*(const QRect& mainWindow)> createSetupWindow;
};

// Every alert channel of the program, in the order alerts reach them.
std::vector<RegisteredChannel> registerAlertChannels(const MailContext& mail);
