#include "app/Program.h"

#include "about/FrmAbout.h"
#include "app/ConsoleSession.h"
#include "browser/BrowserHost.h"
#include "monitor/DemoOfferingsServer.h"
#include "monitor/FrmMain.h"
#include "monitor/Monitor.h"
#include "monitor/WindowManager.h"
#include "platform/NetworkPageClient.h"
#include "platform/UserPrompt.h"
#include "platform/widgets/MessageBoxPrompt.h"

#include <QCoreApplication>
#include <QDir>

namespace {
// The broker's page is not ours to name; users point the program at theirs with --url.
const QUrl OfferingsUrl(QStringLiteral("https://trading.broker.example/cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings"));
} // namespace

Program::Program(const CommandLine& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_pageClient(std::make_unique<NetworkPageClient>())
    , m_monitor(std::make_unique<Monitor>(m_clock, *m_pageClient))
    , m_windows(std::make_unique<WindowManager>(!options.console))
{
    if (options.console)
        m_prompt = std::make_unique<ConsolePrompt>();
    else
        m_prompt = std::make_unique<MessageBoxPrompt>();
    m_monitor->setWindowHost(m_windows.get());
    connect(m_monitor.get(), &Monitor::exitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

Program::~Program() = default;

bool Program::start()
{
    QUrl url = m_options.url.isEmpty() ? OfferingsUrl : m_options.url;
    if (m_options.demo) {
        m_demo = std::make_unique<DemoOfferingsServer>();
        if (!m_demo->start()) {
            ConsoleSession::printError(
                QStringLiteral("the demo page server cannot start: %1").arg(m_demo->errorString()));
            return false;
        }
        url = m_demo->url();
    }
    m_monitor->setOfferingsUrl(url);

    m_console = new ConsoleSession(this);
    m_console->catchTerminationSignals([this] { m_monitor->Form_Unload(); });
    if (m_options.console) {
        connect(&m_monitor->actionLog(), &ActionLog::lineLogged, this, &ConsoleSession::printLine);
        addConsoleCommands();
    }

    m_mainWindow = std::make_unique<FrmMain>(*m_monitor);
    wireBrowserAndAbout();
    m_monitor->Form_Load(QDir::currentPath());
    if (m_options.console) {
        // Nothing is shown, but the log reads as if the window had appeared.
        m_monitor->Form_Resize(Monitor::WindowState::Normal);
        m_console->listenToStandardInput();
    } else {
        m_mainWindow->show();
    }
    if (m_options.start)
        m_monitor->Command1_Click();
    return true;
}

void Program::wireBrowserAndAbout()
{
    m_browser = std::make_unique<BrowserHost>(m_mainWindow.get(), m_windows->windowsVisible());
    m_windows->setBrowserHost(m_browser.get());
    Monitor* monitor = m_monitor.get();
    m_windows->setAboutBoxFactory([monitor] {
        auto* about = new FrmAbout(monitor->state().BuildInfo,
                                   [monitor](const QString& message) { monitor->LogAction(message); });
        about->setAttribute(Qt::WA_DeleteOnClose);
        return about;
    });
}

QString Program::statusLine() const
{
    const MainPanel& panel = m_monitor->panel();
    return QStringLiteral("status: colour=%1 tickers=\"%2\" email=\"%3\" alarm=\"%4\"")
        .arg(StatusColour::name(panel.statusColour()), panel.tickerText(), panel.emailCaption(),
             panel.alarmCaption());
}

void Program::addConsoleCommands()
{
    Monitor& m = *m_monitor;
    ConsoleSession& c = *m_console;
    c.addCommand(QStringLiteral("start"), false, [&m](const QString&) { m.Command1_Click(); });
    c.addCommand(QStringLiteral("stop"), false, [&m](const QString&) { m.Command2_Click(); });
    c.addCommand(QStringLiteral("alarm"), false, [&m](const QString&) { m.Command5_Click(); });
    c.addCommand(QStringLiteral("browser"), false, [&m](const QString&) { m.Command4_Click(); });
    c.addCommand(QStringLiteral("interval"), true, [&m](const QString& arg) {
        bool ok = false;
        const int minutes = arg.trimmed().toInt(&ok);
        if (!ok || !Monitor::intervalChoices().contains(minutes)) {
            ConsoleSession::printError(QStringLiteral("interval must be one of 90, 75, 60, 45, 30, 15; nothing changed"));
            return;
        }
        m.List2_Click(minutes);
    });
    c.addCommand(QStringLiteral("exclude on"), false, [&m](const QString&) { m.Check1_Click(true); });
    c.addCommand(QStringLiteral("exclude off"), false, [&m](const QString&) { m.Check1_Click(false); });
    c.addCommand(QStringLiteral("minimize"), false,
                 [&m](const QString&) { m.Form_Resize(Monitor::WindowState::Minimized); });
    c.addCommand(QStringLiteral("restore"), false,
                 [&m](const QString&) { m.Form_Resize(Monitor::WindowState::Normal); });
    c.addCommand(QStringLiteral("wizard"), false, [&m](const QString&) { m.Command3_Click(); });
    c.addCommand(QStringLiteral("view log"), false, [&m](const QString&) { m.mnuIPOlog_Click(); });
    c.addCommand(QStringLiteral("delete log"), false, [&m](const QString&) { m.mnuDelLog_Click(); });
    c.addCommand(QStringLiteral("help"), false, [&m](const QString&) { m.mnuOfferwatch_Click(QDir::currentPath()); });
    c.addCommand(QStringLiteral("about"), false, [&m](const QString&) { m.mnuAbout_Click(); });
    c.addCommand(QStringLiteral("show"), false, [this](const QString&) { ConsoleSession::printLine(statusLine()); });
    c.addCommand(QStringLiteral("exit"), false, [&m](const QString&) { m.Form_Unload(); });
}
