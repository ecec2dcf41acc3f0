// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpTestKit.h"
#include "testsupport/FakeSmtpServer.h"

#include <QElapsedTimer>

using Reply = FakeSmtpServer::Reply;
Q_DECLARE_METATYPE(FakeSmtpServer::Reply)

namespace {
const QList<QByteArray> NormalCommands{"HELO 127.0.0.1", "MAIL FROM:<alice@example.org>", "RCPT TO:<bob@example.org>",
                                       "DATA", "quit"};
const QStringList NormalEvents{"BusyState(true)", "Sent", "BusyState(false)", "Disconnected"};
const QString FromServer = QStringLiteral("Error from SMTP Server : ");
const QString NoReply = QStringLiteral("No reply from the SMTP server within 1 seconds");

// One control set up to send to one scripted server.
struct Session {
    explicit Session(const QList<Reply>& script = FakeSmtpServer::happyScript())
    {
        server.setScript(script);
        listening = server.listen();
        control.setMailServerDomain(QStringLiteral("127.0.0.1"));
        control.setMailServerPort(server.port());
        control.setMailFrom(QStringLiteral("alice@example.org"));
        control.setMailTo(QStringLiteral("bob@example.org"));
        control.setSubject(QStringLiteral("IPO: test"));
        control.setMessage(QStringLiteral("IPO: test - this is the message body"));
    }
    FakeSmtpServer server;
    bool listening = false;
    Smtp control;
    SmtpEventLog log{control};
};
} // namespace

// The control's side of the dialogue with servers that misbehave as real ones will not.
class TestSmtpDialogue final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Replies come split over segments, as several lines or as a bare code, and a
    // stray 250 comes before the 354; each is read once, when complete.
    void plainMail_commandsStatusesAndEventsInOrder()
    {
        Session s({Reply::split({"22", "0 fake", ".test ready\r\n"}),
                   Reply::split({"250-fake.test\r\n", "250 HELP\r\n"}), Reply::text("250\r\n"),
                   Reply::split({"250 ok\r", "\n"}), Reply::split({"250 stray\r\n", "354 go\r\n"}),
                   Reply::text("250-queued\r\n250 as 12\r\n"), Reply::text("221 bye\r\n")});
        QVERIFY(s.listening);
        QElapsedTimer clock;
        clock.start();
        s.control.setSendMail(true);
        QVERIFY(s.log.waitFor(QStringLiteral("Disconnected")));
        QCOMPARE(s.server.commands(0), NormalCommands);
        QCOMPARE(s.log.mainEvents(), NormalEvents);
        QStringList statuses = s.log.withPrefix(QStringLiteral("Status:"));
        statuses.removeIf([](const QString& s) { return s.startsWith(u"Date: ") || s.startsWith(u"Message-ID: "); });
        QCOMPARE(statuses.join(u'|'), QStringLiteral("Connecting to 127.0.0.1:%1\r\n|").arg(s.server.port()) +
                                          "220 fake.test ready\r\n|HELO 127.0.0.1\r\n|250-fake.test\r\n250 "
                                          "HELP\r\n|MAIL FROM:<alice@example.org>\r\n|"
                                          "250\r\n|RCPT TO:<bob@example.org>\r\n|250 ok\r\n|DATA\r\n|250 stray\r\n|354 "
                                          "go\r\n|Reply-To:alice@example.org\r\n|"
                                          "From:alice@example.org\r\n|To:bob@example.org\r\n|Subject:IPO: "
                                          "test\r\n|Sending message to SMTP server...\r\n||"
                                          "Message has been sent to SMTP server...\r\n||250-queued\r\n250 as "
                                          "12\r\n|Quit from SMTP server\r\n|221 bye\r\n|"
                                          "221 bye\r\n\r\n");
        // The server's goodbye arrives during the pause and ends the send flag.
        QCOMPARE(s.control.SendMail(), false);
        QVERIFY2(clock.elapsed() >= 1000, "the pause after a copy was shortened");
    }

    void failure_endsSendThroughError_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("commandsSent");
        QTest::newRow("550 to RCPT") << 3 << Reply::text("550 5.1.1 no such user\r\n")
                                     << FromServer + "550 5.1.1 no such user\r\n"
                                     << 3;
        QTest::newRow("554 after data") << 5 << Reply::text("554 rejected\r\n") << FromServer + "554 rejected\r\n" << 4;
        QTest::newRow("no greeting") << 0 << Reply::silent() << NoReply << 0;
        QTest::newRow("no answer to the data") << 5 << Reply::silent() << NoReply << 4;
        // A reply that arrives whole only after the time-out is no reply.
        QTest::newRow("greeting a byte at a time")
            << 0 << Reply::trickle("220 fake.test ready\r\n", 300) << NoReply << 0;
        // A code that does not fit the step ends the send, whatever the code.
        const char* steps[] = {"greeting", "HELO", "MAIL", "RCPT", "DATA", "data"};
        for (int entry = 0; entry <= 5; ++entry) {
            for (const QByteArray misfit : {"221 bye\r\n", "220 again\r\n", "354 go\r\n"}) {
                if ((entry != 0 || !misfit.startsWith("220")) && (entry != 4 || !misfit.startsWith("354")))
                    QTest::addRow("%s to %s", misfit.left(3).constData(), steps[entry])
                        << entry << Reply::text(misfit) << FromServer + QString::fromLatin1(misfit)
                        << std::min(entry, 4);
            }
        }
    }
    void failure_endsSendThroughError()
    {
        QFETCH(int, entry);
        QFETCH(Reply, reply);
        QFETCH(QString, error);
        QFETCH(int, commandsSent);
        QList<Reply> script = FakeSmtpServer::happyScript();
        script[entry] = reply;
        Session s(script);
        QVERIFY(s.listening);
        s.control.setReplyTimeout(1);
        QElapsedTimer clock;
        clock.start();
        s.control.setSendMail(true);
        QVERIFY(s.log.waitFor(QStringLiteral("Error:"), 5000));
        // The time-out bounds the whole wait for a reply, and never ends it early.
        if (error == NoReply)
            QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(s.server.waitForClosedConnections(1, 5000));
        QTest::qWait(100);
        // Only an error reply from the server ends the busy state.
        QStringList expected{QStringLiteral("BusyState(true)"), QStringLiteral("Error:") + error};
        if (error.startsWith(FromServer))
            expected.append(QStringLiteral("BusyState(false)"));
        QCOMPARE(s.log.mainEvents(), expected);
        QCOMPARE(s.server.commands(0), NormalCommands.mid(0, commandsSent));
        QCOMPARE(s.control.SendMail(), false);
    }

    // The data breaks off at the first file that cannot be read: no end of data, no later file.
    void missingAttachment_abortsWithoutEndOfData()
    {
        QTemporaryDir dir;
        QStringList hashes;
        const QString present = randomFile(dir, QStringLiteral("present.txt"), 3, &hashes);
        Session s;
        QVERIFY(s.listening);
        s.control.setAttachmentFile(dir.filePath(QStringLiteral("missing.bin")) + QLatin1Char(';') + present);
        s.control.setSendMail(true);
        QVERIFY(s.server.waitForClosedConnections(1, 5000));
        QTest::qWait(100);
        QCOMPARE(s.log.mainEvents(),
                 (QStringList{"BusyState(true)", "BusyState(true)", "Error:Error occured during encoding process",
                              "Error:Socket closed.."}));
        QCOMPARE(s.control.SendMail(), false);
        QCOMPARE(s.server.commands(0), NormalCommands.mid(0, 4));
        QVERIFY(!s.server.data(0).endsWith("\r\n.\r\n"));
        QVERIFY(!s.server.data(0).contains("quit") && !s.server.data(0).contains("present.txt"));
    }

    // The host sets SendMail again while the control pauses after the first of two copies.
    void sendMailDuringPause_startsOnceEarlierSendHasEnded()
    {
        Session s;
        QVERIFY(s.listening);
        s.control.setCCAddress(QStringLiteral("carol@example.org"));
        bool again = false;
        connect(&s.control, &Smtp::MailHasBeenSent, &s.control, [&] {
            if (!std::exchange(again, true))
                s.control.setSendMail(true);
        });
        s.control.setSendMail(true);
        QVERIFY(QTest::qWaitFor([&] { return s.log.mainEvents().count(QStringLiteral("Disconnected")) == 2; }, 15000));
        const QStringList earlierSend{"BusyState(true)", "Sent", "BusyState(true)", "Sent", "BusyState(false)"};
        QCOMPARE(s.log.mainEvents(), earlierSend + QStringList{"Disconnected"} + NormalEvents);
        QCOMPARE(s.server.connectionCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestSmtpDialogue)
#include "tst_smtp_dialogue.moc"
