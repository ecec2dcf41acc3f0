#include "alerts/widgets/AlertChannels.h"

#include "alerts/MapiChannel.h"
#include "alerts/NotifyChannel.h"
#include "alerts/SmtpChannel.h"
#include "alerts/widgets/FrmMAPI.h"
#include "alerts/widgets/FrmSmtp.h"
#include "platform/MessagingSession.h"

#include <QAction>

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
} // namespace

std::vector<RegisteredChannel> registerAlertChannels(const ChannelServices& services)
{
    const MailContext& mail = services.mail;
    std::vector<RegisteredChannel> channels;
    channels.push_back(withSetupWindow<FrmSmtp>(std::make_unique<SmtpChannel>(mail, services.secrets)));
    channels.push_back(withSetupWindow<FrmMAPI>(std::make_unique<MapiChannel>(mail, SendmailSession::factory())));
    channels.push_back(withMenuSwitch(std::make_unique<NotifyChannel>(mail.log, mail.settings, services.notifier),
                                      QObject::tr("&Desktop Notifications")));
    return channels;
}
