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
// A mail channel that the e-mail setup wizard offers, with its own setup window.
template <typename Window, typename Channel>
RegisteredChannel withSetupWindow(std::unique_ptr<Channel> channel, const QString& caption, const QString& explanation)
{
    Channel& bound = *channel;
    return {std::move(channel),
            [&bound](const QRect& mainWindow) -> QWidget* { return new Window(bound, mainWindow); }, caption,
            explanation, {}};
}

QString smtpExplanation()
{
    return QStringLiteral("SMTP (Simple Mail Transfer Protocol) is the TCP/IP protocol used in sending and "
                          "receiving e-mail.\r\n\r\n"
                          "Since it is limited in its ability to queue messages at the receiving end, it is "
                          "usually used with one of two other protocols, POP3 or IMAP, that let the user save "
                          "messages in a server mailbox and download them periodically from the server. Users "
                          "typically send e-mail with SMTP and receive it with POP3 or IMAP from their local "
                          "server.\r\n\r\n"
                          "Most mail providers take mail on port 587 with STARTTLS, or on 465 with TLS, "
                          "with your address as the user name and an app password.");
}

QString localMailExplanation()
{
    return QStringLiteral("Local mail: the mail system of this computer, reached through its sendmail "
                          "program, which most Linux mail servers and relays provide.\r\n\r\n"
                          "example: Postfix, Exim or msmtp set up to forward your mail.   ");
}

// A channel switched on and off by a checkable menu item.
template <typename Channel> RegisteredChannel withMenuSwitch(std::unique_ptr<Channel> channel, const QString& text)
{
    Channel& bound = *channel;
    return {std::move(channel), {}, {}, {}, [&bound, text](QObject* parent) {
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
    return {std::move(channel), {}, {}, {}, [&bound, text](QObject* parent) {
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
    std::vector<RegisteredChannel> channels;
    channels.push_back(withSetupWindow<FrmSmtp>(std::make_unique<SmtpChannel>(services.mail(), services.secrets),
                                                QObject::tr("Internet Mail"), smtpExplanation()));
    channels.push_back(
        withSetupWindow<FrmMAPI>(std::make_unique<MapiChannel>(services.mail(), SendmailSession::factory()),
                                 QObject::tr("Local Mail System"), localMailExplanation()));
    channels.push_back(withMenuSwitch(std::make_unique<NotifyChannel>(services.log, services.settings, services.notifier),
                                      QObject::tr("&Desktop Notifications")));
    channels.push_back(withMenuWindow<FrmPush>(
        std::make_unique<PushChannel>(services.log, services.settings, services.secrets), QObject::tr("&Push Alerts...")));
    return channels;
}
