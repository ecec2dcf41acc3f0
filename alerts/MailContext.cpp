#include "alerts/MailContext.h"

#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"

bool emailAlertsOnThrough(const MailContext& mail, const QString& channel)
{
    if (mail.state.MailSystem != channel || !mail.state.EmailOn)
        return false;
    mail.mainPanel.setEmailCaption(QStringLiteral("Email ON"));
    return true;
}

void switchEmailAlerts(const MailContext& mail, const QString& channel, bool on)
{
    // One channel at a time: switching one on replaces the other's choice.
    mail.state.MailSystem = on ? channel : QStringLiteral("NOTHING");
    mail.mainPanel.setEmailCaption(on ? QStringLiteral("Email ON") : QStringLiteral("Email OFF"));
    mail.state.EmailOn = on;
    mail.log.LogAction(on ? QStringLiteral("email: ON") : QStringLiteral("email: OFF"));
}
