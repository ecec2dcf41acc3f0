#pragma once

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
