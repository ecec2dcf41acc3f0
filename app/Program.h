#pragma once

#include "app/CommandLine.h"
#include "platform/Clock.h"

#include <QObject>

#include <memory>

class BrowserHost;
class ConsoleSession;
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
    ConsoleSession* m_console = nullptr;
};
