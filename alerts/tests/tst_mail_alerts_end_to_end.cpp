#include "testsupport/AiosmtpdServer.h"
#include "testsupport/ConsoleProgram.h"
#include "testsupport/FakeSmtpServer.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

// The whole program in console mode, as a user on a headless box would drive it:
// the built-in demo page on loopback, SMTP alerts switched on through the setup
// commands, and a real mail server that receives the alert.
class MailAlertsEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void smtpAlert_arrivesAtRealServer_data();
    void smtpAlert_arrivesAtRealServer();
    void serverErrorReply_isLoggedAndShown();
    void emptyRecipient_refusesTest();
    void addresses_surviveRestartButTogglesDoNot();

private:
    static QString foundList(const ConsoleProgram& program);
};

QString MailAlertsEndToEndTest::foundList(const ConsoleProgram& program)
{
    const QString prefix = QStringLiteral("poll: ticker(s) found- ");
    for (const QString& message : program.messages()) {
        if (message.startsWith(prefix))
            return message.mid(prefix.size());
    }
    return {};
}

void MailAlertsEndToEndTest::smtpAlert_arrivesAtRealServer_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("envelopeFrom");
    QTest::newRow("sender box") << QStringLiteral("watcher@example.org") << QStringLiteral("watcher@example.org");
    QTest::newRow("empty sender box uses the fallback")
        << QString() << QStringLiteral("offerwatch-alert@freemail.example");
}

void MailAlertsEndToEndTest::smtpAlert_arrivesAtRealServer()
{
    QFETCH(QString, sender);
    QFETCH(QString, envelopeFrom);
    AiosmtpdServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    ConsoleProgram program;
    QVERIFY(program.start({QStringLiteral("--demo")}));
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("wizard"));
    program.send(QStringLiteral("smtp server 127.0.0.1:%1").arg(server.port()));
    program.send(QStringLiteral("smtp to investor@example.net"));
    program.send(QStringLiteral("smtp from ") + sender);
    program.send(QStringLiteral("smtp toggle"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: ON")));
    program.send(QStringLiteral("start"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: sent smtp")));
    QVERIFY(program.waitForMessage(QStringLiteral("poll: waiting for next cycle")));

    QVERIFY(server.waitForMessages(1, 20000));
    const AiosmtpdServer::Message mail = server.messages().first();
    QCOMPARE(mail.mailFrom, envelopeFrom);
    QCOMPARE(mail.rcptTos, QStringList{QStringLiteral("investor@example.net")});
    const QString list = foundList(program);
    QVERIFY(list.contains(QStringLiteral("(go-now)")));
    QVERIFY(mail.content.contains("Subject:IPO: \r\n"));
    // The header block ends before the body, so a reader sees the list as the text.
    const qsizetype bodyAt = mail.content.indexOf("\r\n\r\n");
    QVERIFY(bodyAt > 0);
    QCOMPARE(mail.content.mid(bodyAt + 4).trimmed(), ('"' + list + '"').toUtf8().trimmed());
    QVERIFY(program.messages().contains(QStringLiteral("button: email setup")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

void MailAlertsEndToEndTest::serverErrorReply_isLoggedAndShown()
{
    FakeSmtpServer server;
    server.setScript({FakeSmtpServer::Reply::text("220 fake ready\r\n"), FakeSmtpServer::Reply::text("250 hello\r\n"),
                      FakeSmtpServer::Reply::text("250 sender ok\r\n"),
                      FakeSmtpServer::Reply::text("550 5.1.1 no such mailbox\r\n")});
    QVERIFY(server.listen());

    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("smtp server 127.0.0.1:%1").arg(server.port()));
    program.send(QStringLiteral("smtp test"));
    const QString expected = QStringLiteral("email: smtp error, Error from SMTP Server : 550 5.1.1 no such mailbox\r");
    // The reply keeps its CR LF; the log line carries it as the control reported it.
    QVERIFY(program.waitForMessage(expected) || program.waitForMessage(expected.chopped(1)));
    QVERIFY(program.standardError().contains(QStringLiteral("offerwatch: Error: email: smtp error, Error from SMTP Server : 550")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

void MailAlertsEndToEndTest::emptyRecipient_refusesTest()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("smtp to"));
    program.send(QStringLiteral("smtp test"));
    program.send(QStringLiteral("smtp toggle"));
    program.send(QStringLiteral("show"));
    QCOMPARE(program.waitForLineStartingWith(QStringLiteral("status:")),
             QStringLiteral("status: colour=green tickers=\"\" email=\"Email OFF\" alarm=\"Alarm OFF\""));
    QVERIFY(program.standardError().contains(
        QStringLiteral("offerwatch: Offerwatch: You must setup steps 1 & 2 & 3 prior to testing")));
    QVERIFY(!program.messages().contains(QStringLiteral("email: ON")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

void MailAlertsEndToEndTest::addresses_surviveRestartButTogglesDoNot()
{
    QTemporaryDir config;
    const QString ini = config.filePath(QStringLiteral("Offerwatch/Offerwatch.ini"));
    {
        ConsoleProgram program;
        program.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        QVERIFY(program.start());
        QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
        program.send(QStringLiteral("smtp to pager.5551234@pager.example"));
        program.send(QStringLiteral("smtp from"));
        program.send(QStringLiteral("smtp toggle"));
        QVERIFY(program.waitForMessage(QStringLiteral("email: ON")));
        QVERIFY(!QFile::exists(ini)); // nothing is stored before the window unloads
        program.send(QStringLiteral("exit"));
        QVERIFY(program.waitForExit());
    }
    QSettings stored(ini, QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("SMTP.to")).toString(), QStringLiteral("pager.5551234@pager.example"));
    QCOMPARE(stored.value(QStringLiteral("SMTP.from"), QStringLiteral("absent")).toString(), QString());
    QCOMPARE(stored.value(QStringLiteral("SMTP.gateway")).toString(), QStringLiteral("mailhost.example"));

    ConsoleProgram again;
    again.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QVERIFY(again.start());
    QVERIFY(again.waitForMessage(QStringLiteral("email: OFF")));
    again.send(QStringLiteral("show"));
    QCOMPARE(again.waitForLineStartingWith(QStringLiteral("status:")),
             QStringLiteral("status: colour=green tickers=\"\" email=\"Email OFF\" alarm=\"Alarm OFF\""));
    again.send(QStringLiteral("exit"));
    QVERIFY(again.waitForExit());
}

QTEST_GUILESS_MAIN(MailAlertsEndToEndTest)
#include "tst_mail_alerts_end_to_end.moc"
