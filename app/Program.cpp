// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "about/FrmAbout.h"
#include "alerts/AlertDispatch.h"
#include "alerts/MapiChannel.h"
#include "alerts/SmtpChannel.h"
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
        addWatchConsoleCommands();
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
    const QString key = QStringLiteral("Window/minimizeToTray");
    auto* minimizeToTray = new QAction(tr("Minimize to &Tray"), m_mainWindow.get());
    minimizeToTray->setCheckable(true);
    minimizeToTray->setChecked(m_settings->isOn(key));
    m_mainWindow->setHideWhenMinimized(minimizeToTray->isChecked());
    connect(minimizeToTray, &QAction::toggled, this, [this, key](bool on) {
        m_settings->setOn(key, on);
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

void Program::addWatchConsoleCommands()
{
    ConsoleSession& c = *m_console;
    WatchSetup& setup = *m_watchSetup;
    // Each command saves its own value alone, checked first; a refused value changes nothing.
    const auto field = [this, &c, &setup](const QString& name, std::function<bool(const QString&)> set) {
        c.addCommand(QStringLiteral("watch ") + name, true, [&c, &setup, name, set](const QString& text) {
            setup.reload();
            QString error;
            if (!set(text.trimmed()) || !setup.save(&error))
                c.refuse(QStringLiteral("'watch %1': %2 Nothing changed.")
                             .arg(name, error.isEmpty() ? QStringLiteral("use broker, edgar or pattern.") : error));
        });
    };
    field(QStringLiteral("url"), [&setup](const QString& text) {
        setup.setUrlText(text);
        return true;
    });
    field(QStringLiteral("source"), [&setup](const QString& text) {
        WatchSettings::Source source;
        if (!WatchSettings::parseSource(text, &source))
            return false;
        setup.setSource(source);
        return true;
    });
    field(QStringLiteral("pattern"), [&setup](const QString& text) {
        setup.setPattern(text);
        return true;
    });
    c.takeVerbatim(QStringLiteral("watch pattern"));
    field(QStringLiteral("forms"), [&setup](const QString& text) {
        setup.setFormsText(text);
        return true;
    });
    field(QStringLiteral("contact"), [&setup](const QString& text) {
        setup.setContact(text);
        return true;
    });
    for (const bool on : {true, false})
        c.addCommand(on ? QStringLiteral("watch remember on") : QStringLiteral("watch remember off"), false,
                     [&c, &setup, on](const QString&) {
                         setup.reload();
                         setup.setRemember(on);
                         QString error;
                         if (!setup.save(&error))
                             c.refuse(QStringLiteral("'watch remember': %1 Nothing changed.").arg(error));
                     });
    c.addCommand(QStringLiteral("watch try"), false, [&setup](const QString&) {
        setup.reload();
        setup.tryFetch();
    });
    c.addCommand(QStringLiteral("watch show"), false, [this, &setup](const QString&) {
        setup.reload();
        ConsoleSession::printLine(setup.describe());
        if (m_demoWatch || m_urlOverride)
            ConsoleSession::printLine(QStringLiteral("watch: this run watches %1 %2 (given on the command line)")
                                          .arg(WatchSettings::sourceName(m_monitor->watch().source),
                                               m_monitor->watch().url.toDisplayString()));
    });
    connect(&setup, &WatchSetup::tried, this, &ConsoleSession::printLine);
    c.addCommand(QStringLiteral("check"), false, [this, &c](const QString&) {
        if (!m_monitor->mnuCheckNow_Click())
            c.refuse(QStringLiteral("'check': monitoring is not waiting for its next cycle; nothing changed"));
    });
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
    m_mail =
        std::make_unique<MailContext>(MailContext{m_monitor->state(), m_monitor->actionLog(), *m_prompt, *m_settings});
    m_secrets = std::make_unique<KeychainSecretStore>();
    m_channels = registerAlertChannels(ChannelServices{*m_mail, *m_notifier, *m_secrets});
    for (const RegisteredChannel& registered : m_channels) {
        m_alerts->addChannel(*registered.channel);
        if (m_options.console)
            registered.channel->addConsoleCommands(*m_console);
        // Without a window, the SMTP page's connection status goes where the user looks.
        if (auto* smtp = qobject_cast<SmtpChannel*>(registered.channel.get()); smtp && m_options.console)
            connect(smtp, &SmtpChannel::statusReported, this, [](const QString& text) {
                ConsoleSession::printError(QStringLiteral("smtp status: ") + text.trimmed());
            });
        if (registered.createMenuAction)
            m_mainWindow->addFileMenuAction(registered.createMenuAction(m_mainWindow.get()));
    }
    // A click on one of our notifications brings the monitor to the front.
    connect(m_notifier.get(), &DesktopNotifier::activated, this, [this] {
        if (m_windows->windowsVisible())
            m_mainWindow->raiseToFront();
    });
    m_monitor->setAlertHooks(m_alerts.get());
    m_monitor->setStartUpMail([this] { return switchMailOnAtStart(); });

    m_windows->setMailWizardFactory([this]() -> QWidget* {
        FrmMail::Actions actions;
        actions.openSmtpWindow = [this] { openSetupWindow(QStringLiteral("SMTP")); };
        actions.openMapiWindow = [this] { openSetupWindow(QStringLiteral("MAPI")); };
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

void Program::openSetupWindow(const QString& channelName)
{
    const auto registered = std::find_if(m_channels.begin(), m_channels.end(),
                                         [&](const RegisteredChannel& r) { return r.channel->name() == channelName; });
    if (registered == m_channels.end())
        return;
    if (!m_windows->windowsVisible() || !registered->createSetupWindow) {
        registered->channel->loadSetup();
        return;
    }
    QPointer<QWidget>& window = m_setupWindows[channelName];
    if (!window)
        window = registered->createSetupWindow(m_mainWindow->frameGeometry());
    m_windows->present(window);
}

bool Program::switchMailOnAtStart()
{
    if (!mailAtStart(*m_mail))
        return false;
    const QString name = lastMailSystem(*m_mail);
    const auto registered = std::find_if(m_channels.begin(), m_channels.end(),
                                         [&](const RegisteredChannel& r) { return r.channel->name() == name; });
    AlertChannel* channel = registered == m_channels.end() ? nullptr : registered->channel.get();
    if (auto* smtp = qobject_cast<SmtpChannel*>(channel)) {
        smtp->Form_Load();
        smtp->Command2_Click();
    } else if (auto* mapi = qobject_cast<MapiChannel*>(channel)) {
        // A failed logon says why and leaves alerts off, as it does in the window.
        if (mapi->press(MapiChannel::Button::Command1) && m_monitor->state().MapiLoggedOn)
            mapi->press(MapiChannel::Button::Command2);
    } else {
        m_monitor->LogAction(QStringLiteral("email: not switched on at start, no mail system was ever switched on; "
                                            "set one up first"));
        return false;
    }
    return channel->isOn();
}

QString Program::statusLine() const
{
    const MainPanel& panel = m_monitor->panel();
    return QStringLiteral("status: colour=%1 tickers=\"%2\" email=\"%3\" alarm=\"%4\"")
        .arg(StatusColour::name(panel.statusColour()), panel.tickerText(), panel.emailCaption(), panel.alarmCaption());
}

void Program::addConsoleCommands()
{
    Monitor& m = *m_monitor;
    ConsoleSession& c = *m_console;
    c.addCommand(QStringLiteral("test alarm"), false, [this](const QString&) { m_alerts->SoundAlarm(); });
    c.addCommand(QStringLiteral("mail detail on"), false,
                 [this](const QString&) { setNamesNewOfferings(*m_mail, true); });
    c.addCommand(QStringLiteral("mail detail off"), false,
                 [this](const QString&) { setNamesNewOfferings(*m_mail, false); });
    c.addCommand(QStringLiteral("mail at-start on"), false, [this](const QString&) { setMailAtStart(*m_mail, true); });
    c.addCommand(QStringLiteral("mail at-start off"), false,
                 [this](const QString&) { setMailAtStart(*m_mail, false); });
    // A disabled button does nothing when clicked; its command says so instead.
    c.addCommand(QStringLiteral("start"), false, [&m, &c](const QString&) {
        if (m.panel().startEnabled())
            m.Command1_Click();
        else
            c.refuse(QStringLiteral("'start': monitoring is running already; nothing changed"));
    });
    c.addCommand(QStringLiteral("stop"), false, [&m, &c](const QString&) {
        if (m.panel().stopEnabled())
            m.Command2_Click();
        else
            c.refuse(QStringLiteral("'stop': monitoring is stopped already; nothing changed"));
    });
    c.addCommand(QStringLiteral("alarm"), false, [&m](const QString&) { m.Command5_Click(); });
    c.addCommand(QStringLiteral("browser"), false, [&m](const QString&) { m.Command4_Click(); });
    QStringList minutes;
    for (const int choice : Monitor::intervalChoices())
        minutes.prepend(QString::number(choice));
    c.setArgumentValues(QStringLiteral("interval"), minutes.join(u'|'));
    c.setArgumentValues(QStringLiteral("smtp security"), SmtpChannel::securityChoices().join(u'|'));
    c.addCommand(QStringLiteral("interval"), true, [&m](const QString& arg) {
        bool ok = false;
        const int minutes = arg.trimmed().toInt(&ok);
        if (!ok || !Monitor::intervalChoices().contains(minutes)) {
            ConsoleSession::printError(
                QStringLiteral("interval must be one of 90, 75, 60, 45, 30, 15; nothing changed"));
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
    c.addCommand(QStringLiteral("help"), false, [&m, &c](const QString&) {
        c.printHelp(DataFiles::pathFor(QStringLiteral("Offerwatch.txt"), QDir::currentPath()));
        m.mnuOfferwatch_Click(QDir::currentPath());
    });
    c.addCommand(QStringLiteral("about"), false, [&m](const QString&) { m.mnuAbout_Click(); });
    c.addCommand(QStringLiteral("show"), false, [this](const QString&) { ConsoleSession::printLine(statusLine()); });
    c.addCommand(QStringLiteral("exit"), false, [&m](const QString&) { m.Form_Unload(); });
}
