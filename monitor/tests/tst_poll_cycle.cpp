// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/MonitorFixture.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString offering(const QString& symbol)
{
    return u"<a href=/x?Ipo_Symbol=%1&Ipo_OfferType=1><IMG SRC=/images/go.gif></a>\n"_s.arg(symbol);
}
const QString TwoOpen = offering(u"ZZZZ"_s) + offering(u"ABCD"_s);
const QString TwoOpenList = u" ABCD (go-now)  ZZZZ (go-now)  "_s;
const QString Started = u"poll: started"_s, Waiting = u"poll: waiting for next cycle"_s;
const QString Found = u"poll: ticker(s) found- "_s + TwoOpenList;
} // namespace

class PollCycleTest : public QObject {
    Q_OBJECT
    std::unique_ptr<MonitorFixture> m_f;

    void poll(const QString& page)
    {
        m_f->monitor.Command1_Click();
        m_f->client.finishWithPage(page);
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<MonitorFixture>();
        m_f->start();
    }

    void cycle_logsItsOutcome_data()
    {
        QTest::addColumn<QStringList>("pages"); // "!" fails the fetch
        QTest::addColumn<QStringList>("lastCycle");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("text3");
        QTest::newRow("first page with offerings")
            << QStringList{TwoOpen} << QStringList{Started, Found, Waiting} << u"darkred"_s << TwoOpenList;
        QTest::newRow("same page again") << QStringList{TwoOpen, TwoOpen}
                                         << QStringList{Started, u"poll: OK, no changes- "_s + TwoOpenList, Waiting}
                                         << u"green"_s << TwoOpenList;
        QTest::newRow("page without offerings")
            << QStringList{u"<html>nothing on offer</html>"_s}
            << QStringList{Started, u"poll: OK, none found"_s, Waiting} << u"green"_s << u" none found"_s;
        QTest::newRow("failed fetch") << QStringList{u"!"_s}
                                      << QStringList{Started, u"web: timeout"_s, u"Error # 1 Connection refused"_s,
                                                     Waiting}
                                      << u"orange"_s << QString();
        QTest::newRow("empty page") << QStringList{QString()}
                                    << QStringList{Started, u"web: timeout"_s, u"Error # 0 "_s, Waiting} << u"orange"_s
                                    << QString();
    }
    void cycle_logsItsOutcome()
    {
        QFETCH(QStringList, pages);
        QFETCH(QString, colour);
        for (const QString& page : pages) {
            m_f->markLog();
            m_f->monitor.Command1_Click();
            QCOMPARE(StatusColour::name(m_f->monitor.panel().statusColour()), u"running"_s);
            QVERIFY(!m_f->monitor.panel().startEnabled() && m_f->monitor.panel().stopEnabled());
            if (page == u"!"_s)
                m_f->client.finishWithError(1, u"Connection refused"_s);
            else
                m_f->client.finishWithPage(page);
        }
        QTEST(m_f->messagesSinceMark(), "lastCycle");
        QCOMPARE(StatusColour::name(m_f->monitor.panel().statusColour()), colour);
        QTEST(m_f->monitor.panel().tickerText(), "text3");
        QVERIFY(m_f->monitor.poll().timerActive());
        QVERIFY(!m_f->monitor.panel().startEnabled());
        QCOMPARE(m_f->client.requested().last(), QUrl(u"http://127.0.0.1:9/offerings"_s));
    }

    void failedFetch_keepsListAndHistory()
    {
        poll(TwoOpen);
        const auto historyBefore = m_f->monitor.changeDetector().history();
        m_f->monitor.Command1_Click();
        m_f->client.finishWithError(3, u"Host not found"_s);
        QCOMPARE(m_f->monitor.tickerList(), TwoOpenList);
        QVERIFY(m_f->monitor.changeDetector().history() == historyBefore);
    }

    void foundTickers_soundAlarmOnlyWhenOnAndAlwaysOfferEmail()
    {
        poll(TwoOpen);
        QCOMPARE(m_f->alerts.calls, QStringList{u"email "_s + TwoOpenList});
        m_f->alerts.calls.clear();
        m_f->monitor.Command5_Click();
        poll(offering(u"NEWW"_s));
        QCOMPARE(m_f->alerts.calls, (QStringList{u"alarm"_s, u"email  NEWW (go-now)  "_s}));
        // Each alert names what is new against the list before it, and where it came from.
        const Alert& first = m_f->alerts.alerts.at(0);
        QCOMPARE(first.subject, u"IPO: "_s);
        QCOMPARE(first.entries, (QStringList{u"ABCD (go-now)"_s, u"ZZZZ (go-now)"_s}));
        QCOMPARE(first.newEntries, first.entries);
        QCOMPARE(first.source, QUrl(u"http://127.0.0.1:9/offerings"_s));
        QCOMPARE(m_f->alerts.alerts.at(1).newEntries, QStringList{u"NEWW (go-now)"_s});
        // After a good fetch the browser view reloads the page when it is on.
        QVERIFY(m_f->windows.calls.contains(u"reload http://127.0.0.1:9/offerings"_s));
    }

    // S start, T stop, X exit, P the page arrives. A running cycle always finishes and is
    // never joined by another; only a cycle that is not stopped arms the timer.
    void stopStartAndExit_duringAndAfterAFetch_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<bool>("armed");
        const QString stopped = u"poll: stopped"_s;
        QTest::newRow("stop during fetch") << u"STP"_s << QStringList{Started, stopped, Found} << false;
        QTest::newRow("stop then start during fetch")
            << u"STSP"_s << QStringList{Started, stopped, Found, Waiting} << true;
        QTest::newRow("stop while waiting") << u"SPT"_s << QStringList{Started, Found, Waiting, stopped} << false;
        QTest::newRow("exit during fetch") << u"SXP"_s << QStringList{Started, u"main: Exit Program."_s} << false;
    }
    void stopStartAndExit_duringAndAfterAFetch()
    {
        QFETCH(QString, steps);
        QFETCH(bool, armed);
        for (const QChar step : steps) {
            switch (step.unicode()) {
            case u'S':
                m_f->monitor.Command1_Click();
                break;
            case u'T':
                m_f->monitor.Command2_Click();
                break;
            case u'X':
                m_f->monitor.Form_Unload();
                break;
            default:
                m_f->client.finishWithPage(TwoOpen);
            }
        }
        QTEST(m_f->messagesSinceMark(), "logged");
        QCOMPARE(m_f->monitor.poll().timerActive(), armed);
        QCOMPARE(m_f->client.requested().size(), 1);
        if (armed || steps.contains(u'X'))
            return;
        // Stopped, nothing runs long past the due time; START polls at once.
        QVERIFY(m_f->monitor.panel().startEnabled() && !m_f->monitor.panel().stopEnabled());
        m_f->clock.advanceMs(3600 * 1000);
        QTest::qWait(300);
        QCOMPARE(m_f->client.requested().size(), 1);
        m_f->monitor.Command1_Click();
        QCOMPARE(m_f->client.requested().size(), 2);
    }

    void dueTime_isStrictlyLaterInWholeSeconds()
    {
        m_f->clock.set(QDateTime(QDate(2000, 4, 6), QTime(21, 0, 0, 700)));
        poll(TwoOpen);
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

    void intervalChangeWhileWaiting_appliesFromNextCycle()
    {
        poll(TwoOpen);
        const QDateTime due = m_f->monitor.poll().nextPollTime();
        m_f->monitor.List2_Click(90);
        QCOMPARE(m_f->monitor.poll().nextPollTime(), due);
        m_f->clock.set(due.addSecs(1));
        m_f->monitor.poll().Timer1_Timer();
        m_f->clock.advanceMs(2000);
        m_f->client.finishWithPage(TwoOpen);
        QCOMPARE(m_f->monitor.poll().nextPollTime(), due.addSecs(3 + 5400));
    }

    // Forward by a day: no early cycle. Back by a day: the cycle still comes on time.
    void wallClockSetBackOrForward_pollsAfterTheIntervalItself()
    {
        poll(TwoOpen);
        const QDateTime scheduled = m_f->clock.now();
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
};

QTEST_GUILESS_MAIN(PollCycleTest)
#include "tst_poll_cycle.moc"
