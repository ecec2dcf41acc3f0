// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpEventLog.h"
#include "testsupport/FakeSmtpServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Reply = FakeSmtpServer::Reply;
using Script = QList<Reply>;
Q_DECLARE_METATYPE(FakeSmtpServer::Reply)

namespace {
const QList<QByteArray> NormalCommands{"HELO 127.0.0.1", "MAIL FROM:<alice@example.org>", "RCPT TO:<bob@example.org>",
                                       "DATA", "quit"};
const QStringList NormalEvents{"BusyState(true)", "Sent", "BusyState(false)", "Disconnected"};
const QByteArray Headers = "Reply-To:alice@example.org\r\nFrom:alice@example.org\r\nTo:bob@example.org\r\nSubject:IPO: test\r\n";
const QByteArray Boundary = "--0-1804289383-931972773=:22216";
const QString fromServer = QStringLiteral("Error from SMTP Server : ");
const QString noReply = QStringLiteral("No reply from the SMTP server within 1 seconds");

Script happyWith(int entry, const Reply& reply)
{
    Script script = FakeSmtpServer::happyScript();
    script[entry] = reply;
    return script;
}

// One control set up to send to one scripted server.
struct Session {
    explicit Session(const Script& script = FakeSmtpServer::happyScript())
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

// The Date and Message-ID values differ on every send.
QByteArray withoutVolatileHeaders(const QByteArray& data)
{
    static const QRegularExpression volatileLines(QStringLiteral("^(Date|Message-ID): [^\\r]*\\r\\n"),
                                                  QRegularExpression::MultilineOption);
    return QString::fromLatin1(data).remove(volatileLines).toLatin1();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
}
} // namespace

class TestSmtpDialogue final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plainMail_commandsContentAndEventsInOrder();
    void twoAttachments_contentIsByteExact();
    void failure_endsSendThroughError_data();
    void failure_endsSendThroughError();
    void missingAttachment_abortsWithoutEndOfData();
    void sendMailDuringPause_startsOnceEarlierSendHasEnded_data();
    void sendMailDuringPause_startsOnceEarlierSendHasEnded();
};

// Replies come split over segments, as several lines or as a bare code, and
// a stray 250 comes before the 354; each is read once, when complete.
void TestSmtpDialogue::plainMail_commandsContentAndEventsInOrder()
{
    Session s({Reply::split({"22", "0 fake", ".test ready\r\n"}), Reply::split({"250-fake.test\r\n", "250 HELP\r\n"}),
               Reply::text("250\r\n"), Reply::split({"250 ok\r", "\n"}), Reply::split({"250 stray\r\n", "354 go\r\n"}),
               Reply::text("250-queued\r\n250 as 12\r\n"), Reply::text("221 bye\r\n")});
    QVERIFY(s.listening);
    QElapsedTimer clock;
    clock.start();
    s.control.setSendMail(true);
    QVERIFY(s.log.waitFor(QStringLiteral("Disconnected")));

    QCOMPARE(s.server.commands(0), NormalCommands);
    // The empty line keeps a body line that looks like a header in the body.
    QCOMPARE(withoutVolatileHeaders(s.server.data(0)), Headers + "\r\nIPO: test - this is the message body\r\n.\r\n");
    QVERIFY(s.server.data(0).contains("\r\nDate: "));
    QVERIFY(s.server.data(0).contains("\r\nMessage-ID: <"));
    QCOMPARE(s.log.mainEvents(), NormalEvents);
    QStringList statuses = s.log.withPrefix(QStringLiteral("Status:"));
    statuses.removeIf([](const QString& s) { return s.startsWith(u"Date: ") || s.startsWith(u"Message-ID: "); });
    QCOMPARE(statuses, (QStringList{
                           QStringLiteral("Connecting to 127.0.0.1:%1\r\n").arg(s.server.port()), "220 fake.test ready\r\n", "HELO 127.0.0.1\r\n",
                           "250-fake.test\r\n250 HELP\r\n", "MAIL FROM:<alice@example.org>\r\n", "250\r\n",
                           "RCPT TO:<bob@example.org>\r\n", "250 ok\r\n", "DATA\r\n", "250 stray\r\n", "354 go\r\n",
                           "Reply-To:alice@example.org\r\n", "From:alice@example.org\r\n", "To:bob@example.org\r\n",
                           "Subject:IPO: test\r\n", "Sending message to SMTP server...\r\n", "",
                           "Message has been sent to SMTP server...\r\n", "", "250-queued\r\n250 as 12\r\n",
                           "Quit from SMTP server\r\n", "221 bye\r\n", "221 bye\r\n\r\n"}));
    // The server's goodbye arrives during the pause and ends the send flag.
    QCOMPARE(s.control.SendMail(), false);
    QVERIFY2(clock.elapsed() >= 1000, "the pause after a copy was shortened");
}

void TestSmtpDialogue::twoAttachments_contentIsByteExact()
{
    QTemporaryDir dir;
    const QString first = writeFile(dir, QStringLiteral("a.txt"), "abc");
    const QString second = writeFile(dir, QStringLiteral("b.bin"), QByteArray(58, 'x'));
    Session s;
    QVERIFY(s.listening);
    s.control.setMessage(QStringLiteral("Text"));
    s.control.setAttachmentFile(first + QLatin1Char(';') + second);
    s.control.setSendMail(true);
    s.control.setSendMail(false); // clearing the flag does not stop a running send
    QVERIFY(s.log.waitFor(QStringLiteral("Disconnected")));

    const auto part = [](const QByteArray& name) {
        return Boundary + "\r\nContent-Type: application; Name =\"" + name + "\"\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-Description: " + name + "\r\nContent-Disposition: attachment; filename =\"" + name + "\"\r\n\r\n";
    };
    const QByteArray prelude = "MIME-Version: 1.0\r\n"
                               "Content-Type:multipart/mixed; boundary =\"0-1804289383-931972773=:22216\"\r\n"
                               "X-Mailer: Viza.ZAZ Smtp Control Version: 1.06\r\n"
                               "X-Developer: The Offerwatch developers\r\n\r\n"
        + Boundary + "\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\nText";
    QCOMPARE(withoutVolatileHeaders(s.server.data(0)),
             Headers + prelude + "\r\n\r\n" + part("a.txt") + "YWJj\r\n\r\n" + part("b.bin")
                 + QByteArray(57, 'x').toBase64() + "\r\neA==\r\n\r\n" + Boundary + "--\r\n\r\n\r\n.\r\n");
    // The prelude is put in front of the host's text.
    QCOMPARE(s.control.Message(), QString::fromLatin1(prelude));
    QCOMPARE(s.log.mainEvents(), QStringList{"BusyState(true)"} + NormalEvents);
    const QStringList statuses = s.log.withPrefix(QStringLiteral("Status:"));
    QVERIFY(statuses.contains(QStringLiteral("Sending attachment(s) to SMTP server...\r\n")));
    QVERIFY(statuses.indexOf(QStringLiteral("Attachment: %1 has been sent \r\n").arg(first))
            < statuses.indexOf(QStringLiteral("Attachment: %1 has been sent \r\n").arg(second)));
}

void TestSmtpDialogue::failure_endsSendThroughError_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("error"); // empty: any text
    QTest::addColumn<int>("commandsSent");
    QTest::newRow("550 to RCPT") << 3 << Reply::text("550 5.1.1 no such user\r\n")
                                 << fromServer + "550 5.1.1 no such user\r\n" << 3;
    QTest::newRow("garbage greeting") << 0 << Reply::text("hello there\r\n") << fromServer + "hello there\r\n" << 0;
    QTest::newRow("554 after data") << 5 << Reply::text("554 rejected\r\n") << fromServer + "554 rejected\r\n" << 4;
    QTest::newRow("no greeting") << 0 << Reply::silent() << noReply << 0;
    QTest::newRow("no answer to the data") << 5 << Reply::silent() << noReply << 4;
    QTest::newRow("reset during data") << 5 << Reply::reset() << QString() << 4;
    // A reply that arrives whole only after the time-out is no reply.
    QTest::newRow("greeting a byte at a time") << 0 << Reply::trickle("220 fake.test ready\r\n", 300) << noReply << 0;
    // A code that does not fit the step ends the send, whatever the code.
    const QList<QByteArray> misfits{"221 bye\r\n", "220 again\r\n", "354 go\r\n"};
    const char* steps[] = {"greeting", "HELO", "MAIL", "RCPT", "DATA", "data"};
    for (int entry = 0; entry <= 5; ++entry) {
        for (const QByteArray& misfit : misfits) {
            const bool fits = (entry == 0 && misfit.startsWith("220")) || (entry == 4 && misfit.startsWith("354"));
            if (!fits)
                QTest::addRow("%s to %s", misfit.left(3).constData(), steps[entry])
                    << entry << Reply::text(misfit) << fromServer + QString::fromLatin1(misfit) << std::min(entry, 4);
        }
    }
}

void TestSmtpDialogue::failure_endsSendThroughError()
{
    QFETCH(int, entry);
    QFETCH(Reply, reply);
    QFETCH(QString, error);
    QFETCH(int, commandsSent);
    Session s(happyWith(entry, reply));
    QVERIFY(s.listening);
    s.control.setReplyTimeout(1);
    QElapsedTimer clock;
    clock.start();
    s.control.setSendMail(true);
    QVERIFY(s.log.waitFor(QStringLiteral("Error:"), 5000));
    // The time-out bounds the whole wait for a reply, and never ends it early.
    if (error == noReply)
        QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(s.server.waitForClosedConnections(1, 5000));
    QTest::qWait(100);
    QStringList events = s.log.mainEvents();
    if (error.isEmpty() && events.size() > 1 && events[1].startsWith(u"Error:"))
        events[1] = QStringLiteral("Error:");
    // Only an error reply from the server ends the busy state.
    QStringList expected{QStringLiteral("BusyState(true)"), QStringLiteral("Error:") + error};
    if (error.startsWith(fromServer))
        expected.append(QStringLiteral("BusyState(false)"));
    QCOMPARE(events, expected);
    QCOMPARE(s.server.commands(0), NormalCommands.mid(0, commandsSent));
    QCOMPARE(s.control.SendMail(), false);
}

void TestSmtpDialogue::missingAttachment_abortsWithoutEndOfData()
{
    QTemporaryDir dir;
    const QString present = writeFile(dir, QStringLiteral("present.txt"), "abc");
    Session s;
    QVERIFY(s.listening);
    s.control.setAttachmentFile(dir.filePath(QStringLiteral("missing.bin")) + QLatin1Char(';') + present);
    s.control.setSendMail(true);
    QVERIFY(s.server.waitForClosedConnections(1, 5000));
    QTest::qWait(100);
    QCOMPARE(s.log.mainEvents(), (QStringList{"BusyState(true)", "BusyState(true)",
                                              "Error:Error occured during encoding process", "Error:Socket closed.."}));
    QCOMPARE(s.control.SendMail(), false);
    const QByteArray received = s.server.received(0);
    QVERIFY(!received.contains("\r\n.\r\n"));
    QVERIFY(!received.contains("quit"));
    QVERIFY(!received.contains("present.txt"));
}

void TestSmtpDialogue::sendMailDuringPause_startsOnceEarlierSendHasEnded_data()
{
    QTest::addColumn<QString>("copies");
    QTest::addColumn<QStringList>("earlierSend");
    QTest::newRow("no copies") << QString() << QStringList{"BusyState(true)", "Sent"};
    QTest::newRow("one copy") << "carol@example.org"
                              << QStringList{"BusyState(true)", "Sent", "BusyState(true)", "Sent"};
}

// The host sets SendMail again while the control pauses after the first copy.
void TestSmtpDialogue::sendMailDuringPause_startsOnceEarlierSendHasEnded()
{
    QFETCH(QString, copies);
    QFETCH(QStringList, earlierSend);
    Session s;
    QVERIFY(s.listening);
    s.control.setCCAddress(copies);
    bool again = false;
    connect(&s.control, &Smtp::MailHasBeenSent, &s.control, [&] {
        if (!std::exchange(again, true))
            s.control.setSendMail(true);
    });
    s.control.setSendMail(true);
    QVERIFY(QTest::qWaitFor([&] { return s.log.mainEvents().count(QStringLiteral("Disconnected")) == 2; }, 15000));
    QCOMPARE(s.log.mainEvents(), earlierSend + (QStringList{"BusyState(false)", "Disconnected"} + NormalEvents));
    QCOMPARE(s.server.connectionCount(), int(earlierSend.count(QStringLiteral("Sent"))) + 1);
}

QTEST_GUILESS_MAIN(TestSmtpDialogue)
#include "tst_smtp_dialogue.moc"
