#include "monitor/Monitor.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
#include "testsupport/LogLines.h"
#include "testsupport/MonitorFakes.h"

#include <QTemporaryDir>
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
    void dueTime_isStrictlyLaterInWholeSeconds();
    void intervalChangeWhileWaiting_appliesFromNextCycle();

private:
    QStringList cycleMessages() const { return screenMessages(*m_monitor->actionLog().screen()).mid(m_mark); }
    void mark() { m_mark = m_monitor->actionLog().screen()->rowCount(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
    std::unique_ptr<FakePageClient> m_client;
    std::unique_ptr<Monitor> m_monitor;
    RecordingWindowHost m_windows;
    RecordingAlertHooks m_alerts;
    qsizetype m_mark = 0;
};

void PollCycleTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_client = std::make_unique<FakePageClient>();
    m_monitor = std::make_unique<Monitor>(m_clock, *m_client);
    m_monitor->setWindowHost(&m_windows);
    m_monitor->setAlertHooks(&m_alerts);
    m_monitor->setOfferingsUrl(QUrl(QStringLiteral("http://127.0.0.1:9/offerings")));
    m_monitor->Form_Load(m_dir->path());
    m_monitor->Form_Resize(Monitor::WindowState::Normal);
    m_windows.calls.clear();
    m_alerts.calls.clear();
    mark();
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
        m_monitor->Command1_Click();
        QCOMPARE(StatusColour::name(m_monitor->panel().statusColour()), QStringLiteral("running"));
        QVERIFY(!m_monitor->panel().startEnabled());
        QVERIFY(m_monitor->panel().stopEnabled());
        if (page == QLatin1String("!"))
            m_client->finishWithError(1, QStringLiteral("Connection refused"));
        else
            m_client->finishWithPage(page);
    }
    QCOMPARE(cycleMessages(), lastCycle);
    QCOMPARE(StatusColour::name(m_monitor->panel().statusColour()), colour);
    QCOMPARE(m_monitor->panel().tickerText(), text3);
    QVERIFY(m_monitor->poll().timerActive());
    QVERIFY(!m_monitor->panel().startEnabled());
    QCOMPARE(m_client->requested().last(), QUrl(QStringLiteral("http://127.0.0.1:9/offerings")));
}

void PollCycleTest::failedFetch_keepsListAndHistory()
{
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    const auto historyBefore = m_monitor->changeDetector().history();
    m_monitor->Command1_Click();
    m_client->finishWithError(3, QStringLiteral("Host not found"));
    QCOMPARE(m_monitor->tickerList(), TwoOpenList);
    QVERIFY(m_monitor->changeDetector().history() == historyBefore);
    // The next good fetch of the same page is no news.
    mark();
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages().at(1), QStringLiteral("poll: OK, no changes- ") + TwoOpenList);
}

void PollCycleTest::foundTickers_soundAlarmOnlyWhenOnAndAlwaysOfferEmail()
{
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    QCOMPARE(m_alerts.calls, QStringList{QStringLiteral("email ") + TwoOpenList});

    m_alerts.calls.clear();
    m_monitor->Command5_Click();
    m_monitor->Command1_Click();
    m_client->finishWithPage(offering(QStringLiteral("NEWW"), QStringLiteral("go")));
    QCOMPARE(m_alerts.calls, (QStringList{QStringLiteral("alarm"), QStringLiteral("email  NEWW (go-now)  ")}));
    // After a good fetch the browser view reloads the page when it is on.
    QVERIFY(m_windows.calls.contains(QStringLiteral("reload http://127.0.0.1:9/offerings")));
}

void PollCycleTest::stopDuringFetch_finishesCycleWithoutRearming()
{
    m_monitor->Command1_Click();
    m_monitor->Command2_Click();
    QVERIFY(m_monitor->panel().startEnabled());
    m_client->finishWithPage(TwoOpen);
    QCOMPARE(cycleMessages(), (QStringList{QStringLiteral("poll: started"), QStringLiteral("poll: stopped"),
                                           QStringLiteral("poll: ticker(s) found- ") + TwoOpenList}));
    QVERIFY(!m_monitor->poll().timerActive());
    QVERIFY(m_monitor->panel().startEnabled());
    QVERIFY(!m_monitor->panel().stopEnabled());
}

void PollCycleTest::stopWhileWaiting_stopsTimerAndStartRunsAtOnce()
{
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    QVERIFY(m_monitor->poll().timerActive());
    mark();
    m_monitor->Command2_Click();
    QVERIFY(!m_monitor->poll().timerActive());
    QCOMPARE(cycleMessages(), QStringList{QStringLiteral("poll: stopped")});
    // Long past the due time nothing runs while stopped.
    m_clock.advanceMs(3600 * 1000);
    QTest::qWait(300);
    QCOMPARE(m_client->requested().size(), 1);
    m_monitor->Command1_Click();
    QCOMPARE(m_client->requested().size(), 2);
}

void PollCycleTest::dueTime_isStrictlyLaterInWholeSeconds()
{
    m_clock.set(QDateTime(QDate(2000, 4, 6), QTime(21, 0, 0, 700)));
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    const QDateTime due(QDate(2000, 4, 6), QTime(21, 15, 0));
    QCOMPARE(m_monitor->poll().nextPollTime(), due);
    QCOMPARE(m_monitor->poll().pollSeconds(), 900.0);

    m_clock.set(due.addMSecs(999)); // still the due second itself
    m_monitor->poll().Timer1_Timer();
    QCOMPARE(m_client->requested().size(), 1);
    m_clock.set(due.addSecs(1));
    m_monitor->poll().Timer1_Timer();
    QCOMPARE(m_client->requested().size(), 2);
    QVERIFY(!m_monitor->poll().timerActive()); // a running cycle is never joined by another
}

void PollCycleTest::intervalChangeWhileWaiting_appliesFromNextCycle()
{
    m_monitor->Command1_Click();
    m_client->finishWithPage(TwoOpen);
    const QDateTime due = m_monitor->poll().nextPollTime();
    m_monitor->List2_Click(90);
    QCOMPARE(m_monitor->poll().nextPollTime(), due);

    m_clock.set(due.addSecs(1));
    m_monitor->poll().Timer1_Timer();
    m_clock.advanceMs(2000);
    m_client->finishWithPage(TwoOpen);
    QCOMPARE(m_monitor->poll().pollSeconds(), 5400.0);
    QCOMPARE(m_monitor->poll().nextPollTime(), due.addSecs(3 + 5400));
}

QTEST_GUILESS_MAIN(PollCycleTest)
#include "tst_poll_cycle.moc"
