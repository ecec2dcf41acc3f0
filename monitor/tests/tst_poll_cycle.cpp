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

    // S start, T stop, X exit; then what the fetch brings: P two offerings, N a page without
    // any, E an empty page, F a failure. A running cycle always finishes and is never joined by
    // another; only a cycle that is not stopped arms the timer. "-" leaves a column unchecked.
    void cycle_logsItsOutcome_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("lastCycle");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("text3");
        QTest::addColumn<bool>("armed");
        const QString stopped = u"poll: stopped"_s, timeout = u"web: timeout"_s;
        const auto row = [](const char* name, const char* steps, const QStringList& cycle, const QString& colour,
                            const QString& text3, bool armed) {
            QTest::newRow(name) << QString::fromLatin1(steps) << cycle << colour << text3 << armed;
        };
        row("first page with offerings", "SP", {Started, Found, Waiting}, u"darkred"_s, TwoOpenList, true);
        row("same page again", "SPSP", {Started, u"poll: OK, no changes- "_s + TwoOpenList, Waiting}, u"green"_s,
            TwoOpenList, true);
        row("page without offerings", "SN", {Started, u"poll: OK, none found"_s, Waiting}, u"green"_s, u" none found"_s,
            true);
        row("failed fetch", "SF", {Started, timeout, u"Error # 1 Connection refused"_s, Waiting}, u"orange"_s, {},
            true);
        row("empty page", "SE", {Started, timeout, u"Error # 0 "_s, Waiting}, u"orange"_s, {}, true);
        // A failure between two equal pages leaves the list and the history as they were.
        row("failure between equal pages", "SPSFSP", {Started, u"poll: OK, no changes- "_s + TwoOpenList, Waiting},
            u"green"_s, TwoOpenList, true);
        row("stop during fetch", "STP", {Started, stopped, Found}, u"-"_s, u"-"_s, false);
        row("stop then start during fetch", "STSP", {Started, stopped, Found, Waiting}, u"-"_s, u"-"_s, true);
        row("stop while waiting", "SPT", {Started, Found, Waiting, stopped}, u"-"_s, u"-"_s, false);
        row("exit during fetch", "SXP", {Started, u"main: Exit Program."_s}, u"-"_s, u"-"_s, false);
    }
    void cycle_logsItsOutcome()
    {
        QFETCH(QString, steps);
        QFETCH(QString, colour);
        QFETCH(QString, text3);
        QFETCH(bool, armed);
        const MainPanel& panel = m_f->monitor.panel();
        for (const QChar step : steps) {
            if (step == u'S') {
                if (!m_f->monitor.poll().cycleRunning())
                    m_f->markLog();
                m_f->monitor.Command1_Click();
                QCOMPARE(StatusColour::name(panel.statusColour()), u"running"_s);
                QVERIFY(!panel.startEnabled() && panel.stopEnabled());
            } else if (step == u'T') {
                m_f->monitor.Command2_Click();
            } else if (step == u'X') {
                m_f->monitor.Form_Unload();
            } else if (step == u'F') {
                m_f->client.finishWithError(1, u"Connection refused"_s);
            } else {
                m_f->client.finishWithPage(step == u'P'   ? TwoOpen
                                           : step == u'N' ? u"<html>nothing on offer</html>"_s
                                                          : QString());
            }
        }
        QTEST(m_f->messagesSinceMark(), "lastCycle");
        QVERIFY(colour == u"-"_s || StatusColour::name(panel.statusColour()) == colour);
        QVERIFY(text3 == u"-"_s || panel.tickerText() == text3);
        QCOMPARE(m_f->monitor.poll().timerActive(), armed);
        // One fetch for each answer, however often START was pressed.
        const qsizetype answers =
            std::count_if(steps.begin(), steps.end(), [](QChar c) { return u"PNEF"_s.contains(c); });
        QCOMPARE(m_f->client.requested(), QList<QUrl>(answers, QUrl(u"http://127.0.0.1:9/offerings"_s)));
        if (armed || steps.contains(u'X'))
            return;
        // Stopped, nothing runs long past the due time; START polls at once.
        QVERIFY(panel.startEnabled() && !panel.stopEnabled());
        m_f->clock.advanceMs(3600 * 1000);
        QTest::qWait(300);
        QCOMPARE(m_f->client.requested().size(), 1);
        m_f->monitor.Command1_Click();
        QCOMPARE(m_f->client.requested().size(), 2);
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

    // The next poll is due the interval after the cycle ended, at the first whole second after
    // it; an interval chosen while waiting counts from the next cycle on.
    void dueTime_isStrictlyLaterInWholeSecondsAndTakesANewIntervalNextCycle()
    {
        m_f->clock.set(QDateTime(QDate(2000, 4, 6), QTime(21, 0, 0, 700)));
        poll(TwoOpen);
        const QDateTime due(QDate(2000, 4, 6), QTime(21, 15, 0));
        QCOMPARE(m_f->monitor.poll().nextPollTime(), due);
        QCOMPARE(m_f->monitor.poll().pollSeconds(), 900.0);
        m_f->monitor.List2_Click(90);
        QCOMPARE(m_f->monitor.poll().nextPollTime(), due);
        m_f->clock.set(due.addMSecs(999)); // still the due second itself
        m_f->monitor.poll().Timer1_Timer();
        QCOMPARE(m_f->client.requested().size(), 1);
        m_f->clock.set(due.addSecs(1));
        m_f->monitor.poll().Timer1_Timer();
        QCOMPARE(m_f->client.requested().size(), 2);
        QVERIFY(!m_f->monitor.poll().timerActive()); // a running cycle is never joined by another
        m_f->clock.advanceMs(2000);
        m_f->client.finishWithPage(TwoOpen);
        QCOMPARE(m_f->monitor.poll().nextPollTime(), due.addSecs(3 + 5400));
    }

};

QTEST_GUILESS_MAIN(PollCycleTest)
#include "tst_poll_cycle.moc"
