// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/HistoryFile.h"
#include "testsupport/MonitorFixture.h"

#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class MonitorTest : public QObject {
    Q_OBJECT
    std::unique_ptr<MonitorFixture> m_f;

private Q_SLOTS:
    void init() { m_f = std::make_unique<MonitorFixture>(); }

    void startUp_logsBannerOnlyForNewLogLeavesMonitoringStoppedAndDeleteStartsAfresh_data()
    {
        QTest::addColumn<QByteArray>("existingLog"); // "-" for no file at all
        QTest::addColumn<bool>("banner");
        QTest::newRow("no log file") << QByteArray("-") << true;
        QTest::newRow("empty log file") << QByteArray() << true;
        QTest::newRow("log with records") << QByteArray("\"4/5/2000 1:00:00 PM main: Exit Program.\"\r\n") << false;
    }
    void startUp_logsBannerOnlyForNewLogLeavesMonitoringStoppedAndDeleteStartsAfresh()
    {
        QFETCH(QByteArray, existingLog);
        QFETCH(bool, banner);
        const QString path = m_f->dir.filePath(u"ipolog.txt"_s);
        QFile file(path);
        QVERIFY(existingLog == "-" || (file.open(QIODevice::WriteOnly) && file.write(existingLog) >= 0));
        file.close();
        m_f->start();
        QStringList expected = startUpMessages();
        if (banner)
            expected.prepend(u"OFFERWATCH LOG CREATED"_s);
        QCOMPARE(m_f->allMessages(), expected);
        QCOMPARE(fileMessages(path).mid(banner ? 0 : 1), expected);

        const MainPanel& panel = m_f->monitor.panel();
        QVERIFY(panel.startEnabled() && !panel.stopEnabled());
        QVERIFY(!m_f->monitor.poll().timerActive());
        QCOMPARE(m_f->monitor.tickerList(), u" "_s);
        QVERIFY(m_f->client.requested().isEmpty());
        QVERIFY(m_f->windows.calls.isEmpty());

        // Deleting the log starts a new file with the banner; the screen keeps every earlier line.
        m_f->monitor.mnuDelLog_Click();
        QCOMPARE(fileMessages(path),
                 (QStringList{u"OFFERWATCH LOG CREATED"_s, u"menu: previous ipolog.txt was deleted "_s}));
        QCOMPARE(m_f->monitor.actionLog().screen()->rowCount(), expected.size() + 2);
    }

    // The browser view is shown or hidden only once a page was fetched, except that minimizing
    // always hides it; restoring brings back what was wished before.
    void controls_logTheChoiceAndSetTheCaptions_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("windowCalls");
        QTest::addColumn<QString>("state"); // alarm caption, browser caption, interval
        const QString on = u"browser: ON"_s, off = u"browser: OFF"_s, hide = u"hide browser"_s;
        const QString minimized = u"window: minimized"_s, normal = u"window: normal"_s;
        QTest::newRow("alarm on and off")
            << QStringList{u"alarm"_s, u"alarm"_s} << QStringList{u"alarm: ON"_s, u"alarm: OFF"_s} << QStringList()
            << u"Alarm OFF, Browser ON, 15"_s;
        QTest::newRow("browser before any fetch") << QStringList{u"browser"_s, u"browser"_s} << QStringList{off, on}
                                                  << QStringList() << u"Alarm OFF, Browser ON, 15"_s;
        QTest::newRow("browser off and on after a fetch")
            << QStringList{u"fetched"_s, u"browser"_s, u"browser"_s} << QStringList{off, on}
            << QStringList{hide, u"show browser"_s} << u"Alarm OFF, Browser ON, 15"_s;
        QTest::newRow("minimize and restore before any fetch")
            << QStringList{u"minimize"_s, u"normal"_s} << QStringList{off, minimized, on, normal} << QStringList{hide}
            << u"Alarm OFF, Browser ON, 15"_s;
        QTest::newRow("switched off, it stays off through restore")
            << QStringList{u"browser"_s, u"minimize"_s, u"maximize"_s} << QStringList{off, off, minimized, normal}
            << QStringList{hide} << u"Alarm OFF, Browser OFF, 15"_s;
        QTest::newRow("interval: only a listed choice")
            << QStringList{u"90"_s, u"1"_s, u"7"_s} << QStringList{u"interval:90"_s} << QStringList()
            << u"Alarm OFF, Browser ON, 90"_s;
    }
    void controls_logTheChoiceAndSetTheCaptions()
    {
        QFETCH(QStringList, steps);
        m_f->start();
        Monitor& monitor = m_f->monitor;
        for (const QString& step : std::as_const(steps)) {
            if (step == u"alarm"_s)
                monitor.Command5_Click();
            else if (step == u"browser"_s)
                monitor.Command4_Click();
            else if (step == u"fetched"_s)
                monitor.state().PageFetched = true;
            else if (step == u"minimize"_s || step == u"normal"_s || step == u"maximize"_s)
                monitor.Form_Resize(step == u"minimize"_s ? Monitor::WindowState::Minimized
                                    : step == u"normal"_s ? Monitor::WindowState::Normal
                                                          : Monitor::WindowState::Maximized);
            else
                monitor.List2_Click(step.toInt());
        }
        QTEST(m_f->messagesSinceMark(), "logged");
        QTEST(m_f->windows.calls, "windowCalls");
        const MainPanel& panel = monitor.panel();
        QTEST(u"%1, %2, %3"_s.arg(panel.alarmCaption(), panel.browserCaption()).arg(panel.intervalMinutes()), "state");
        QCOMPARE(monitor.state().AlarmOn, panel.alarmCaption() == u"Alarm ON"_s);
        QCOMPARE(monitor.state().BrowserOn, panel.browserCaption() == u"Browser ON"_s);
    }

    void exit_logsLogsOffUnloadsOnce()
    {
        m_f->start();
        QSignalSpy exiting(&m_f->monitor, &Monitor::exitRequested);
        m_f->monitor.Form_Unload();
        m_f->monitor.Form_Unload();
        // An answer that comes while the program winds down does not follow the exit line.
        m_f->monitor.LogAction(u"email: a late keyring answer"_s);
        QCOMPARE(exiting.size(), 1);
        QCOMPARE(m_f->messagesSinceMark(), QStringList{u"main: Exit Program."_s});
        QCOMPARE(m_f->alerts.calls, QStringList{u"logoff"_s});
        QCOMPARE(m_f->windows.calls, QStringList{u"unload all"_s});
    }

    void savedHistory_unusableIsSetAsideAndPollingGoesOn_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("said"); // how the first line of the first poll begins; %1 the file
        const QByteArray head =
            R"({"format":"offerwatch-history","version":1,"source":"broker","url":"http://127.0.0.1:9/offerings","saved":"2026-12-07T06:44:24Z",)";
        const QByteArray lists =
            R"("lists":[" ABCD (go-now)  "," "," "," "," "," "," "," "],"keys":[[],[],[],[],[],[],[],[]])";
        const QString aside = u"poll: the saved history %1 cannot be used (%2); it is kept as %1.damaged"_s;
        const auto setAside = [&aside](const QString& why) { return aside.arg(u"%1"_s, why); };
        QTest::newRow("good") << head + lists + "}" << u"poll: compared with 1 list seen before the restart, saved "_s;
        QTest::newRow("corrupt") << head.left(70) << setAside(u"it is not a history file of this program"_s);
        QTest::newRow("other version") << QByteArray(head).replace("\"version\":1", "\"version\":2") + lists + "}"
                                       << setAside(u"it is of another version"_s);
        QTest::newRow("unknown field") << head + lists + R"(,"extra":1})"
                                       << setAside(u"it has an unknown field \"extra\""_s);
        QTest::newRow("other address") << QByteArray(head).replace(":9/", ":8/") + lists + "}"
                                       << setAside(u"it belongs to another address"_s);
        QTest::newRow("short list") << head + QByteArray(lists).replace(",\" \"]", "]") + "}"
                                    << setAside(u"it is damaged"_s);
        QTest::newRow("fifo") << QByteArray("fifo") << setAside(u"it is not a regular file"_s);
        QTest::newRow("folder is a file") << QByteArray("no folder") << u"poll: the history cannot be saved to %1 ("_s;
    }
    void savedHistory_unusableIsSetAsideAndPollingGoesOn()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, said);
        QString folder = m_f->dir.filePath(u"state"_s);
        WatchSettings watch = m_f->monitor.watch();
        watch.remember = true;
        const HistoryFile file(folder, u"broker"_s, watch.url);
        QVERIFY(QDir().mkpath(folder));
        QFile written(file.path());
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(file.path()).constData(), 0600), 0);
        else if (kind == "no folder")
            folder = m_f->dir.filePath(u"ipolog.txt"_s);
        else
            QVERIFY(written.open(QIODevice::WriteOnly) && written.write(kind) == kind.size() && written.flush());
        m_f->monitor.setHistoryFolder(folder);
        m_f->monitor.setWatch(watch);
        m_f->start();
        for (int poll = 0; poll < 2; ++poll) {
            m_f->monitor.Command1_Click();
            m_f->client.finishWithPage(u"<a href=/x?Ipo_Symbol=ABCD&Ipo_OfferType=1><IMG SRC=/images/go.gif></a>"_s);
        }
        // One line about the file, however many polls; then the polls as on a first start, or as after one.
        const QStringList lines =
            m_f->messagesSinceMark().filter(QRegularExpression(u"^poll: (the|compared|ticker|OK)"_s));
        const bool restored = said.startsWith(u"poll: compared"_s);
        const QString same = u"poll: OK, no changes-  ABCD (go-now)  "_s;
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(said.arg(HistoryFile(folder, u"broker"_s, watch.url).path())),
                 qPrintable(lines[0]));
        QCOMPARE(lines.mid(1), (QStringList{restored ? same : u"poll: ticker(s) found-  ABCD (go-now)  "_s, same}));
        QVERIFY(!said.contains(u".damaged"_s) || QFileInfo::exists(file.path() + u".damaged"_s));
        SeenHistory saved;
        QString problem;
        if (kind != "no folder") {
            QCOMPARE(file.read(&saved, &problem), HistoryFile::Outcome::Read);
            QCOMPARE(saved.filledLists(), restored ? 3 : 2);
        }
    }
};

QTEST_GUILESS_MAIN(MonitorTest)
#include "tst_monitor.moc"
