// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "about/FrmAbout.h"
#include "alerts/AlertDispatch.h"
#include "alerts/MailContext.h"
#include "alerts/widgets/AlertChannels.h"
#include "alerts/widgets/FrmMail.h"
#include "app/ConsoleSession.h"
#include "app/InstanceGuard.h"
#include "browser/BrowserHost.h"
#include "monitor/DemoOfferingsServer.h"
#include "monitor/HistoryFile.h"
#include "monitor/Monitor.h"
#include "monitor/TrayModel.h"
#include "monitor/WatchSetup.h"
#include "monitor/widgets/FrmMain.h"
#include "monitor/widgets/FrmWatch.h"
#include "monitor/widgets/TrayIcon.h"
#include "monitor/widgets/WindowManager.h"
#include "platform/DataFiles.h"
#include "platform/DesktopNotifier.h"
#include "platform/NetworkPageClient.h"
#include "platform/SecretStore.h"
#include "platform/Settings.h"
#include "platform/SoundPlayer.h"
#include "platform/UserPrompt.h"
#include "platform/widgets/MessageBoxPrompt.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSystemTrayIcon>
namespace {
// Who the demo feed's requests name, as EDGAR's rules want a contact.
const QString DemoContact = QStringLiteral("demo@offerwatch.example");
} // namespace

Program::Program(const CommandLine& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_settings(std::make_unique<Settings>())
    , m_pageClient(std::make_unique<NetworkPageClient>())
    , m_tryClient(std::make_unique<NetworkPageClient>())
    , m_monitor(std::make_unique<Monitor>(m_clock, *m_pageClient))
    , m_windows(std::make_unique<WindowManager>(!options.console))
{
    if (options.console)
        m_prompt = std::make_unique<ConsolePrompt>([](const QString& line) { ConsoleSession::printError(line); });
    else
        m_prompt = std::make_unique<MessageBoxPrompt>();
    m_monitor->setWindowHost(m_windows.get());
    m_monitor->setHistoryFolder(HistoryFile::defaultFolder());
    connect(m_monitor.get(), &Monitor::exitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

Program::~Program() = default;

bool Program::guardInstance(int* exitStatus)
{
    m_guard = std::make_unique<InstanceGuard>(QFileInfo(m_settings->filePath()).absolutePath());
    switch (m_guard->claim()) {
    case InstanceGuard::Outcome::First:
        connect(m_guard.get(), &InstanceGuard::raiseRequested, this, [this] {
            if (m_windows->windowsVisible())
                m_mainWindow->raiseToFront();
        });
        return true;
    case InstanceGuard::Outcome::AlreadyRunning:
        ConsoleSession::printError(QStringLiteral("already running (process %1)").arg(m_guard->runningProcess()));
        *exitStatus = AlreadyRunning;
        return false;
    case InstanceGuard::Outcome::Unguarded:
        ConsoleSession::printError(QStringLiteral("could not guard against a second instance on these settings (%1); "
                                                  "running anyway")
                                       .arg(m_guard->problem()));
        return true;
    }
    return true;
}

bool Program::start(int* exitStatus)
{
    if (!guardInstance(exitStatus))
        return false;
    if (!m_options.url.isEmpty())
        m_urlOverride = m_options.url;
    if (m_options.demo) {
        m_demo = std::make_unique<DemoOfferingsServer>();
        if (!m_demo->start()) {
            ConsoleSession::printError(
                QStringLiteral("the demo page server cannot start: %1").arg(m_demo->errorString()));
            *exitStatus = CannotStart;
            return false;
        }
        WatchSettings demo;
        demo.url = m_demo->url();
        if (m_options.demoFeed) {
            demo.url = m_demo->feedUrl();
            demo.source = WatchSettings::Source::Edgar;
            demo.contact = DemoContact;
            // The sample feed changes with each request: one form keeps one change per poll.
            demo.forms = {QStringLiteral("S-1")};
        }
        m_demoWatch = demo;
    }
    m_watchSetup = std::make_unique<WatchSetup>(*m_settings, *m_tryClient);
    m_watchSetup->setConsoleWords(m_options.console);
    m_monitor->setConsoleWords(m_options.console);
    applyWatch();

    m_console = new ConsoleSession(this);
    m_console->catchTerminationSignals([this] { m_monitor->Form_Unload(); });
    if (m_options.console) {
        connect(&m_monitor->actionLog(), &ActionLog::lineLogged, this, &ConsoleSession::printLine);
        addConsoleCommands();
        connect(m_monitor.get(), &Monitor::exitRequested, m_console, &ConsoleSession::stopListening);
        connect(m_console, &ConsoleSession::inputEnded, this, &Program::endWhenNothingCanHeal);
    }

    m_mainWindow = std::make_unique<FrmMain>(*m_monitor);
    wireBrowserAndAbout();
    wireAlerts();
    wireTray();
    m_monitor->Form_Load(QDir::currentPath());
    // Said once the log is open, so the record of the run shows why settings were lost.
    if (!m_settings->loadProblem().isEmpty())
        m_monitor->LogAction(QStringLiteral("settings: ") + m_settings->loadProblem());
    if (!m_guard->problem().isEmpty())
        m_monitor->LogAction(QStringLiteral("main: could not guard against a second instance (%1)")
                                 .arg(m_guard->problem()));
    connect(m_settings.get(), &Settings::saveFailed, m_monitor.get(),
            [this](const QString& reason) { m_monitor->LogAction(QStringLiteral("settings: ") + reason); });
    connect(m_watchSetup.get(), &WatchSetup::saved, this, &Program::watchSaved);
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

void Program::endWhenNothingCanHeal()
{
    // Under a service nobody can type the missing setting in, and restarting would only
    // fail again: such a run ends with its own status, which the unit does not restart on.
    const QString problem = m_monitor->watch().pollProblem(true);
    if (!m_options.start || problem.isEmpty() || !m_monitor->panel().startEnabled())
        return;
    ConsoleSession::printError(QStringLiteral("nothing to monitor and no input to fix it: %1").arg(problem));
    m_exitStatus = BadSettings;
    m_monitor->Form_Unload();
}

void Program::wireTray()
{
    if (!m_windows->windowsVisible() || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayModel = std::make_unique<TrayModel>(*m_monitor);
    m_tray = std::make_unique<TrayIcon>(*m_trayModel, *m_mainWindow);
    connect(m_tray.get(), &TrayIcon::trayAvailabilityChanged, m_mainWindow.get(), &FrmMain::setTrayAvailable);
    auto* minimizeToTray = new QAction(tr("Minimize to &Tray"), m_mainWindow.get());
    minimizeToTray->setCheckable(true);
    minimizeToTray->setChecked(m_settings->isOn(Setting::MinimizeToTray));
    m_mainWindow->setHideWhenMinimized(minimizeToTray->isChecked());
    connect(minimizeToTray, &QAction::toggled, this, [this](bool on) {
        m_settings->setOn(Setting::MinimizeToTray, on);
        m_mainWindow->setHideWhenMinimized(on);
        m_monitor->LogAction(on ? QStringLiteral("menu: minimize to tray ON")
                                : QStringLiteral("menu: minimize to tray OFF"));
    });
    m_mainWindow->addFileMenuAction(minimizeToTray);
}

void Program::applyWatch()
{
    WatchSettings watch = WatchSettings::load(*m_settings);
    if (m_demoWatch)
        watch = *m_demoWatch;
    else if (m_urlOverride)
        watch.url = *m_urlOverride;
    m_monitor->setWatch(watch);
}

void Program::watchSaved()
{
    applyWatch();
    const WatchSettings& watch = m_monitor->watch();
    // What was given on the command line holds for the whole run; the saved values wait for the next.
    if (m_demoWatch || m_urlOverride)
        m_monitor->LogAction(QStringLiteral("watch: saved; this run keeps watching %1 (given on the command line)")
                                 .arg(watch.url.toDisplayString()));
    else
        m_monitor->LogAction(QStringLiteral("watch: saved; watching %1 %2")
                                 .arg(WatchSettings::sourceName(watch.source), watch.url.toDisplayString()));
}

void Program::wireBrowserAndAbout()
{
    m_browser = std::make_unique<BrowserHost>(m_mainWindow.get(), m_windows->windowsVisible());
    m_windows->setBrowserHost(m_browser.get());
    m_windows->setWatchSettingsFactory([this]() -> QWidget* {
        auto* window = new FrmWatch(*m_watchSetup);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->move(m_mainWindow->frameGeometry().width() + 1, 0);
        // The boxes show what is saved; say so when this run watches something else.
        if (m_demoWatch || m_urlOverride)
            window->setNote(tr("This run watches %1 (given on the command line). The values below are the "
                               "saved ones, for the runs after this one.")
                                .arg(m_monitor->watch().url.toDisplayString()));
        return window;
    });
    Monitor* monitor = m_monitor.get();
    m_windows->setAboutBoxFactory([monitor] {
        auto* about = new FrmAbout(monitor->state().BuildInfo,
                                   [monitor](const QString& message) { monitor->LogAction(message); });
        about->setAttribute(Qt::WA_DeleteOnClose);
        return about;
    });
}

void Program::wireAlerts()
{
    m_sound = std::make_unique<QtSoundPlayer>();
    m_alerts = std::make_unique<AlertDispatch>(m_monitor->panel(), m_monitor->actionLog(), *m_sound);
    m_notifier = std::make_unique<FreedesktopNotifier>();
    m_secrets = std::make_unique<KeychainSecretStore>();
    const ChannelServices services{m_monitor->actionLog(), *m_settings, *m_prompt, m_alerts->mailSwitch(),
                                   *m_notifier,            *m_secrets};
    m_mail = std::make_unique<MailContext>(services.mail());
    m_channels = registerAlertChannels(services);
    for (const RegisteredChannel& registered : m_channels) {
        m_alerts->addChannel(*registered.channel);
        if (m_options.console)
            registered.channel->addConsoleCommands(*m_console);
        if (registered.createMenuAction)
            m_mainWindow->addFileMenuAction(registered.createMenuAction(m_mainWindow.get()));
    }
    if (m_options.console)
        m_alerts->addConsoleCommands(*m_console, *m_mail);
    // A click on one of our notifications brings the monitor to the front.
    connect(m_notifier.get(), &DesktopNotifier::activated, this, [this] {
        if (m_windows->windowsVisible())
            m_mainWindow->raiseToFront();
    });
    m_monitor->setAlertHooks(m_alerts.get());
    m_monitor->setStartUpMail([this] { return switchMailOnAtStart(); });

    m_windows->setMailWizardFactory([this]() -> QWidget* {
        FrmMail::Actions actions;
        for (RegisteredChannel& registered : m_channels) {
            if (registered.wizardCaption.isEmpty())
                continue;
            AlertChannel* channel = registered.channel.get();
            actions.mailSystems.append({channel->name().toLower(), registered.wizardCaption,
                                        registered.wizardExplanation, [this, channel] { openSetupWindow(*channel); }});
        }
        actions.soundAlarm = [this] { m_alerts->SoundAlarm(); };
        actions.namesNewOfferings = [this] { return namesNewOfferings(*m_mail); };
        actions.setNamesNewOfferings = [this](bool on) { setNamesNewOfferings(*m_mail, on); };
        actions.mailAtStart = [this] { return mailAtStart(*m_mail); };
        actions.setMailAtStart = [this](bool on) { setMailAtStart(*m_mail, on); };
        auto* wizard = new FrmMail(m_monitor->actionLog(), std::move(actions));
        wizard->setAttribute(Qt::WA_DeleteOnClose);
        return wizard;
    });
    // Windows that were only loaded for an alert have no window to close; they are
    // unloaded here, after the visible ones and newest first, so their boxes reach the
    // settings too.
    connect(m_monitor.get(), &Monitor::exitRequested, this, [this] {
        for (auto it = m_channels.rbegin(); it != m_channels.rend(); ++it)
            it->channel->unloadSetup();
    });
}

void Program::openSetupWindow(AlertChannel& channel)
{
    const auto registered = std::find_if(m_channels.begin(), m_channels.end(),
                                         [&](const RegisteredChannel& r) { return r.channel.get() == &channel; });
    if (registered == m_channels.end())
        return;
    if (!m_windows->windowsVisible() || !registered->createSetupWindow) {
        channel.loadSetup();
        return;
    }
    QPointer<QWidget>& window = m_setupWindows[channel.name()];
    if (!window)
        window = registered->createSetupWindow(m_mainWindow->frameGeometry());
    m_windows->present(window);
}

bool Program::switchMailOnAtStart()
{
    if (!mailAtStart(*m_mail))
        return false;
    const QString name = lastMailSystem(*m_mail);
    const auto registered = std::find_if(m_channels.begin(), m_channels.end(), [&](const RegisteredChannel& r) {
        return r.channel->isMail() && r.channel->name() == name;
    });
    if (registered == m_channels.end()) {
        m_monitor->LogAction(QStringLiteral("email: not switched on at start, no mail system was ever switched on; "
                                            "set one up first"));
        return false;
    }
    return registered->channel->switchOnAtStart();
}

void Program::addConsoleCommands()
{
    m_monitor->addConsoleCommands(*m_console);
    m_watchSetup->addConsoleCommands(*m_console, [this] {
        if (!m_demoWatch && !m_urlOverride)
            return QString();
        return QStringLiteral("watch: this run watches %1 %2 (given on the command line)")
            .arg(WatchSettings::sourceName(m_monitor->watch().source), m_monitor->watch().url.toDisplayString());
    });
    Monitor& m = *m_monitor;
    ConsoleSession& c = *m_console;
    c.addCommand(QStringLiteral("help"), false, [&m, &c](const QString&) {
        c.printHelp(DataFiles::pathFor(QStringLiteral("Offerwatch.txt"), QDir::currentPath()));
        m.mnuOfferwatch_Click(QDir::currentPath());
    });
}
