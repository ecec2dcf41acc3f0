#include "alerts/MailContext.h"

#include "alerts/AlertChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/RunState.h"

bool emailAlertsOnThrough(const MailContext& mail, const AlertChannel& channel)
{
    return mail.state.EmailOn && mail.state.MailSystem == channel.name();
}

void switchEmailAlerts(const MailContext& mail, AlertChannel& channel, bool on)
{
    // One channel at a time: switching one on replaces the other's choice.
    mail.state.MailSystem = on ? channel.name() : QStringLiteral("NOTHING");
    mail.state.EmailOn = on;
    Q_EMIT channel.switched();
    mail.log.LogAction(on ? QStringLiteral("email: ON") : QStringLiteral("email: OFF"));
}

void stopEmailAlerts(const MailContext& mail, AlertChannel& channel)
{
    mail.state.EmailOn = false;
    Q_EMIT channel.switched();
}
