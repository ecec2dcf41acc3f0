// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/PageClient.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>

class ActionLog;
class MainPanel;
struct RunState;

// START, STOP and the timer that runs a cycle whenever one is due. A cycle logs its
// start, fetches the offerings page, hands a good page on and schedules the next
// cycle; a failed or empty fetch is logged and coloured, and polling goes on.
class PollCycle final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PollCycle)
public:
    // Handles a page and calls done once it has (at once, or later when reading it takes long);
    // the cycle ends only then, so its lines stay in order and no second cycle overtakes it.
    using PageHandler = std::function<void(const QString& page, std::function<void()> done)>;
    // Why no cycle can run now, or an empty text.
    using ReadinessCheck = std::function<QString()>;

    PollCycle(ActionLog& log, MainPanel& panel, RunState& state, PageClient& client, const Clock& clock,
              QObject* parent = nullptr);

    void setOfferingsUrl(const QUrl& url) { m_offeringsUrl = url; }
    const QUrl& offeringsUrl() const { return m_offeringsUrl; }
    // Called with the page text after every successful fetch.
    void setPageHandler(PageHandler handler) { m_pageHandler = std::move(handler); }
    void setReadinessCheck(ReadinessCheck check) { m_readinessCheck = std::move(check); }
    // Named in every request, for sites that want to know who is asking.
    void setContact(const QString& contact) { m_client.setContact(contact); }

    void Command1_Click(); // START, and every due cycle
    void Command2_Click(); // STOP
    void Timer1_Timer();
    // Runs the next cycle now; only while monitoring waits for it.
    bool checkNow();
    // At exit: no further tick, and a fetch under way never reports.
    void shutDown();

    bool stopRequested() const { return m_stopRequested; }
    bool cycleRunning() const { return m_cycleRunning; }
    bool timerActive() const { return m_timer.isActive(); }
    // For display: the wall-clock time the next cycle was due at when it was scheduled.
    const QDateTime& nextPollTime() const { return m_nextPollTime; }
    double pollSeconds() const { return m_pollSeconds; }

Q_SIGNALS:
    // The cycle's work is done (successful or not) and the next one is scheduled.
    void cycleFinished();
    // The fetch failed; detail is the error line that was logged.
    void fetchFailed(const QString& detail);

private:
    void pageArrived(const PageResult& result);
    void failureBlock(int errorNumber, const QString& description);
    void scheduleNextCycle();
    void setWaiting(bool waiting);
    QDateTime nowInWholeSeconds() const;

    ActionLog& m_log;
    MainPanel& m_panel;
    RunState& m_state;
    PageClient& m_client;
    const Clock& m_clock;
    QUrl m_offeringsUrl;
    PageHandler m_pageHandler;
    ReadinessCheck m_readinessCheck;
    QTimer m_timer;
    bool m_stopRequested = true;
    bool m_cycleRunning = false;
    quint64 m_cycleNumber = 0;
    QDateTime m_nextPollTime;
    // When the next cycle is due on the monotonic clock: a wall clock set back or forward
    // neither stops polling nor runs a cycle early.
    qint64 m_dueMonotonicMs = 0;
    double m_pollSeconds = 0;
};
