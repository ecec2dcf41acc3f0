#include "SmtpEventLog.h"
#include "testsupport/FakeSmtpServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Reply = FakeSmtpServer::Reply;
using Script = QList<Reply>;

namespace {
const QString Sender = QStringLiteral("alice@example.org");
const QString Recipient = QStringLiteral("bob@example.org");

void prepare(Smtp& control, const FakeSmtpServer& server)
{
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(server.port());
    control.setMailFrom(Sender);
    control.setMailTo(Recipient);
    control.setSubject(QStringLiteral("IPO: test"));
    control.setMessage(QStringLiteral("IPO: test - this is the message body"));
}

QList<QByteArray> normalCommands(const QByteArray& to = "bob@example.org")
{
    return {"HELO 127.0.0.1", "MAIL FROM:<alice@example.org>", "RCPT TO:<" + to + ">", "DATA", "quit"};
}

// The Date and Message-ID values differ on every send.
QByteArray withoutVolatileHeaders(QByteArray data)
{
    static const QRegularExpression volatileLines(QStringLiteral("^(Date|Message-ID): [^\\r]*\\r\\n"),
                                                  QRegularExpression::MultilineOption);
    QString text = QString::fromLatin1(data);
    text.remove(volatileLines);
    return text.toLatin1();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}
} // namespace

class TestSmtpDialogue final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plainMail_commandsContentAndEventsInOrder();
    void twoAttachments_contentIsByteExact();
    void splitAndMultiLineReplies_countOnceEach();
    void replyAt250WhileAwaitingDataGo_isIgnored();
    void errorReply_endsSendWithoutQuit_data();
    void errorReply_endsSendWithoutQuit();
    void silentServer_endsAfterReplyTimeout_data();
    void silentServer_endsAfterReplyTimeout();
    void resetDuringData_isReportedAsSocketError();
    void refusedConnection_isReportedAsSocketError();
    void missingAttachment_abortsWithoutEndOfData();
    void copyRecipients_oneConnectionEachWithOnePrelude();
    void copyListOfOnlySender_sendsNoCopy();
    void sendMailFalse_doesNotStopRunningDialogue();
};

void TestSmtpDialogue::plainMail_commandsContentAndEventsInOrder()
{
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    QElapsedTimer clock;
    clock.start();
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));

    QCOMPARE(server.commands(0), normalCommands());
    QCOMPARE(withoutVolatileHeaders(server.data(0)),
             QByteArray("Reply-To:alice@example.org\r\nFrom:alice@example.org\r\nTo:bob@example.org\r\n"
                        "Subject:IPO: test\r\n\r\nIPO: test - this is the message body\r\n.\r\n"));
    QVERIFY(server.data(0).contains("\r\nDate: "));
    QVERIFY(server.data(0).contains("\r\nMessage-ID: <"));
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"), QStringLiteral("Sent"),
                                            QStringLiteral("BusyState(false)"), QStringLiteral("Disconnected")}));
    QStringList statuses = log.withPrefix(QStringLiteral("Status:"));
    statuses.removeIf([](const QString& s) { return s.startsWith(QLatin1String("Date: ")) || s.startsWith(QLatin1String("Message-ID: ")); });
    QCOMPARE(statuses, (QStringList{
                           "Connecting to 127.0.0.1\r\n", "220 fake.test ESMTP ready\r\n", "HELO 127.0.0.1\r\n",
                           "250 fake.test hello\r\n", "MAIL FROM:<alice@example.org>\r\n", "250 sender ok\r\n",
                           "RCPT TO:<bob@example.org>\r\n", "250 recipient ok\r\n", "DATA\r\n", "354 go ahead\r\n",
                           "Reply-To:alice@example.org\r\n", "From:alice@example.org\r\n", "To:bob@example.org\r\n",
                           "Subject:IPO: test\r\n", "Sending message to SMTP server...\r\n", "",
                           "Message has been sent to SMTP server...\r\n", "", "250 accepted\r\n",
                           "Quit from SMTP server\r\n", "221 bye\r\n", "221 bye\r\n\r\n"}));
    // The server's goodbye arrives during the pause and ends the send flag.
    QCOMPARE(control.SendMail(), false);
    QVERIFY2(clock.elapsed() >= 1000, "the pause after a copy was shortened");
    QVERIFY(server.waitForClosedConnections(1, 5000));
}

void TestSmtpDialogue::twoAttachments_contentIsByteExact()
{
    QTemporaryDir dir;
    const QByteArray bytes58 = QByteArray(58, 'x');
    const QString first = writeFile(dir, QStringLiteral("a.txt"), "abc");
    const QString second = writeFile(dir, QStringLiteral("b.bin"), bytes58);
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    control.setMessage(QStringLiteral("Text"));
    control.setAttachmentFile(first + QLatin1Char(';') + second);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));

    const QByteArray line76 = QByteArray(57, 'x').toBase64();
    const QByteArray expected =
        "Reply-To:alice@example.org\r\nFrom:alice@example.org\r\nTo:bob@example.org\r\nSubject:IPO: test\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type:multipart/mixed; boundary =\"0-1804289383-931972773=:22216\"\r\n"
        "X-Mailer: Viza.ZAZ Smtp Control Version: 1.06\r\n"
        "X-Developer: The Offerwatch developers\r\n"
        "\r\n"
        "--0-1804289383-931972773=:22216\r\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "Text\r\n\r\n"
        "--0-1804289383-931972773=:22216\r\n"
        "Content-Type: application; Name =\"a.txt\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Description: a.txt\r\n"
        "Content-Disposition: attachment; filename =\"a.txt\"\r\n"
        "\r\n"
        "YWJj\r\n"
        "\r\n"
        "--0-1804289383-931972773=:22216\r\n"
        "Content-Type: application; Name =\"b.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Description: b.bin\r\n"
        "Content-Disposition: attachment; filename =\"b.bin\"\r\n"
        "\r\n"
        + line76 + "\r\neA==\r\n"
        "\r\n"
        "--0-1804289383-931972773=:22216--\r\n"
        "\r\n"
        "\r\n.\r\n";
    QCOMPARE(withoutVolatileHeaders(server.data(0)), expected);
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"), QStringLiteral("BusyState(true)"),
                                            QStringLiteral("Sent"), QStringLiteral("BusyState(false)"),
                                            QStringLiteral("Disconnected")}));
    const QStringList statuses = log.withPrefix(QStringLiteral("Status:"));
    QVERIFY(statuses.contains(QStringLiteral("Sending attachment(s) to SMTP server...\r\n")));
    QVERIFY(statuses.indexOf(QStringLiteral("Attachment: ") + first + QStringLiteral(" has been sent \r\n"))
            < statuses.indexOf(QStringLiteral("Attachment: ") + second + QStringLiteral(" has been sent \r\n")));
    QCOMPARE(control.Message(), QString::fromLatin1(expected.mid(expected.indexOf("MIME-Version"),
                                                                 expected.indexOf("Text\r\n") + 4
                                                                     - expected.indexOf("MIME-Version"))));
}

void TestSmtpDialogue::splitAndMultiLineReplies_countOnceEach()
{
    FakeSmtpServer server;
    server.setScript({Reply::split({"22", "0 fake", ".test ready\r\n"}),
                      Reply::split({"250-fake.test\r\n", "250-SIZE 1000\r\n", "250 HELP\r\n"}),
                      Reply::text("250\r\n"), Reply::split({"250 ok\r", "\n"}), Reply::split({"354 go\r\n"}),
                      Reply::text("250-queued\r\n250 as 12\r\n"), Reply::text("221 bye\r\n")});
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));
    QCOMPARE(server.commands(0), normalCommands());
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"), QStringLiteral("Sent"),
                                            QStringLiteral("BusyState(false)"), QStringLiteral("Disconnected")}));
    QVERIFY(log.withPrefix(QStringLiteral("Status:")).contains(QStringLiteral("250-fake.test\r\n250-SIZE 1000\r\n250 HELP\r\n")));
}

void TestSmtpDialogue::replyAt250WhileAwaitingDataGo_isIgnored()
{
    FakeSmtpServer server;
    Script script = FakeSmtpServer::happyScript();
    script[4] = Reply::split({"250 spurious\r\n", "354 go ahead\r\n"});
    server.setScript(script);
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));
    QCOMPARE(server.commands(0), normalCommands());
    QVERIFY(log.withPrefix(QStringLiteral("Error:")).isEmpty());
}

void TestSmtpDialogue::errorReply_endsSendWithoutQuit_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("commandsSent");
    QTest::newRow("550 to RCPT") << 3 << QByteArray("550 5.1.1 no such user\r\n") << 3;
    QTest::newRow("garbage greeting") << 0 << QByteArray("hello there\r\n") << 0;
    QTest::newRow("421 greeting") << 0 << QByteArray("421 busy, try later\r\n") << 0;
    QTest::newRow("452 to DATA") << 4 << QByteArray("452 no room\r\n") << 4;
    QTest::newRow("554 after data") << 5 << QByteArray("554 rejected as spam\r\n") << 4;
}

void TestSmtpDialogue::errorReply_endsSendWithoutQuit()
{
    QFETCH(int, entry);
    QFETCH(QByteArray, reply);
    QFETCH(int, commandsSent);
    FakeSmtpServer server;
    Script script = FakeSmtpServer::happyScript();
    script[entry] = Reply::text(reply);
    server.setScript(script);
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("BusyState(false)")));
    QVERIFY(server.waitForClosedConnections(1, 5000));
    QTest::qWait(100);
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"),
                                            QStringLiteral("Error:Error from SMTP Server : ") + QString::fromLatin1(reply),
                                            QStringLiteral("BusyState(false)")}));
    QCOMPARE(server.commands(0), normalCommands().mid(0, commandsSent));
    QCOMPARE(control.SendMail(), false);
}

void TestSmtpDialogue::silentServer_endsAfterReplyTimeout_data()
{
    QTest::addColumn<int>("entry");
    QTest::newRow("no greeting") << 0;
    QTest::newRow("no answer to the data") << 5;
}

void TestSmtpDialogue::silentServer_endsAfterReplyTimeout()
{
    QFETCH(int, entry);
    FakeSmtpServer server;
    Script script = FakeSmtpServer::happyScript();
    script[entry] = Reply::silent();
    server.setScript(script);
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    control.setReplyTimeout(1);
    SmtpEventLog log(control);
    QElapsedTimer clock;
    clock.start();
    control.setSendMail(true);
    QVERIFY(log.waitForPrefix(QStringLiteral("Error:"), 5000));
    QVERIFY(clock.elapsed() >= 900);
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"),
                                            QStringLiteral("Error:No reply from the SMTP server within 1 seconds")}));
    QCOMPARE(control.SendMail(), false);
    QVERIFY(server.waitForClosedConnections(1, 5000));
}

void TestSmtpDialogue::resetDuringData_isReportedAsSocketError()
{
    FakeSmtpServer server;
    Script script = FakeSmtpServer::happyScript();
    script[5] = Reply::reset();
    server.setScript(script);
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitForPrefix(QStringLiteral("Error:")));
    QTest::qWait(100);
    const QStringList events = log.mainEvents();
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.first(), QStringLiteral("BusyState(true)"));
    QVERIFY(!events.contains(QStringLiteral("Sent")));
    QCOMPARE(control.SendMail(), false);
}

void TestSmtpDialogue::refusedConnection_isReportedAsSocketError()
{
    quint16 closedPort = 0;
    {
        FakeSmtpServer probe;
        QVERIFY(probe.listen());
        closedPort = probe.port();
    }
    Smtp control;
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(closedPort);
    control.setMailFrom(Sender);
    control.setMailTo(Recipient);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitForPrefix(QStringLiteral("Error:")));
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")), QStringList{QStringLiteral("Connection refused")});
    QCOMPARE(control.SendMail(), false);
}

void TestSmtpDialogue::missingAttachment_abortsWithoutEndOfData()
{
    QTemporaryDir dir;
    const QString present = writeFile(dir, QStringLiteral("present.txt"), "abc");
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    control.setAttachmentFile(dir.filePath(QStringLiteral("missing.bin")) + QLatin1Char(';') + present);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(server.waitForClosedConnections(1, 5000));
    QTest::qWait(100);
    QCOMPARE(log.mainEvents(), (QStringList{QStringLiteral("BusyState(true)"), QStringLiteral("BusyState(true)"),
                                            QStringLiteral("Error:Error occured during encoding process"),
                                            QStringLiteral("Error:Socket closed..")}));
    QCOMPARE(control.SendMail(), false);
    const QByteArray received = server.received(0);
    QVERIFY(!received.contains("\r\n.\r\n"));
    QVERIFY(!received.contains("quit"));
    QVERIFY(!received.contains("present.txt"));
}

void TestSmtpDialogue::copyRecipients_oneConnectionEachWithOnePrelude()
{
    QTemporaryDir dir;
    const QString file = writeFile(dir, QStringLiteral("a.txt"), "abc");
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    control.setCCAddress(QStringLiteral("carol@example.org;dave@example.org"));
    control.setAttachmentFile(file);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected"), 15000));

    QCOMPARE(server.connectionCount(), 3);
    const QList<QByteArray> recipients{"bob@example.org", "carol@example.org", "dave@example.org"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(server.commands(i), normalCommands(recipients[i]));
        const QByteArray data = server.data(i);
        QVERIFY(data.contains("\r\nTo:" + recipients[i] + "\r\n"));
        QVERIFY(data.contains("\r\nCC:carol@example.org;dave@example.org\r\n"));
        QCOMPARE(data.count("MIME-Version: 1.0"), 1);
        QCOMPARE(data.count("Content-Disposition: inline; filename =\"a.txt\""), 1);
        QVERIFY(data.endsWith("--0-1804289383-931972773=:22216--\r\n\r\n\r\n.\r\n"));
    }
    const QString busy = QStringLiteral("BusyState(true)");
    QCOMPARE(log.mainEvents(), (QStringList{busy, busy, QStringLiteral("Sent"), busy, busy, QStringLiteral("Sent"), busy,
                                            busy, QStringLiteral("Sent"), QStringLiteral("BusyState(false)"),
                                            QStringLiteral("Disconnected")}));
    QCOMPARE(control.MailTo(), QStringLiteral("dave@example.org"));
    QCOMPARE(log.withPrefix(QStringLiteral("Status:Connecting to ")).size(), 1);
}

void TestSmtpDialogue::copyListOfOnlySender_sendsNoCopy()
{
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    control.setCCAddress(Sender);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(server.data(0).contains("\r\nCC:alice@example.org\r\n"));
}

void TestSmtpDialogue::sendMailFalse_doesNotStopRunningDialogue()
{
    FakeSmtpServer server;
    server.setScript(FakeSmtpServer::happyScript());
    QVERIFY(server.listen());
    Smtp control;
    prepare(control, server);
    SmtpEventLog log(control);
    control.setSendMail(true);
    control.setSendMail(false);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected")));
    QCOMPARE(log.withPrefix(QStringLiteral("Sent")).size(), 1);
}

QTEST_GUILESS_MAIN(TestSmtpDialogue)
#include "tst_smtp_dialogue.moc"
