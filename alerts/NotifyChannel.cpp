// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/NotifyChannel.h"

#include "alerts/MailContext.h"
#include "monitor/ActionLog.h"
#include "platform/ConsoleCommands.h"
#include "platform/DesktopNotifier.h"
#include "platform/PlainText.h"
#include "platform/Settings.h"

namespace {
}

NotifyChannel::NotifyChannel(ActionLog& log, Settings& settings, DesktopNotifier& notifier, QObject* parent)
    : AlertChannel(parent)
    , m_log(log)
    , m_settings(settings)
    , m_notifier(notifier)
{
    // Without a saved choice it is on where the desktop shows notifications; finding
    // that out takes the bus a moment, and start-up does not wait for it.
    if (m_settings.contains(Setting::Notifications)) {
        m_on = m_settings.isOn(Setting::Notifications, false);
    } else {
        connect(&m_notifier, &DesktopNotifier::available, this, [this](bool available) {
            if (m_settings.contains(Setting::Notifications) || available == m_on)
                return;
            m_on = available;
            Q_EMIT switched();
        });
        m_notifier.checkAvailable();
    }
    connect(&m_notifier, &DesktopNotifier::shown, this, [this] {
        m_quiet = false;
        m_log.LogAction(QStringLiteral("notify: shown"));
    });
    connect(&m_notifier, &DesktopNotifier::failed, this, [this](const QString& error) {
        if (std::exchange(m_quiet, true))
            return;
        m_log.LogAction(QStringLiteral("notify: error, ") + error);
    });
}

std::pair<QString, QString> NotifyChannel::summaryAndBody(const Alert& alert)
{
    if (alert.subject != Alert::TickersSubject)
        return {PlainText::folded(alert.subject), foldedAlertText(alert)};
    // A list can be news with no entry new (one went away): then it names them all.
    const QStringList& named = alert.newEntries.isEmpty() ? alert.entries : alert.newEntries;
    const qsizetype count = alert.newEntries.size();
    const QString summary = count == 0   ? QStringLiteral("Offerwatch: the offerings changed")
                            : count == 1 ? QStringLiteral("Offerwatch: 1 new offering")
                                         : QStringLiteral("Offerwatch: %1 new offerings").arg(count);
    QStringList lines;
    for (const QString& entry : named)
        lines << PlainText::folded(entry);
    return {summary, lines.join(QLatin1Char('\n'))};
}

void NotifyChannel::send(const Alert& alert)
{
    const auto [summary, body] = summaryAndBody(alert);
    // Any alert but news of offerings is about the watch itself failing or healing.
    m_notifier.notify(summary, body,
                      alert.subject == Alert::TickersSubject ? DesktopNotifier::Urgency::Normal
                                                             : DesktopNotifier::Urgency::Critical);
}

void NotifyChannel::setOn(bool on)
{
    m_on = on;
    m_settings.setOn(Setting::Notifications, on);
    Q_EMIT switched();
    m_log.LogAction(on ? QStringLiteral("notify: ON") : QStringLiteral("notify: OFF"));
}

void NotifyChannel::sendTest()
{
    m_notifier.notify(QStringLiteral("Offerwatch: test"), QStringLiteral("Desktop notifications reach you."));
}

void NotifyChannel::addConsoleCommands(ConsoleCommands& c)
{
    c.addCommand(QStringLiteral("notify on"), false, [this](const QString&) { setOn(true); });
    c.addCommand(QStringLiteral("notify off"), false, [this](const QString&) { setOn(false); });
    c.addCommand(QStringLiteral("notify test"), false, [this](const QString&) { sendTest(); });
}
