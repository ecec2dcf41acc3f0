#pragma once

#include "app/CommandLine.h"
#include "platform/Clock.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Alerts;
class BrowserHost;
class ConsoleSession;
class FrmMAPI;
class FrmSmtp;
class MapiChannel;
class SettingsStore;
class SmtpChannel;
class SoundPlayer;
class DemoOfferingsServer;
class FrmMain;
class Monitor;
class NetworkPageClient;
class UserPrompt;
class WindowManager;

// Puts the program together: the monitor and its page client, the windows (shown,
// or only loaded when running in the console), and the console's commands.
class Program final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Program)
public:
    explicit Program(const CommandLine& options, QObject* parent = nullptr);
    ~Program() override;

    // Runs start-up; false (with the reason on standard error) when the program cannot run.
    bool start();

private:
    void addConsoleCommands();
    void addMailConsoleCommands();
    // The alarm, the e-mail channels and the setup windows.
    void wireAlerts();
    template <typename Window, typename Channel>
    void openSetupWindow(QPointer<Window>& window, Channel& channel, void (Channel::*load)());
    void openSmtpWindow();
    void openMapiWindow();
    // The browser view and the About box, opened from the main window.
    void wireBrowserAndAbout();
    QString statusLine() const;

    CommandLine m_options;
    SystemClock m_clock;
    std::unique_ptr<NetworkPageClient> m_pageClient;
    std::unique_ptr<DemoOfferingsServer> m_demo;
    std::unique_ptr<UserPrompt> m_prompt;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<WindowManager> m_windows;
    std::unique_ptr<FrmMain> m_mainWindow;
    std::unique_ptr<BrowserHost> m_browser;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<SmtpChannel> m_smtp;
    std::unique_ptr<Alerts> m_alerts;
    QPointer<FrmSmtp> m_smtpWindow;
    std::unique_ptr<MapiChannel> m_mapi;
    QPointer<FrmMAPI> m_mapiWindow;
    ConsoleSession* m_console = nullptr;
};
