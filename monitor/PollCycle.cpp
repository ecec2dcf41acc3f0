// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PollCycle.h"

#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"

namespace {
constexpr int TickMilliseconds = 250;
constexpr int SecondsPerIntervalUnit = 60;
} // namespace

PollCycle::PollCycle(ActionLog& log, MainPanel& panel, RunState& state, PageClient& client, const Clock& clock,
                     QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_panel(panel)
    , m_state(state)
    , m_client(client)
    , m_clock(clock)
{
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PollCycle::Timer1_Timer);
    connect(&m_client, &PageClient::finished, this, &PollCycle::pageArrived);
}

void PollCycle::Command1_Click()
{
    if (m_cycleRunning) {
        // STOP then START while the page is still coming: the running cycle goes on
        // and schedules the next one, rather than being dropped for a second fetch.
        m_stopRequested = false;
        m_panel.setStartEnabled(false);
        m_panel.setStopEnabled(true);
        m_panel.setDefaultButton(MainPanel::DefaultButton::Stop);
        return;
    }
    if (const QString problem = m_readinessCheck ? m_readinessCheck() : QString(); !problem.isEmpty()) {
        // Nothing is fetched; a timed cycle that finds the watch unusable stops monitoring.
        m_log.LogAction(QStringLiteral("poll: ") + problem);
        if (!m_stopRequested)
            Command2_Click();
        return;
    }
    setWaiting(false);
    m_stopRequested = false;
    m_timer.stop();
    m_log.LogAction(QStringLiteral("poll: started"));
    m_panel.setPollOutcome(StatusColour::PollOutcome::Running);
    m_panel.setStartEnabled(false);
    m_panel.setStopEnabled(true);
    m_panel.setDefaultButton(MainPanel::DefaultButton::Stop);
    // The fetch runs in the background; STOP, the toggles and the menus are
    // handled while it is under way and only change what is read afterwards.
    m_cycleRunning = true;
    ++m_cycleNumber;
    m_client.fetch(m_offeringsUrl);
}

void PollCycle::pageArrived(const PageResult& result)
{
    if (!m_cycleRunning)
        return;
    if (!result.ok) {
        failureBlock(result.errorNumber, result.errorDescription);
    } else {
        m_panel.setDiagnostics(result.body, QString::number(result.body.size()), QString::number(result.responseCode),
                               result.responseInfo);
        if (result.body.isEmpty()) {
            failureBlock(0, QString());
        } else {
            m_state.PageFetched = true;
            if (m_pageHandler) {
                m_pageHandler(result.body, [this, cycle = m_cycleNumber] {
                    // A cycle ended by shut-down or overtaken by another is over already.
                    if (m_cycleRunning && cycle == m_cycleNumber)
                        scheduleNextCycle();
                });
                return;
            }
        }
    }
    scheduleNextCycle();
}

void PollCycle::failureBlock(int errorNumber, const QString& description)
{
    m_panel.setPollOutcome(StatusColour::PollOutcome::Failed);
    m_log.LogAction(QStringLiteral("web: timeout"));
    const QString detail = errorDetailLine(QStringLiteral("Error #"), errorNumber, description);
    m_log.LogAction(detail);
    Q_EMIT fetchFailed(detail);
}

void PollCycle::scheduleNextCycle()
{
    m_cycleRunning = false;
    m_pollSeconds = static_cast<double>(m_panel.intervalMinutes()) * SecondsPerIntervalUnit;
    const QDateTime now = m_clock.now();
    m_nextPollTime = nowInWholeSeconds().addSecs(static_cast<qint64>(m_pollSeconds));
    // Due with the first tick after the second that follows the due time, as read in
    // whole seconds at scheduling.
    m_dueMonotonicMs = m_clock.monotonicMs() + static_cast<qint64>(m_pollSeconds) * 1000 + 1000 -
                       now.time().msec();
    if (!m_stopRequested) {
        m_log.LogAction(QStringLiteral("poll: waiting for next cycle"));
        m_timer.start(TickMilliseconds);
        setWaiting(true);
    }
    Q_EMIT cycleFinished();
}

void PollCycle::setWaiting(bool waiting)
{
    m_panel.setCheckNowEnabled(waiting);
}

bool PollCycle::checkNow()
{
    if (m_stopRequested || m_cycleRunning || !m_timer.isActive())
        return false;
    m_log.LogAction(QStringLiteral("menu: check now"));
    Command1_Click();
    return true;
}

void PollCycle::Command2_Click()
{
    m_panel.setStartEnabled(true);
    m_panel.setDefaultButton(MainPanel::DefaultButton::Start);
    m_panel.setStopEnabled(false);
    m_stopRequested = true;
    m_timer.stop();
    setWaiting(false);
    m_log.LogAction(QStringLiteral("poll: stopped"));
}

void PollCycle::shutDown()
{
    m_timer.stop();
    m_cycleRunning = false;
    m_client.abort();
}

void PollCycle::Timer1_Timer()
{
    if (m_clock.monotonicMs() >= m_dueMonotonicMs)
        Command1_Click();
}

QDateTime PollCycle::nowInWholeSeconds() const
{
    QDateTime now = m_clock.now();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}
