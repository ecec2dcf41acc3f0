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

using namespace Qt::StringLiterals;

class ActionLogTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    // Each record goes after what the file held; control characters of a page or a server
    // reply become blanks (the full set is the plain-text folding's).
    void record_hasQuotedUsDateTimeMessageAndCrLf_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("screen");
        const QDate day(2000, 4, 6);
        QTest::newRow("evening before ten: two blanks on screen")
            << QDateTime(day, QTime(21, 5, 3)) << u"poll: started"_s
            << QByteArray("\"4/6/2000 9:05:03 PM poll: started\"\r\n") << u"9:05:03  poll: started"_s;
        QTest::newRow("ten o'clock and later: one blank")
            << QDateTime(QDate(2000, 12, 31), QTime(22, 15, 9)) << u"poll: stopped"_s
            << QByteArray("\"12/31/2000 10:15:09 PM poll: stopped\"\r\n") << u"10:15:09 poll: stopped"_s;
        QTest::newRow("quotes inside the message are not escaped")
            << QDateTime(day, QTime(9, 0, 0)) << u"a \"quoted\" word"_s
            << QByteArray("\"4/6/2000 9:00:00 AM a \"quoted\" word\"\r\n") << u"9:00:00  a \"quoted\" word"_s;
        QTest::newRow("a server reply and a page's escape keep the record on one line")
            << QDateTime(day, QTime(9, 0, 0)) << u"email: Error : 550-No such user\r\n550 gone\x1b[2J\u202e"_s
            << QByteArray("\"4/6/2000 9:00:00 AM email: Error : 550-No such user 550 gone [2J \"\r\n")
            << u"9:00:00  email: Error : 550-No such user 550 gone [2J "_s;
    }
    void record_hasQuotedUsDateTimeMessageAndCrLf()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, message);
        QFETCH(QByteArray, record);
        QFETCH(QString, screen);
        FakeClock clock(when);
        ActionLog log(clock);
        log.setFilePath(m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).left(20)));
        QFile file(log.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\"earlier run\"\r\n") > 0);
        file.close();
        QSignalSpy logged(&log, &ActionLog::lineLogged);
        log.LogAction(message);

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "\"earlier run\"\r\n" + record);
        QCOMPARE(log.screen()->newestLine(), screen);
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged.first().first().toString(), screen);
    }

    void unwritableLog_keepsScreenWorking_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::newRow("path is a directory") << u"ipolog.txt"_s;
        QTest::newRow("path is a FIFO nobody reads") << u"fifo"_s;
    }
    void unwritableLog_keepsScreenWorking()
    {
        QFETCH(QString, relativePath);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"ipolog.txt"_s));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(u"fifo"_s)).constData(), 0600) == 0);
        FakeClock clock;
        ActionLog log(clock);
        log.setFilePath(dir.filePath(relativePath));
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 1000; ++i)
            log.LogAction(u"line %1"_s.arg(i));
        QCOMPARE(log.screen()->rowCount(), 1000);
        QCOMPARE(log.screen()->newestLine(), u"9:05:03  line 999"_s);
        QVERIFY(QFileInfo(dir.filePath(u"ipolog.txt"_s)).isDir());
        QVERIFY2(timer.elapsed() < 5000, "a log that cannot be written must not slow logging down");
    }

    void fullDisk_losesTheWholeRecordNeverHalf()
    {
        FakeClock clock;
        ActionLog log(clock);
        log.setFilePath(m_dir.filePath(u"full.txt"_s));
        log.LogAction(u"before"_s);
        const QByteArray before = ActionLog::fileRecord(clock.now(), u"before"_s);
        // The file may grow by a few bytes only, as on a disk that is nearly full.
        rlimit saved = {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit nearlyFull = saved;
        nearlyFull.rlim_cur = rlim_t(before.size() + 20);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &nearlyFull), 0);
        log.LogAction(u"a record far longer than the room that is left on the disk"_s);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        log.LogAction(u"after"_s);

        QFile file(log.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before + ActionLog::fileRecord(clock.now(), u"after"_s));
        QCOMPARE(log.screen()->rowCount(), 3);
    }

};

QTEST_GUILESS_MAIN(ActionLogTest)
#include "tst_action_log.moc"
