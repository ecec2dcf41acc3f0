// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/HistoryFile.h"
#include "testsupport/MonitorFixture.h"

#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;


class MonitorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void startUp_logsBannerOnlyForNewLog_data();
    void startUp_logsBannerOnlyForNewLog();
    void startUp_leavesMonitoringStoppedWithDefaults();
    void alarmButton_togglesByCaption();
    void browserButton_showsOrHidesViewOnlyOncePageFetched();
    void minimizeAndRestore_rememberBrowserWish();
    void intervalAndExclude_logTheChoice();
    void deleteLog_startsNewFileWithBanner_data();
    void deleteLog_startsNewFileWithBanner();
    void viewLogAndHelp_launchViewerOnPathAsOneArgument();
    void exit_logsLogsOffUnloadsOnce();
    void savedHistory_unusableIsSetAsideAndPollingGoesOn_data();
    void savedHistory_unusableIsSetAsideAndPollingGoesOn();

private:
    void startMonitor() { m_f->start(); }
    QStringList messagesSinceStartUp() const { return m_f->messagesSinceMark(); }

    std::unique_ptr<MonitorFixture> m_f;
};

void MonitorTest::init()
{
    m_f = std::make_unique<MonitorFixture>();
}

void MonitorTest::startUp_logsBannerOnlyForNewLog_data()
{
    QTest::addColumn<QByteArray>("existingLog"); // "-" for no file at all
    QTest::addColumn<bool>("banner");
    QTest::newRow("no log file") << QByteArray("-") << true;
    QTest::newRow("empty log file") << QByteArray() << true;
    QTest::newRow("log with records") << QByteArray("\"4/5/2000 1:00:00 PM main: Exit Program.\"\r\n") << false;
}

void MonitorTest::startUp_logsBannerOnlyForNewLog()
{
    QFETCH(QByteArray, existingLog);
    QFETCH(bool, banner);
    const QString path = m_f->dir.filePath(QStringLiteral("ipolog.txt"));
    if (existingLog != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existingLog);
    }
    startMonitor();

    QStringList expected = startUpMessages();
    if (banner)
        expected.prepend(QStringLiteral("OFFERWATCH LOG CREATED"));
    QCOMPARE(m_f->allMessages(), expected);
    QStringList inFile = fileMessages(path);
    if (!existingLog.isEmpty() && existingLog != "-")
        inFile.removeFirst();
    QCOMPARE(inFile, expected);
}

void MonitorTest::startUp_leavesMonitoringStoppedWithDefaults()
{
    startMonitor();
    const MainPanel& panel = m_f->monitor.panel();
    QVERIFY(panel.startEnabled());
    QVERIFY(!panel.stopEnabled());
    QVERIFY(m_f->monitor.poll().stopRequested());
    QVERIFY(!m_f->monitor.poll().timerActive());
    QCOMPARE(panel.intervalMinutes(), 15);
    QVERIFY(panel.excludeClosed());
    QCOMPARE(panel.alarmCaption(), QStringLiteral("Alarm OFF"));
    QCOMPARE(panel.browserCaption(), QStringLiteral("Browser ON"));
    QCOMPARE(panel.emailCaption(), QStringLiteral("Email OFF"));
    QCOMPARE(m_f->monitor.tickerList(), QStringLiteral(" "));
    QVERIFY(m_f->client.requested().isEmpty());
    // No page has been fetched, so switching the browser on shows nothing yet.
    QVERIFY(m_f->windows.calls.isEmpty());
}

void MonitorTest::alarmButton_togglesByCaption()
{
    startMonitor();
    m_f->monitor.Command5_Click();
    QVERIFY(m_f->monitor.state().AlarmOn);
    QCOMPARE(m_f->monitor.panel().alarmCaption(), QStringLiteral("Alarm ON"));
    m_f->monitor.Command5_Click();
    QVERIFY(!m_f->monitor.state().AlarmOn);
    QCOMPARE(m_f->monitor.panel().alarmCaption(), QStringLiteral("Alarm OFF"));
    QCOMPARE(messagesSinceStartUp(), (QStringList{QStringLiteral("alarm: ON"), QStringLiteral("alarm: OFF")}));
}

void MonitorTest::browserButton_showsOrHidesViewOnlyOncePageFetched()
{
    startMonitor();
    m_f->monitor.Command4_Click();
    m_f->monitor.Command4_Click();
    QVERIFY(m_f->windows.calls.isEmpty());
    QCOMPARE(messagesSinceStartUp(), (QStringList{QStringLiteral("browser: OFF"), QStringLiteral("browser: ON")}));

    m_f->monitor.state().PageFetched = true;
    m_f->monitor.Command4_Click();
    QCOMPARE(m_f->monitor.panel().browserCaption(), QStringLiteral("Browser OFF"));
    QVERIFY(!m_f->monitor.state().BrowserOn);
    m_f->monitor.Command4_Click();
    QCOMPARE(m_f->monitor.panel().browserCaption(), QStringLiteral("Browser ON"));
    QCOMPARE(m_f->windows.calls, (QStringList{QStringLiteral("hide browser"), QStringLiteral("show browser")}));
}

void MonitorTest::minimizeAndRestore_rememberBrowserWish()
{
    startMonitor();
    m_f->monitor.Form_Resize(Monitor::WindowState::Minimized);
    QCOMPARE(messagesSinceStartUp(), (QStringList{QStringLiteral("browser: OFF"), QStringLiteral("window: minimized")}));
    // Minimizing forces a hide even before any page was fetched.
    QCOMPARE(m_f->windows.calls, QStringList{QStringLiteral("hide browser")});
    QVERIFY(!m_f->monitor.state().BrowserOn);

    m_f->windows.calls.clear();
    m_f->monitor.Form_Resize(Monitor::WindowState::Normal);
    QCOMPARE(messagesSinceStartUp().mid(2), (QStringList{QStringLiteral("browser: ON"), QStringLiteral("window: normal")}));
    QVERIFY(m_f->monitor.state().BrowserOn);
    QVERIFY(!m_f->monitor.state().PageFetched);
    QVERIFY(m_f->windows.calls.isEmpty());

    // With the browser switched off by the user, restoring keeps it off.
    m_f->monitor.Command4_Click();
    m_f->monitor.Form_Resize(Monitor::WindowState::Minimized);
    m_f->monitor.Form_Resize(Monitor::WindowState::Maximized);
    QCOMPARE(messagesSinceStartUp().mid(4), (QStringList{QStringLiteral("browser: OFF"), QStringLiteral("browser: OFF"),
                                                          QStringLiteral("window: minimized"), QStringLiteral("window: normal")}));
    QVERIFY(!m_f->monitor.state().BrowserOn);
}

void MonitorTest::intervalAndExclude_logTheChoice()
{
    startMonitor();
    m_f->monitor.List2_Click(90);
    m_f->monitor.List2_Click(7); // not a listed choice: ignored
    m_f->monitor.Check1_Click(false);
    m_f->monitor.Check1_Click(true);
    QCOMPARE(m_f->monitor.panel().intervalMinutes(), 90);
    QCOMPARE(messagesSinceStartUp(), (QStringList{QStringLiteral("interval:90"), QStringLiteral("exclude: OFF"),
                                                  QStringLiteral("exclude: ON")}));
}

void MonitorTest::deleteLog_startsNewFileWithBanner_data()
{
    QTest::addColumn<bool>("removeFirst");
    QTest::newRow("log file present") << false;
    QTest::newRow("log file already gone") << true;
}

void MonitorTest::deleteLog_startsNewFileWithBanner()
{
    QFETCH(bool, removeFirst);
    startMonitor();
    const QString path = m_f->monitor.state().LogFilePath;
    if (removeFirst)
        QVERIFY(QFile::remove(path));
    m_f->monitor.mnuDelLog_Click();
    QCOMPARE(fileMessages(path), (QStringList{QStringLiteral("OFFERWATCH LOG CREATED"),
                                              QStringLiteral("menu: previous ipolog.txt was deleted ")}));
    // The screen keeps every earlier line.
    QCOMPARE(m_f->monitor.actionLog().screen()->rowCount(), m_f->mark + 2);
}

void MonitorTest::viewLogAndHelp_launchViewerOnPathAsOneArgument()
{
    QTemporaryDir bin;
    const QString record = bin.filePath(QStringLiteral("opened.txt"));
    QFile fake(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '%1'\n").arg(record).toUtf8());
    fake.close();
    fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);

    const QString spaced = m_f->dir.filePath(QStringLiteral("my docs"));
    QVERIFY(QDir().mkpath(spaced));
    QVERIFY(QFile(spaced + QStringLiteral("/Offerwatch.txt")).open(QIODevice::WriteOnly));
    startMonitor();
    m_f->monitor.mnuIPOlog_Click();
    m_f->monitor.mnuOfferwatch_Click(spaced);
    qputenv("PATH", oldPath);

    const auto openedPaths = [&record] {
        QFile opened(record);
        if (!opened.open(QIODevice::ReadOnly))
            return QStringList();
        QStringList lines = QString::fromUtf8(opened.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    };
    QTRY_COMPARE(openedPaths().size(), 2);
    QStringList expected{QStringLiteral("1|") + spaced + QStringLiteral("/Offerwatch.txt"),
                         QStringLiteral("1|") + m_f->monitor.state().LogFilePath};
    expected.sort();
    QCOMPARE(openedPaths(), expected);
    QCOMPARE(messagesSinceStartUp(), (QStringList{QStringLiteral("menu: viewed ipolog.txt"),
                                                  QStringLiteral("menu: Offerwatch.txt")}));
}

void MonitorTest::exit_logsLogsOffUnloadsOnce()
{
    startMonitor();
    QSignalSpy exiting(&m_f->monitor, &Monitor::exitRequested);
    m_f->monitor.Form_Unload();
    m_f->monitor.Form_Unload();
    // An answer that comes while the program winds down does not follow the exit line.
    m_f->monitor.LogAction(QStringLiteral("email: a late keyring answer"));
    QCOMPARE(exiting.size(), 1);
    QCOMPARE(messagesSinceStartUp(), QStringList{QStringLiteral("main: Exit Program.")});
    QCOMPARE(m_f->alerts.calls, QStringList{QStringLiteral("logoff")});
    QCOMPARE(m_f->windows.calls, QStringList{QStringLiteral("unload all")});
}

void MonitorTest::savedHistory_unusableIsSetAsideAndPollingGoesOn_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("said"); // how the first line of the first poll begins; %1 the file
    const QByteArray head = R"({"format":"offerwatch-history","version":1,"source":"broker","url":"http://127.0.0.1:9/offerings","saved":"2026-12-07T06:44:24Z",)";
    const QByteArray lists = R"("lists":[" ABCD (go-now)  "," "," "," "," "," "," "," "],"keys":[[],[],[],[],[],[],[],[]])";
    const QString aside = u"poll: the saved history %1 cannot be used (%2); it is kept as %1.damaged"_s;
    QTest::newRow("good") << head + lists + "}" << u"poll: compared with 1 list seen before the restart, saved "_s;
    QTest::newRow("corrupt") << head.left(70) << aside.arg(u"%1"_s, u"it is not a history file of this program"_s);
    QTest::newRow("other version") << QByteArray(head).replace("\"version\":1", "\"version\":2") + lists + "}"
                                   << aside.arg(u"%1"_s, u"it is of another version"_s);
    QTest::newRow("unknown field") << head + lists + R"(,"extra":1})"
                                   << aside.arg(u"%1"_s, u"it has an unknown field \"extra\""_s);
    QTest::newRow("other address") << QByteArray(head).replace(":9/", ":8/") + lists + "}"
                                   << aside.arg(u"%1"_s, u"it belongs to another address"_s);
    QTest::newRow("short list") << head + QByteArray(lists).replace(",\" \"]", "]") + "}"
                                << aside.arg(u"%1"_s, u"it is damaged"_s);
    for (const char* kind : {"directory", "fifo", "symbolic link loop"})
        QTest::newRow(kind) << QByteArray(kind) << aside.arg(u"%1"_s, u"it is not a regular file"_s);
    QTest::newRow("folder is a file") << QByteArray("no folder") << u"poll: the history cannot be saved to %1 ("_s;
}

void MonitorTest::savedHistory_unusableIsSetAsideAndPollingGoesOn()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, said);
    QString folder = m_f->dir.filePath(u"state"_s);
    WatchSettings watch = m_f->monitor.watch();
    watch.remember = true;
    const HistoryFile file(folder, u"broker"_s, watch.url);
    QVERIFY(QDir().mkpath(folder));
    QFile written(file.path());
    if (kind == "directory")
        QVERIFY(QDir().mkpath(file.path() + u"/inside"_s));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(file.path()).constData(), 0600), 0);
    else if (kind == "symbolic link loop")
        QVERIFY(QFile::link(file.path(), file.path()));
    else if (kind == "no folder")
        folder = m_f->dir.filePath(u"ipolog.txt"_s);
    else
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(kind) == kind.size() && written.flush());
    m_f->monitor.setHistoryFolder(folder);
    m_f->monitor.setWatch(watch);
    startMonitor();
    for (int poll = 0; poll < 2; ++poll) {
        m_f->monitor.Command1_Click();
        m_f->client.finishWithPage(u"<a href=/x?Ipo_Symbol=ABCD&Ipo_OfferType=1><IMG SRC=/images/go.gif></a>"_s);
    }
    // One line about the file, however many polls; then the polls as on a first start, or as after one.
    const QStringList lines = messagesSinceStartUp().filter(QRegularExpression(u"^poll: (the|compared|ticker|OK)"_s));
    const bool restored = said.startsWith(u"poll: compared"_s);
    const QString same = u"poll: OK, no changes-  ABCD (go-now)  "_s;
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(said.arg(HistoryFile(folder, u"broker"_s, watch.url).path())), qPrintable(lines[0]));
    QCOMPARE(lines.mid(1), (QStringList{restored ? same : u"poll: ticker(s) found-  ABCD (go-now)  "_s, same}));
    QVERIFY(!said.contains(u".damaged"_s) || QFileInfo(file.path() + u".damaged"_s).isSymLink() ||
            QFileInfo::exists(file.path() + u".damaged"_s));
    SeenHistory saved;
    QString problem;
    if (kind != "no folder") {
        QCOMPARE(file.read(&saved, &problem), HistoryFile::Outcome::Read);
        QCOMPARE(saved.filledLists(), restored ? 3 : 2);
    }
}

QTEST_GUILESS_MAIN(MonitorTest)
#include "tst_monitor.moc"
