// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/AlertChannels.h"

#include "alerts/MapiChannel.h"
#include "alerts/NotifyChannel.h"
#include "alerts/PushChannel.h"
#include "alerts/SmtpChannel.h"
#include "alerts/widgets/FrmMAPI.h"
#include "alerts/widgets/FrmPush.h"
#include "alerts/widgets/FrmSmtp.h"
#include "platform/MessagingSession.h"

#include <QAction>
#include <QPointer>

namespace {
template <typename Window, typename Channel> RegisteredChannel withSetupWindow(std::unique_ptr<Channel> channel)
{
    Channel& bound = *channel;
    return {std::move(channel),
            [&bound](const QRect& mainWindow) -> QWidget* { return new Window(bound, mainWindow); },
            {}};
}

// A channel switched on and off by a checkable menu item.
template <typename Channel> RegisteredChannel withMenuSwitch(std::unique_ptr<Channel> channel, const QString& text)
{
    Channel& bound = *channel;
    return {std::move(channel), {}, [&bound, text](QObject* parent) {
                auto* action = new QAction(text, parent);
                action->setCheckable(true);
                action->setChecked(bound.isOn());
                QObject::connect(action, &QAction::triggered, &bound, &Channel::setOn);
                QObject::connect(&bound, &AlertChannel::switched, action,
                                 [action, &bound] { action->setChecked(bound.isOn()); });
                return action;
            }};
}

// A channel whose setup window opens from its own item of the File menu.
template <typename Window, typename Channel>
RegisteredChannel withMenuWindow(std::unique_ptr<Channel> channel, const QString& text)
{
    Channel& bound = *channel;
    return {std::move(channel), {}, [&bound, text](QObject* parent) {
                auto* action = new QAction(text, parent);
                QObject::connect(action, &QAction::triggered, action, [&bound, window = QPointer<QWidget>()]() mutable {
                    // One window at a time; another click brings it to the front.
                    if (!window) {
                        window = new Window(bound);
                        window->setAttribute(Qt::WA_DeleteOnClose);
                    }
                    window->show();
                    window->raise();
                    window->activateWindow();
                });
                return action;
            }};
}
} // namespace

std::vector<RegisteredChannel> registerAlertChannels(const ChannelServices& services)
{
    const MailContext& mail = services.mail;
    std::vector<RegisteredChannel> channels;
    channels.push_back(withSetupWindow<FrmSmtp>(std::make_unique<SmtpChannel>(mail, services.secrets)));
    channels.push_back(withSetupWindow<FrmMAPI>(std::make_unique<MapiChannel>(mail, SendmailSession::factory())));
    channels.push_back(withMenuSwitch(std::make_unique<NotifyChannel>(mail.log, mail.settings, services.notifier),
                                      QObject::tr("&Desktop Notifications")));
    channels.push_back(withMenuWindow<FrmPush>(
        std::make_unique<PushChannel>(mail.log, mail.settings, services.secrets), QObject::tr("&Push Alerts...")));
    return channels;
}
