#pragma once

#include <QString>

class ActionLog;
class MainPanel;
class SettingsStore;
class UserPrompt;
struct RunState;

// What both mail channels work with: the run's shared mail state, the main window's
// panel (its e-mail button), the action log, message boxes and the settings store.
struct MailContext {
    RunState& state;
    MainPanel& mainPanel;
    ActionLog& log;
    UserPrompt& prompt;
    SettingsStore& settings;
};

// A setup window's start-up rule: true when e-mail alerts are on through channel
// ("SMTP" or "MAPI"), and then the main window's e-mail button reads "Email ON".
bool emailAlertsOnThrough(const MailContext& mail, const QString& channel);

// A setup window's ON/OFF button: alerts on through channel, or off for every channel,
// with the main window's caption and the log line.
void switchEmailAlerts(const MailContext& mail, const QString& channel, bool on);
