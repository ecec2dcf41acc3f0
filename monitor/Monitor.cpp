// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/Monitor.h"

#include "monitor/HistoryFile.h"
#include "platform/DataFiles.h"
#include "platform/TextEditor.h"

#include <QDir>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <QFileInfo>

namespace {
const QString Blank = QStringLiteral(" ");
// Pages up to this size are read at once: that takes milliseconds, and the cycle reads as it always has.
constexpr qsizetype InlinePageLimit = 512 * 1024;
} // namespace

Monitor::Monitor(const Clock& clock, PageClient& pageClient, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_log(clock)
    , m_feeds(pageClient)
    , m_poll(m_log, m_panel, m_state, m_feeds, clock)
{
    m_feeds.setWarningSink([this](const QString& warning) { LogAction(warning); });
    m_poll.setPageHandler(
        [this](const QString& page, std::function<void()> done) { handlePage(page, std::move(done)); });
    m_poll.setReadinessCheck([this] { return m_watch.pollProblem(m_consoleWords); });
    connect(&m_poll, &PollCycle::fetchFailed, this, &Monitor::pollFailed);
    setWatch(m_watch);
}

void Monitor::setWatch(const WatchSettings& watch)
{
    const bool sameReading = m_source && watch.url == m_watch.url && watch.source == m_watch.source &&
                             watch.pattern == m_watch.pattern && watch.forms == m_watch.forms;
    m_watch = watch;
    m_feeds.setForms(watch.source == WatchSettings::Source::Edgar ? watch.forms : QStringList());
    m_poll.setOfferingsUrl(watch.url);
    m_poll.setContact(watch.source == WatchSettings::Source::Edgar ? watch.contact : QString());
    if (sameReading) {
        if (!m_historyLive)
            resetHistory();
        return;
    }
    m_source = OfferingsSource::create(watch);
    resetHistory();
    m_warned.clear();
    m_hadEntries = false;
    m_emptyPolls = 0;
    m_failuresInRow = 0;
    m_failureAlerted = false;
}

const QList<int>& Monitor::intervalChoices()
{
    static const QList<int> minutes{90, 75, 60, 45, 30, 15};
    return minutes;
}

void Monitor::Form_Load(const QString& currentDirectory)
{
    m_state.LogFilePath = QDir(currentDirectory).filePath(QStringLiteral("ipolog.txt"));
    m_log.setFilePath(m_state.LogFilePath);
    const QFileInfo logFile(m_state.LogFilePath);
    if (!logFile.exists() || logFile.size() == 0)
        LogAction(QStringLiteral("OFFERWATCH LOG CREATED"));
    LogAction(QStringLiteral("main: Program Started. ") + m_state.BuildInfo);

    Command2_Click();

    if (!m_startUpMail || !m_startUpMail())
        LogAction(QStringLiteral("email: OFF"));

    m_state.AlarmOn = false;
    m_panel.setAlarmCaption(QStringLiteral("Alarm OFF"));
    LogAction(QStringLiteral("alarm: OFF"));

    m_state.BrowserOn = true;
    m_state.BrowserOnSaved = true;
    m_state.PageFetched = false;
    m_state.PageFetchedSaved = false;

    List2_Click(15);
    Check1_Click(true);

    m_tickerList = Blank;
    m_tickerEntry = Blank;
    resetHistory();
}

void Monitor::Form_Resize(WindowState state)
{
    switch (state) {
    case WindowState::Minimized:
        m_state.BrowserOnSaved = m_state.BrowserOn;
        m_state.PageFetchedSaved = m_state.PageFetched;
        m_state.PageFetched = true;
        SwitchBrowserOff();
        LogAction(QStringLiteral("window: minimized"));
        break;
    case WindowState::Normal:
    case WindowState::Maximized:
        m_state.BrowserOn = m_state.BrowserOnSaved;
        m_state.PageFetched = m_state.PageFetchedSaved;
        if (m_state.BrowserOn) {
            SwitchBrowserOn();
            if (m_state.PageFetched)
                ShowPageInBrowser();
        }
        LogAction(QStringLiteral("window: normal"));
        break;
    case WindowState::Other:
        break;
    }
}

void Monitor::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // The exit line is the last line of a run: nothing polled later may follow it.
    m_poll.shutDown();
    saveHistory();
    LogAction(QStringLiteral("main: Exit Program."));
    if (m_alerts)
        m_alerts->logoffMessagingSession();
    if (m_windows)
        m_windows->unloadAllWindows();
    m_log.close();
    Q_EMIT exitRequested();
}

void Monitor::Command3_Click()
{
    LogAction(QStringLiteral("button: email setup"));
    if (m_windows)
        m_windows->showMailWizard();
}

void Monitor::Command4_Click()
{
    if (m_state.BrowserOn)
        SwitchBrowserOff();
    else
        SwitchBrowserOn();
}

void Monitor::Command5_Click()
{
    if (m_panel.alarmCaption() != QLatin1String("Alarm ON")) {
        m_state.AlarmOn = true;
        m_panel.setAlarmCaption(QStringLiteral("Alarm ON"));
        LogAction(QStringLiteral("alarm: ON"));
    } else {
        m_state.AlarmOn = false;
        m_panel.setAlarmCaption(QStringLiteral("Alarm OFF"));
        LogAction(QStringLiteral("alarm: OFF"));
    }
}

void Monitor::List2_Click(int minutes)
{
    if (!intervalChoices().contains(minutes))
        return;
    m_panel.setIntervalMinutes(minutes);
    LogAction(QStringLiteral("interval:") + QString::number(minutes));
}

void Monitor::Check1_Click(bool ticked)
{
    m_panel.setExcludeClosed(ticked);
    LogAction(ticked ? QStringLiteral("exclude: ON") : QStringLiteral("exclude: OFF"));
}

void Monitor::mnuEmail_Click()
{
    LogAction(QStringLiteral("menu: email setup"));
    if (m_windows)
        m_windows->showMailWizard();
}

void Monitor::mnuWatch_Click()
{
    LogAction(QStringLiteral("menu: watch settings"));
    if (m_windows)
        m_windows->showWatchSettings();
}

void Monitor::mnuIPOlog_Click()
{
    LogAction(QStringLiteral("menu: viewed ipolog.txt"));
    LaunchTextEditor(m_state.LogFilePath);
}

void Monitor::mnuDelLog_Click()
{
    QFile::remove(m_state.LogFilePath);
    LogAction(QStringLiteral("OFFERWATCH LOG CREATED"));
    LogAction(QStringLiteral("menu: previous ipolog.txt was deleted "));
}

void Monitor::mnuOfferwatch_Click(const QString& currentDirectory)
{
    LogAction(QStringLiteral("menu: Offerwatch.txt"));
    LaunchTextEditor(DataFiles::pathFor(QStringLiteral("Offerwatch.txt"), currentDirectory));
}

void Monitor::mnuAbout_Click()
{
    LogAction(QStringLiteral("menu: about"));
    if (m_windows)
        m_windows->showAboutBox();
}

void Monitor::SwitchBrowserOn()
{
    m_panel.setBrowserCaption(QStringLiteral("Browser ON"));
    m_state.BrowserOn = true;
    if (m_state.PageFetched && m_windows)
        m_windows->showBrowser();
    LogAction(QStringLiteral("browser: ON"));
}

void Monitor::SwitchBrowserOff()
{
    m_panel.setBrowserCaption(QStringLiteral("Browser OFF"));
    m_state.BrowserOn = false;
    if (m_state.PageFetched && m_windows)
        m_windows->hideBrowser();
    LogAction(QStringLiteral("browser: OFF"));
}

void Monitor::ShowPageInBrowser()
{
    if (m_state.BrowserOn && m_state.PageFetched && m_windows)
        m_windows->reloadBrowser(m_poll.offeringsUrl().toString());
}

void Monitor::handlePage(const QString& page, std::function<void()> done)
{
    ShowPageInBrowser();
    if (!m_source->mayTakeLong() && page.size() <= InlinePageLimit) {
        report(m_source->extract(page));
        done();
        return;
    }
    // Reading a large page, or one through a user's pattern, may take seconds: it runs on a
    // worker thread while the window and the console go on answering. Only its result comes
    // back to this thread, where the history lives.
    auto* reading = new QFutureWatcher<Extraction>(this);
    connect(reading, &QFutureWatcherBase::finished, this,
            [this, reading, source = m_source, done = std::move(done)] {
                reading->deleteLater();
                // A watch changed while the page was read makes its result meaningless.
                if (!m_unloaded && source == m_source)
                    report(reading->result());
                done();
            });
    reading->setFuture(QtConcurrent::run([source = m_source, page] { return source->extract(page); }));
}

void Monitor::report(const Extraction& extraction)
{
    if (!extraction.error.isEmpty()) {
        // A page that cannot be read is a failed poll, not an empty one.
        m_panel.setPollOutcome(StatusColour::PollOutcome::Failed);
        LogAction(QStringLiteral("poll: error, ") + extraction.error);
        pollFailed(extraction.error);
        return;
    }
    pollSucceeded();
    for (const QString& warning : extraction.warnings) {
        if (!m_warned.contains(warning)) {
            m_warned.insert(warning);
            LogAction(QStringLiteral("poll: warning, ") + warning);
        }
    }
    restoreHistory();
    m_tickerList = extraction.tickerList;
    m_tickerEntry = extraction.lastEntry;
    const std::optional<QStringList> newEntries = newEntriesOf(extraction);
    m_historyLive = true;
    saveHistory();
    if (newEntries)
        ReportTickersFound(extraction, *newEntries);
    else
        ReportNoChange();
    warnWhenEntriesVanish(extraction);
}

void Monitor::resetHistory()
{
    m_detector = ChangeDetector();
    m_keyDetector = KeyChangeDetector();
    m_historyLive = false;
    m_historyPending = m_watch.remember && !m_historyFolder.isEmpty() && !m_watch.url.isEmpty();
}

void Monitor::restoreHistory()
{
    if (!std::exchange(m_historyPending, false))
        return;
    const HistoryFile file(m_historyFolder, WatchSettings::sourceName(m_watch.source), m_watch.url);
    SeenHistory seen;
    QString problem;
    switch (file.read(&seen, &problem)) {
    case HistoryFile::Outcome::Missing:
        return;
    case HistoryFile::Outcome::Read: {
        m_detector.restore(seen.lists);
        m_keyDetector.restore(seen.keys);
        const QDateTime saved = seen.saved.toLocalTime();
        const int lists = seen.filledLists();
        LogAction(QStringLiteral("poll: compared with %1 %2 seen before the restart, saved %3 %4")
                      .arg(lists)
                      .arg(lists == 1 ? QStringLiteral("list") : QStringLiteral("lists"))
                      .arg(ActionLog::shortDate(saved), ActionLog::longTime(saved)));
        return;
    }
    case HistoryFile::Outcome::Unusable:
        break;
    }
    // The program goes on as on a first run; the file stays for whoever wants to look at it.
    const QString kept = file.setAside();
    LogAction(QStringLiteral("poll: the saved history %1 cannot be used (%2); %3, and this poll starts an empty "
                             "history")
                  .arg(file.path(), problem,
                       kept.isEmpty() ? QStringLiteral("it cannot be moved aside")
                                      : QStringLiteral("it is kept as ") + kept));
}

void Monitor::saveHistory()
{
    if (!m_historyLive || !m_watch.remember || m_historyFolder.isEmpty())
        return;
    const HistoryFile file(m_historyFolder, WatchSettings::sourceName(m_watch.source), m_watch.url);
    const SeenHistory seen{m_clock.now(), m_detector.history(), m_keyDetector.history()};
    QString error;
    if (file.write(seen, &error)) {
        m_historySaveFailed = false;
        return;
    }
    if (!std::exchange(m_historySaveFailed, true))
        LogAction(QStringLiteral("poll: the history cannot be saved to %1 (%2)%3")
                      .arg(file.path(), error,
                           QFileInfo::exists(file.path()) ? QStringLiteral("; the file saved before is kept")
                                                          : QString()));
}

std::optional<QStringList> Monitor::newEntriesOf(const Extraction& extraction)
{
    QStringList news;
    if (m_source->comparison() == OfferingsSource::Comparison::ByKey) {
        const QStringList newKeyList = m_keyDetector.decide(extraction.keys);
        if (newKeyList.isEmpty())
            return std::nullopt;
        const QSet<QString> newKeys(newKeyList.cbegin(), newKeyList.cend());
        for (qsizetype i = 0; i < extraction.entries.size(); ++i)
            if (newKeys.contains(extraction.keys[i]))
                news << extraction.entries[i];
        return news;
    }
    const QStringList previousList = Alert::entriesOf(m_detector.history().front());
    if (m_detector.decide(m_tickerList, m_panel.excludeClosed()) == ChangeDetector::Report::NoChange)
        return std::nullopt;
    const QSet<QString> previous(previousList.cbegin(), previousList.cend());
    for (const QString& entry : extraction.entries)
        if (!previous.contains(entry))
            news << entry;
    // The list can be news without a single new entry (one went away, say): then every entry is named.
    return news.isEmpty() ? extraction.entries : news;
}

void Monitor::pollFailed(const QString& detail)
{
    ++m_failuresInRow;
    if (m_watch.failAlert <= 0 || m_failuresInRow != m_watch.failAlert)
        return;
    m_failureAlerted = true;
    const QString subject =
        QStringLiteral("Offerwatch: the watched page failed %1 times in a row").arg(m_failuresInRow);
    sendHealthAlert(subject, QStringLiteral("%1\n%2").arg(m_poll.offeringsUrl().toDisplayString(), detail),
                    QStringLiteral("poll: %1 failures in a row").arg(m_failuresInRow));
}

void Monitor::pollSucceeded()
{
    m_failuresInRow = 0;
    if (!std::exchange(m_failureAlerted, false))
        return;
    sendHealthAlert(QStringLiteral("Offerwatch: the watched page answers again"),
                    m_poll.offeringsUrl().toDisplayString(), QStringLiteral("poll: the watched page answers again"));
}

void Monitor::sendHealthAlert(const QString& subject, const QString& text, const QString& logLine)
{
    // Nothing is said to be sent when no channel would send it.
    if (!m_alerts || !m_alerts->anyChannelOn()) {
        LogAction(logLine + QStringLiteral(", no alert channel is on"));
        return;
    }
    LogAction(logLine + QStringLiteral(", alert sent"));
    Alert alert;
    alert.subject = subject;
    alert.text = text;
    alert.source = m_poll.offeringsUrl();
    m_alerts->dispatchAlert(alert);
}

void Monitor::warnWhenEntriesVanish(const Extraction& extraction)
{
    if (!extraction.entries.isEmpty()) {
        m_hadEntries = true;
        m_emptyPolls = 0;
        return;
    }
    if (++m_emptyPolls == 2 && m_hadEntries) {
        m_hadEntries = false;
        LogAction(QStringLiteral("poll: warning, no entries found twice in a row; the page or its layout may have "
                                 "changed"));
    }
}

void Monitor::ReportNoChange()
{
    m_panel.setPollOutcome(StatusColour::PollOutcome::NoChange);
    if (m_tickerList != Blank) {
        m_panel.setTickerText(m_tickerList);
        LogAction(QStringLiteral("poll: OK, no changes- ") + m_tickerList);
    } else {
        m_panel.setTickerText(QStringLiteral(" none found"));
        LogAction(QStringLiteral("poll: OK, none found"));
    }
}

void Monitor::ReportTickersFound(const Extraction& extraction, const QStringList& newEntries)
{
    m_panel.setPollOutcome(StatusColour::PollOutcome::News);
    m_panel.setTickerText(m_tickerList);
    LogAction(QStringLiteral("poll: ticker(s) found- ") + m_tickerList);
    if (m_source->namesNewEntries())
        LogAction(QStringLiteral("poll: new- ") + newEntries.join(QStringLiteral(", ")));
    if (!m_alerts)
        return;
    if (m_state.AlarmOn)
        m_alerts->SoundAlarm();
    Alert alert;
    alert.subject = Alert::TickersSubject;
    alert.text = m_tickerList;
    alert.entries = extraction.entries;
    alert.newEntries = newEntries;
    alert.source = m_poll.offeringsUrl();
    m_alerts->dispatchAlert(alert);
}
