#include "alerts/Alerts.h"

#include "alerts/SmtpChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"
#include "platform/SoundPlayer.h"

const QString Alerts::AlarmFile = QStringLiteral("Offerwatch.wav");
const QString Alerts::Subject = QStringLiteral("IPO: ");

Alerts::Alerts(RunState& state, MainPanel& mainPanel, ActionLog& log, SoundPlayer& sound, SmtpChannel& smtp,
               QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_mainPanel(mainPanel)
    , m_log(log)
    , m_sound(sound)
    , m_smtp(smtp)
{
}

void Alerts::SoundAlarm()
{
    if (m_sound.play(AlarmFile))
        return;
    // The player only says that nothing started; no error number comes with that.
    m_mainPanel.setStatusColour(StatusColour::Orange);
    m_log.LogAction(errorDetailLine(QStringLiteral("alarm: error #"), 0, QString()));
}

void Alerts::DispatchEmailAlert(const QString& tickerList)
{
    if (!m_state.EmailOn)
        return;
    if (m_state.MailSystem == QLatin1String("MAPI")) {
        if (m_mapiSender)
            m_mapiSender(Subject, tickerList, false);
        m_log.LogAction(QStringLiteral("email: sent mapi"));
        return;
    }
    SmtpControl& control = m_smtp.Smtp1();
    control.setSubject(Subject);
    control.setMessage(QLatin1Char('"') + tickerList + QLatin1Char('"'));
    if (m_smtp.SendSmtpMail())
        m_log.LogAction(QStringLiteral("email: sent smtp"));
}

void Alerts::logoffMessagingSession()
{
    if (m_mapiLogoff)
        m_mapiLogoff();
}
