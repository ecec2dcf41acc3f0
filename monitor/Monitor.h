// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/ActionLog.h"
#include "monitor/AlertHooks.h"
#include "monitor/ChangeDetector.h"
#include "monitor/FormFeedClient.h"
#include "monitor/MainPanel.h"
#include "monitor/OfferingsSource.h"
#include "monitor/PollCycle.h"
#include "monitor/RunState.h"
#include "monitor/WatchSettings.h"
#include "monitor/WindowHost.h"

#include <QObject>
#include <QUrl>

#include <QSet>

#include <functional>
#include <memory>
#include <optional>

// The main window's logic and the run state it owns: start-up, the toggles, the
// interval and exclude-closed choices, minimize and restore, the log and help menus,
// the report of each poll, and shut-down. The window itself only binds controls to it.
class ConsoleCommands;

class Monitor final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Monitor)
public:
    enum class WindowState { Normal, Minimized, Maximized, Other };

    Monitor(const Clock& clock, PageClient& pageClient, QObject* parent = nullptr);

    void setWindowHost(WindowHost* host) { m_windows = host; }
    void setAlertHooks(AlertHooks* alerts) { m_alerts = alerts; }
    // Messages name console commands instead of menu items.
    void setConsoleWords(bool console) { m_consoleWords = console; }
    // Switches e-mail alerts on at start-up when the user chose so, logging "email: ON";
    // false when it did not.
    void setStartUpMail(std::function<bool()> switchOn) { m_startUpMail = std::move(switchOn); }
    void setOfferingsUrl(const QUrl& url)
    {
        WatchSettings watch = m_watch;
        watch.url = url;
        setWatch(watch);
    }
    // What to watch from the next cycle on. A new address or reading starts a new history.
    void setWatch(const WatchSettings& watch);
    // Where each watched address's history is kept across restarts, when the watch
    // settings say to remember; empty for nowhere. Set before start-up.
    void setHistoryFolder(const QString& folder) { m_historyFolder = folder; }
    const WatchSettings& watch() const { return m_watch; }

    RunState& state() { return m_state; }
    MainPanel& panel() { return m_panel; }
    ActionLog& actionLog() { return m_log; }
    const ActionLog& actionLog() const { return m_log; }
    PollCycle& poll() { return m_poll; }
    ChangeDetector& changeDetector() { return m_detector; }
    const QString& tickerList() const { return m_tickerList; }

    void LogAction(const QString& message) { m_log.LogAction(message); }

    // The console's commands for the main window's controls (MonitorCommands.cpp).
    void addConsoleCommands(ConsoleCommands& commands);
    // What `show` prints: the status colour and what the main window's captions say.
    QString statusLine() const;

    // currentDirectory is where the log lives for the whole run.
    void Form_Load(const QString& currentDirectory);
    void Form_Resize(WindowState state);
    void Form_Unload();

    void Command1_Click() { m_poll.Command1_Click(); }
    // File > Check Now: false when monitoring is not waiting for its next cycle.
    bool mnuCheckNow_Click() { return m_poll.checkNow(); }
    void Command2_Click() { m_poll.Command2_Click(); }
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void List2_Click(int minutes);
    void Check1_Click(bool ticked);

    void mnuEmail_Click();
    void mnuWatch_Click();
    void mnuIPOlog_Click();
    void mnuDelLog_Click();
    void mnuOfferwatch_Click(const QString& currentDirectory);
    void mnuAbout_Click();

    void SwitchBrowserOn();
    void SwitchBrowserOff();
    void ShowPageInBrowser();

    static const QList<int>& intervalChoices();

Q_SIGNALS:
    // Shut-down has run; the program ends.
    void exitRequested();

private:
    void handlePage(const QString& page, std::function<void()> done);
    void report(const Extraction& extraction);
    // An empty history, to be filled from the saved one at the next successful poll.
    void resetHistory();
    void restoreHistory();
    void saveHistory();
    // The entries of this list that are news, or nothing when the list is no news.
    std::optional<QStringList> newEntriesOf(const Extraction& extraction);
    void warnWhenEntriesVanish(const Extraction& extraction);
    // Health alerts: one when the page has failed failAlert times in a row, one when it answers again.
    void pollFailed(const QString& detail);
    void pollSucceeded();
    void sendHealthAlert(const QString& subject, const QString& text, const QString& logLine);
    void ReportNoChange();
    void ReportTickersFound(const Extraction& extraction, const QStringList& newEntries);

    const Clock& m_clock;
    RunState m_state;
    MainPanel m_panel;
    ActionLog m_log;
    FormFeedClient m_feeds;
    PollCycle m_poll;
    WatchSettings m_watch;
    // Shared with a worker thread that may still be reading a page with it.
    std::shared_ptr<const OfferingsSource> m_source;
    // Warnings about the watched page already logged; each is said once per watch.
    QSet<QString> m_warned;
    ChangeDetector m_detector;
    KeyChangeDetector m_keyDetector;
    QString m_historyFolder;
    // The saved history is still to be read (at the first poll, so its line is logged).
    bool m_historyPending = false;
    // The detectors hold what this run has seen: worth saving.
    bool m_historyLive = false;
    // A failed save is logged once until one succeeds again.
    bool m_historySaveFailed = false;
    // For the warning that a page which had entries has none any more.
    bool m_hadEntries = false;
    int m_emptyPolls = 0;
    int m_failuresInRow = 0;
    bool m_failureAlerted = false;
    QString m_tickerList = QStringLiteral(" ");
    QString m_tickerEntry = QStringLiteral(" ");
    WindowHost* m_windows = nullptr;
    AlertHooks* m_alerts = nullptr;
    std::function<bool()> m_startUpMail;
    bool m_unloaded = false;
    bool m_consoleWords = false;
};
