// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CommandLine.h"
#include "monitor/WatchSettings.h"
#include "platform/Clock.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class AlertChannel;
class AlertDispatch;
class BrowserHost;
class ConsoleSession;
class DemoOfferingsServer;
class DesktopNotifier;
class SecretStore;
class FrmMain;
class InstanceGuard;
struct MailContext;
class Monitor;
class NetworkPageClient;
class Settings;
class SoundPlayer;
class UserPrompt;
class TrayIcon;
class TrayModel;
class WatchSetup;
class WindowManager;
struct RegisteredChannel;

// Puts the program together: the monitor and its page client, the windows (shown,
// or only loaded when running in the console), and the console's commands.
class Program final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Program)
public:
    explicit Program(const CommandLine& options, QObject* parent = nullptr);
    ~Program() override;

    // Runs start-up; false (with the reason on standard error) when the program cannot
    // run, and the status it exits with.
    bool start(int* exitStatus);

    // Exit statuses besides 0 and the 2 of a bad command line.
    static constexpr int CannotStart = 1;
    static constexpr int BadSettings = 2;
    static constexpr int AlreadyRunning = 3;
    // The status of a run that ended by itself; 0 for a normal shut-down.
    int exitStatus() const { return m_exitStatus; }

private:
    // The console's commands: each part registers its own; help is the console's.
    void addConsoleCommands();
    // Console, --start and the end of input, with settings that leave nothing to poll.
    void endWhenNothingCanHeal();
    // One program per settings folder; false when another runs.
    bool guardInstance(int* exitStatus);
    // The tray icon and File > Minimize to Tray, where the desktop has a tray.
    void wireTray();
    // The saved watch settings, or what --demo or --url put in their place for this run.
    void applyWatch();
    // One line per save, from the window or a command.
    void watchSaved();
    // The alarm, the alert channels and their setup windows.
    void wireAlerts();
    // Opens the channel's setup window; without windows only its logic loads.
    void openSetupWindow(AlertChannel& channel);
    // "Switch e-mail alerts on when Offerwatch starts": the channel last chosen, as its
    // window's buttons would; false when alerts stay off.
    bool switchMailOnAtStart();
    // The browser view and the About box, opened from the main window.
    void wireBrowserAndAbout();

    CommandLine m_options;
    SystemClock m_clock;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<NetworkPageClient> m_pageClient;
    // Try in the Watch Settings fetches apart from the polls.
    std::unique_ptr<NetworkPageClient> m_tryClient;
    std::unique_ptr<WatchSetup> m_watchSetup;
    std::optional<QUrl> m_urlOverride;
    std::optional<WatchSettings> m_demoWatch;
    std::unique_ptr<DemoOfferingsServer> m_demo;
    std::unique_ptr<UserPrompt> m_prompt;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<WindowManager> m_windows;
    std::unique_ptr<FrmMain> m_mainWindow;
    std::unique_ptr<BrowserHost> m_browser;
    std::unique_ptr<TrayModel> m_trayModel;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<SecretStore> m_secrets;
    std::unique_ptr<AlertDispatch> m_alerts;
    std::unique_ptr<MailContext> m_mail;
    std::vector<RegisteredChannel> m_channels;
    QHash<QString, QPointer<QWidget>> m_setupWindows;
    ConsoleSession* m_console = nullptr;
    int m_exitStatus = 0;
};
