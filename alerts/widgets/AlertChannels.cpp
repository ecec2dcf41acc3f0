#include "alerts/widgets/AlertChannels.h"

#include "alerts/MapiChannel.h"
#include "alerts/SmtpChannel.h"
#include "alerts/widgets/FrmMAPI.h"
#include "alerts/widgets/FrmSmtp.h"
#include "platform/MessagingSession.h"

namespace {
template <typename Window, typename Channel> RegisteredChannel withSetupWindow(std::unique_ptr<Channel> channel)
{
    Channel& bound = *channel;
    return {std::move(channel),
            [&bound](const QRect& mainWindow) -> QWidget* { return new Window(bound, mainWindow); }};
}
} // namespace

std::vector<RegisteredChannel> registerAlertChannels(const MailContext& mail)
{
    std::vector<RegisteredChannel> channels;
    channels.push_back(withSetupWindow<FrmSmtp>(std::make_unique<SmtpChannel>(mail)));
    channels.push_back(withSetupWindow<FrmMAPI>(std::make_unique<MapiChannel>(mail, SendmailSession::factory())));
    return channels;
}
