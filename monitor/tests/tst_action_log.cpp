// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ActionLog.h"
#include "testsupport/FakeClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class ActionLogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void record_hasQuotedUsDateTimeMessageAndCrLf_data();
    void record_hasQuotedUsDateTimeMessageAndCrLf();
    void lines_appendToFileAndStackNewestFirstOnScreen();
    void unwritableLog_keepsScreenWorking_data();
    void unwritableLog_keepsScreenWorking();
    void screen_keepsNewestLinesCutToLength();
    void fullDisk_losesTheWholeRecordNeverHalf();
};

void ActionLogTest::record_hasQuotedUsDateTimeMessageAndCrLf_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("screen");

    QTest::newRow("evening before ten: two blanks on screen")
        << QDateTime(QDate(2000, 4, 6), QTime(21, 5, 3)) << QStringLiteral("poll: started")
        << QByteArray("\"4/6/2000 9:05:03 PM poll: started\"\r\n") << QStringLiteral("9:05:03  poll: started");
    QTest::newRow("ten o'clock and later: one blank")
        << QDateTime(QDate(2000, 12, 31), QTime(22, 15, 9)) << QStringLiteral("poll: stopped")
        << QByteArray("\"12/31/2000 10:15:09 PM poll: stopped\"\r\n") << QStringLiteral("10:15:09 poll: stopped");
    QTest::newRow("just after midnight is 12 AM")
        << QDateTime(QDate(2001, 1, 2), QTime(0, 0, 7)) << QStringLiteral("alarm: ON")
        << QByteArray("\"1/2/2001 12:00:07 AM alarm: ON\"\r\n") << QStringLiteral("12:00:07 alarm: ON");
    QTest::newRow("quotes inside the message are not escaped")
        << QDateTime(QDate(2000, 4, 6), QTime(9, 0, 0)) << QStringLiteral("a \"quoted\" word")
        << QByteArray("\"4/6/2000 9:00:00 AM a \"quoted\" word\"\r\n") << QStringLiteral("9:00:00  a \"quoted\" word");
    QTest::newRow("a quoted server reply keeps its record on one line")
        << QDateTime(QDate(2000, 4, 6), QTime(9, 0, 0))
        << QStringLiteral("email: smtp error, Error from SMTP Server : 550-No such user\r\n550 mailbox unavailable\r\n")
        << QByteArray("\"4/6/2000 9:00:00 AM email: smtp error, Error from SMTP Server : 550-No such user 550 mailbox "
                      "unavailable\"\r\n")
        << QStringLiteral(
               "9:00:00  email: smtp error, Error from SMTP Server : 550-No such user 550 mailbox unavailable");
    QTest::newRow("a page's NUL, tab and escape bytes become blanks")
        << QDateTime(QDate(2000, 4, 6), QTime(9, 0, 0)) << QString::fromUtf8("poll: found- A\0B\tC\x1b[2JD\x7f", 24)
        << QByteArray("\"4/6/2000 9:00:00 AM poll: found- A B C [2JD \"\r\n")
        << QStringLiteral("9:00:00  poll: found- A B C [2JD ");
    QTest::newRow("C1 controls and bidi overrides become blanks")
        << QDateTime(QDate(2000, 4, 6), QTime(9, 0, 0)) << QStringLiteral("poll: found- A\u009b2JB\u202eC\u2028D")
        << QByteArray("\"4/6/2000 9:00:00 AM poll: found- A 2JB C D\"\r\n")
        << QStringLiteral("9:00:00  poll: found- A 2JB C D");
}

void ActionLogTest::record_hasQuotedUsDateTimeMessageAndCrLf()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, message);
    QFETCH(QByteArray, record);
    QFETCH(QString, screen);

    QTemporaryDir dir;
    FakeClock clock(when);
    ActionLog log(clock);
    log.setFilePath(dir.filePath(QStringLiteral("ipolog.txt")));
    QSignalSpy logged(&log, &ActionLog::lineLogged);
    log.LogAction(message);

    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), record);
    QCOMPARE(log.screen()->newestLine(), screen);
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().first().toString(), screen);
}

void ActionLogTest::lines_appendToFileAndStackNewestFirstOnScreen()
{
    QTemporaryDir dir;
    FakeClock clock;
    ActionLog log(clock);
    log.setFilePath(dir.filePath(QStringLiteral("ipolog.txt")));
    QFile existing(log.filePath());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("\"earlier run\"\r\n");
    existing.close();

    log.LogAction(QStringLiteral("first"));
    clock.advanceMs(1000);
    log.LogAction(QStringLiteral("second"));

    QVERIFY(existing.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = existing.readAll().split('\n');
    QCOMPARE(records.size(), 4); // three records and the empty rest after the last line end
    QCOMPARE(records[0], QByteArray("\"earlier run\"\r"));
    QVERIFY(records[1].endsWith(" first\"\r"));
    QVERIFY(records[2].endsWith(":04 PM second\"\r"));

    const ActionLogModel& screen = *log.screen();
    QCOMPARE(screen.rowCount(), 2);
    QCOMPARE(screen.data(screen.index(0)).toString(), QStringLiteral("9:05:04  second"));
    QCOMPARE(screen.data(screen.index(1)).toString(), QStringLiteral("9:05:03  first"));
    QCOMPARE(screen.text(), QStringLiteral("9:05:04  second\r\n9:05:03  first\r\n"));
}

void ActionLogTest::unwritableLog_keepsScreenWorking_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("path is a directory") << QStringLiteral("ipolog.txt");
    QTest::newRow("directory is missing") << QStringLiteral("gone/ipolog.txt");
    QTest::newRow("path is a FIFO nobody reads") << QStringLiteral("fifo");
}

void ActionLogTest::unwritableLog_keepsScreenWorking()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ipolog.txt")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600) == 0);
    FakeClock clock;
    ActionLog log(clock);
    log.setFilePath(dir.filePath(relativePath));

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i)
        log.LogAction(QStringLiteral("line %1").arg(i));
    QCOMPARE(log.screen()->rowCount(), 1000);
    QCOMPARE(log.screen()->newestLine(), QStringLiteral("9:05:03  line 999"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("ipolog.txt"))).isDir());
    QVERIFY2(timer.elapsed() < 5000, "a log that cannot be written must not slow logging down");
}

void ActionLogTest::fullDisk_losesTheWholeRecordNeverHalf()
{
    QTemporaryDir dir;
    FakeClock clock;
    ActionLog log(clock);
    log.setFilePath(dir.filePath(QStringLiteral("ipolog.txt")));
    log.LogAction(QStringLiteral("before"));
    const QByteArray before = ActionLog::fileRecord(clock.now(), QStringLiteral("before"));

    // The file may grow by a few bytes only, as on a disk that is nearly full.
    rlimit saved = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit nearlyFull = saved;
    nearlyFull.rlim_cur = rlim_t(before.size() + 20);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &nearlyFull), 0);
    log.LogAction(QStringLiteral("a record far longer than the room that is left on the disk"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    log.LogAction(QStringLiteral("after"));

    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before + ActionLog::fileRecord(clock.now(), QStringLiteral("after")));
    QCOMPARE(log.screen()->rowCount(), 3);
}

// A run of months, or pages of a million offerings, must not fill the memory: the
// screen keeps the newest lines, each cut to a length; the file keeps everything.
void ActionLogTest::screen_keepsNewestLinesCutToLength()
{
    QTemporaryDir dir;
    FakeClock clock;
    ActionLog log(clock);
    log.setFilePath(dir.filePath(QStringLiteral("ipolog.txt")));
    const QString huge(3 * ActionLogModel::MaxLineLength, QLatin1Char('X'));
    log.LogAction(huge);
    for (qsizetype i = 0; i < ActionLogModel::MaxLines; ++i)
        log.LogAction(QStringLiteral("line %1").arg(i));
    const ActionLogModel& screen = *log.screen();
    QCOMPARE(screen.rowCount(), int(ActionLogModel::MaxLines));
    QCOMPARE(screen.newestLine(), QStringLiteral("9:05:03  line %1").arg(ActionLogModel::MaxLines - 1));
    QCOMPARE(screen.data(screen.index(screen.rowCount() - 1)).toString(), QStringLiteral("9:05:03  line 0"));
    QVERIFY(QFileInfo(log.filePath()).size() > huge.size());

    log.LogAction(huge);
    QVERIFY(screen.newestLine().size() < ActionLogModel::MaxLineLength + 100);
    QVERIFY(screen.newestLine().endsWith(
        QStringLiteral("(%1 more characters in the log file)").arg(huge.size() - ActionLogModel::MaxLineLength + 9)));
}

QTEST_GUILESS_MAIN(ActionLogTest)
#include "tst_action_log.moc"
