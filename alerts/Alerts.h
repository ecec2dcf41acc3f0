#pragma once

#include "monitor/WindowHost.h"

#include <QObject>
#include <QString>

#include <functional>

class ActionLog;
class MainPanel;
class SmtpChannel;
class SoundPlayer;
struct RunState;

// The alarm and the e-mail alert raised when a poll finds tickers, and the test
// alarm of the setup wizard.
class Alerts final : public QObject, public AlertHooks {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Alerts)
public:
    // Hands one message to the local mail system (its send routine logs its own failures).
    using MapiSender = std::function<void(const QString& subject, const QString& text, bool showDialog)>;

    static const QString AlarmFile;
    static const QString Subject;

    Alerts(RunState& state, MainPanel& mainPanel, ActionLog& log, SoundPlayer& sound, SmtpChannel& smtp,
           QObject* parent = nullptr);

    void setMapiSender(MapiSender sender) { m_mapiSender = std::move(sender); }
    void setMapiLogoff(std::function<void()> logoff) { m_mapiLogoff = std::move(logoff); }

    void SoundAlarm() override;
    void DispatchEmailAlert(const QString& tickerList) override;
    void logoffMessagingSession() override;

private:
    RunState& m_state;
    MainPanel& m_mainPanel;
    ActionLog& m_log;
    SoundPlayer& m_sound;
    SmtpChannel& m_smtp;
    MapiSender m_mapiSender;
    std::function<void()> m_mapiLogoff;
};
