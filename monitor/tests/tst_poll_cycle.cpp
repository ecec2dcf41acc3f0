// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/MonitorFixture.h"

#include <QtTest>

namespace {
QString offering(const QString& symbol, const QString& image)
{
    return QStringLiteral("<a href=/x?Ipo_Symbol=%1&Ipo_OfferType=1><IMG SRC=/images/%2.gif></a>\n").arg(symbol, image);
}
const QString TwoOpen = offering(QStringLiteral("ZZZZ"), QStringLiteral("go")) + offering(QStringLiteral("ABCD"), QStringLiteral("go"));
const QString TwoOpenList = QStringLiteral(" ABCD (go-now)  ZZZZ (go-now)  ");
} // namespace

class PollCycleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cycle_logsItsOutcome_data();
    void cycle_logsItsOutcome();
    void failedFetch_keepsListAndHistory();
    void foundTickers_soundAlarmOnlyWhenOnAndAlwaysOfferEmail();
    void stopDuringFetch_finishesCycleWithoutRearming();
    void stopWhileWaiting_stopsTimerAndStartRunsAtOnce();
    void stopThenStartDuringFetch_keepsTheRunningCycle();
    void exitDuringFetch_logsNothingAfterExitLine();
    void dueTime_isStrictlyLaterInWholeSeconds();
    void intervalChangeWhileWaiting_appliesFromNextCycle();
    void wallClockSetBackOrForward_pollsAfterTheIntervalItself();

private:
    QStringList cycleMessages() const { return m_f->messagesSinceMark(); }
    void mark() { m_f->markLog(); }

    std::unique_ptr<MonitorFixture> m_f;
};

void PollCycleTest::init()
{
    m_f = std::make_unique<MonitorFixture>();
    m_f->start();
}

void PollCycleTest::cycle_logsItsOutcome_data()
{
    QTest::addColumn<QStringList>("pages"); // "!" fails the fetch
    QTest::addColumn<QStringList>("lastCycle");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("text3");

    QTest::newRow("first page with offerings")
        << QStringList{TwoOpen}
        << QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: ticker(s) found- ") + TwoOpenList,
                       QStringLiteral("poll: waiting for next cycle")}
        << QStringLiteral("darkred") << TwoOpenList;
    QTest::newRow("same page again")
        << QStringList{TwoOpen, TwoOpen}
        << QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: OK, no changes- ") + TwoOpenList,
                       QStringLiteral("poll: waiting for next cycle")}
        << QStringLiteral("green") << TwoOpenList;
    QTest::newRow("page without offerings")
        << QStringList{QStringLiteral("<html>nothing on offer</html>")}
        << QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: OK, none found"),
                       QStringLiteral("poll: waiting for next cycle")}
        << QStringLiteral("green") << QStringLiteral(" none found");
    QTest::newRow("failed fetch")
        << QStringList{QStringLiteral("!")}
        << QStringList{QStringLiteral("poll: started"), QStringLiteral("web: timeout"),
                       QStringLiteral("Error # 1 Connection refused"), QStringLiteral("poll: waiting for next cycle")}
        << QStringLiteral("orange") << QString();
    QTest::newRow("empty page")
        << QStringList{QString()}
        << QStringList{QStringLiteral("poll: started"), QStringLiteral("web: timeout"), QStringLiteral("Error # 0 "),
                       QStringLiteral("poll: waiting for next cycle")}
        << QStringLiteral("orange") << QString();
}

void PollCycleTest::cycle_logsItsOutcome()
{
    QFETCH(QStringList, pages);
    QFETCH(QStringList, lastCycle);
    QFETCH(QString, colour);
    QFETCH(QString, text3);

    for (const QString& page : pages) {
        mark();
        m_f->monitor.Command1_Click();
        QCOMPARE(StatusColour::name(m_f->monitor.panel().statusColour()), QStringLiteral("running"));
        QVERIFY(!m_f->monitor.panel().startEnabled());
        QVERIFY(m_f->monitor.panel().stopEnabled());
        if (page == QLatin1String("!"))
            m_f->client.finishWithError(1, QStringLiteral("Connection refused"));
        else
            m_f->client.finishWithPage(page);
    }
    QCOMPARE(cycleMessages(), lastCycle);
    QCOMPARE(StatusColour::name(m_f->monitor.panel().statusColour()), colour);
    QCOMPARE(m_f->monitor.panel().tickerText(), text3);
    QVERIFY(m_f->monitor.poll().timerActive());
    QVERIFY(!m_f->monitor.panel().startEnabled());
    QCOMPARE(m_f->client.requested().last(), QUrl(QStringLiteral("http://127.0.0.1:9/offerings")));
}

void PollCycleTest::failedFetch_keepsListAndHistory()
{
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    const auto historyBefore = m_f->monitor.changeDetector().history();
    m_f->monitor.Command1_Click();
    m_f->client.finishWithError(3, QStringLiteral("Host not found"));
    QCOMPARE(m_f->monitor.tickerList(), TwoOpenList);
    QVERIFY(m_f->monitor.changeDetector().history() == historyBefore);
    // The next good fetch of the same page is no news.
    mark();
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages().at(1), QStringLiteral("poll: OK, no changes- ") + TwoOpenList);
}

void PollCycleTest::foundTickers_soundAlarmOnlyWhenOnAndAlwaysOfferEmail()
{
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(m_f->alerts.calls, QStringList{QStringLiteral("email ") + TwoOpenList});

    m_f->alerts.calls.clear();
    m_f->monitor.Command5_Click();
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(offering(QStringLiteral("NEWW"), QStringLiteral("go")));
    QCOMPARE(m_f->alerts.calls, (QStringList{QStringLiteral("alarm"), QStringLiteral("email  NEWW (go-now)  ")}));
    // Each alert names what is new against the list before it, and where it came from.
    const Alert& first = m_f->alerts.alerts.at(0);
    QCOMPARE(first.subject, QStringLiteral("IPO: "));
    QCOMPARE(first.entries, (QStringList{QStringLiteral("ABCD (go-now)"), QStringLiteral("ZZZZ (go-now)")}));
    QCOMPARE(first.newEntries, first.entries);
    QCOMPARE(first.source, QUrl(QStringLiteral("http://127.0.0.1:9/offerings")));
    QCOMPARE(m_f->alerts.alerts.at(1).newEntries, QStringList{QStringLiteral("NEWW (go-now)")});
    // After a good fetch the browser view reloads the page when it is on.
    QVERIFY(m_f->windows.calls.contains(QStringLiteral("reload http://127.0.0.1:9/offerings")));
}

void PollCycleTest::stopDuringFetch_finishesCycleWithoutRearming()
{
    m_f->monitor.Command1_Click();
    m_f->monitor.Command2_Click();
    QVERIFY(m_f->monitor.panel().startEnabled());
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages(), (QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: stopped"),
                                           QStringLiteral("poll: ticker(s) found- ") + TwoOpenList}));
    QVERIFY(!m_f->monitor.poll().timerActive());
    QVERIFY(m_f->monitor.panel().startEnabled());
    QVERIFY(!m_f->monitor.panel().stopEnabled());
}

void PollCycleTest::stopWhileWaiting_stopsTimerAndStartRunsAtOnce()
{
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    QVERIFY(m_f->monitor.poll().timerActive());
    mark();
    m_f->monitor.Command2_Click();
    QVERIFY(!m_f->monitor.poll().timerActive());
    QCOMPARE(cycleMessages(), QStringList{QStringLiteral("poll: stopped")});
    // Long past the due time nothing runs while stopped.
    m_f->clock.advanceMs(3600 * 1000);
    QTest::qWait(300);
    QCOMPARE(m_f->client.requested().size(), 1);
    m_f->monitor.Command1_Click();
    QCOMPARE(m_f->client.requested().size(), 2);
}

void PollCycleTest::stopThenStartDuringFetch_keepsTheRunningCycle()
{
    m_f->monitor.Command1_Click();
    m_f->monitor.Command2_Click();
    m_f->monitor.Command1_Click();
    QCOMPARE(m_f->client.requested().size(), 1);
    QVERIFY(!m_f->monitor.panel().startEnabled());
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages(), (QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: stopped"),
                                           QStringLiteral("poll: ticker(s) found- ") + TwoOpenList,
                                           QStringLiteral("poll: waiting for next cycle")}));
    QVERIFY(m_f->monitor.poll().timerActive());
}

void PollCycleTest::exitDuringFetch_logsNothingAfterExitLine()
{
    m_f->monitor.Command1_Click();
    m_f->monitor.Form_Unload();
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages(), (QStringList{QStringLiteral("poll: started"), QStringLiteral("main: Exit Program.")}));
    QVERIFY(!m_f->monitor.poll().timerActive());
}

void PollCycleTest::dueTime_isStrictlyLaterInWholeSeconds()
{
    m_f->clock.set(QDateTime(QDate(2000, 4, 6), QTime(21, 0, 0, 700)));
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    const QDateTime due(QDate(2000, 4, 6), QTime(21, 15, 0));
    QCOMPARE(m_f->monitor.poll().nextPollTime(), due);
    QCOMPARE(m_f->monitor.poll().pollSeconds(), 900.0);

    m_f->clock.set(due.addMSecs(999)); // still the due second itself
    m_f->monitor.poll().Timer1_Timer();
    QCOMPARE(m_f->client.requested().size(), 1);
    m_f->clock.set(due.addSecs(1));
    m_f->monitor.poll().Timer1_Timer();
    QCOMPARE(m_f->client.requested().size(), 2);
    QVERIFY(!m_f->monitor.poll().timerActive()); // a running cycle is never joined by another
}

void PollCycleTest::intervalChangeWhileWaiting_appliesFromNextCycle()
{
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    const QDateTime due = m_f->monitor.poll().nextPollTime();
    m_f->monitor.List2_Click(90);
    QCOMPARE(m_f->monitor.poll().nextPollTime(), due);

    m_f->clock.set(due.addSecs(1));
    m_f->monitor.poll().Timer1_Timer();
    m_f->clock.advanceMs(2000);
    m_f->client.finishWithPage(TwoOpen);
    QCOMPARE(m_f->monitor.poll().pollSeconds(), 5400.0);
    QCOMPARE(m_f->monitor.poll().nextPollTime(), due.addSecs(3 + 5400));
}

void PollCycleTest::wallClockSetBackOrForward_pollsAfterTheIntervalItself()
{
    m_f->monitor.Command1_Click();
    m_f->client.finishWithPage(TwoOpen);
    const QDateTime scheduled = m_f->clock.now();
    // Forward by a day: no early cycle. Back by a day: the cycle still comes on time.
    m_f->clock.setWallClock(scheduled.addDays(1));
    m_f->monitor.poll().Timer1_Timer();
    QCOMPARE(m_f->client.requested().size(), 1);
    m_f->clock.setWallClock(scheduled.addDays(-1));
    m_f->clock.advanceMs(900 * 1000);
    m_f->monitor.poll().Timer1_Timer();
    QCOMPARE(m_f->client.requested().size(), 1);
    m_f->clock.advanceMs(1000);
    m_f->monitor.poll().Timer1_Timer();
    QCOMPARE(m_f->client.requested().size(), 2);
}

QTEST_GUILESS_MAIN(PollCycleTest)
#include "tst_poll_cycle.moc"
