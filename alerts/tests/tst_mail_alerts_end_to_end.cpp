// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsCatalogue.h"
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/ConsoleProgram.h"
#include "testsupport/TestCertificates.h"

#include <QFile>
#include <QLocalServer>
#include <QSettings>
#include <QtTest>

// The whole program in console mode, as a user on a headless box would drive it:
// the built-in demo page on loopback, SMTP alerts switched on through the setup
// commands, and a real mail server that receives the alert.
class MailAlertsEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void smtpAlert_arrivesAtRealServer();
    void localMailAlert_reachesSendmail();
    void loginOverStartTls_deliversAndKeepsThePasswordApart();
    void silentSessionBus_startsAndNotificationsSayWhy();

private:
    static QString foundList(const ConsoleProgram& program);
    // A sendmail stand-in first on PATH: it saves what it is given, or fails.
    static void addFakeSendmail(ConsoleProgram& program, const QTemporaryDir& bin, bool fails);
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

void MailAlertsEndToEndTest::smtpAlert_arrivesAtRealServer()
{
    AiosmtpdServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    ConsoleProgram program;
    QVERIFY(program.start({QStringLiteral("--demo")}));
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("wizard"));
    program.send(QStringLiteral("smtp server 127.0.0.1:%1").arg(server.port()));
    program.send(QStringLiteral("smtp to investor@example.net"));
    program.send(QStringLiteral("smtp from watcher@example.org"));
    program.send(QStringLiteral("smtp toggle"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: ON")));
    program.send(QStringLiteral("start"));
    // Said once the server has taken the mail, after the poll has gone on.
    QVERIFY(program.waitForMessage(QStringLiteral("poll: waiting for next cycle")));
    QVERIFY(program.waitForMessage(QStringLiteral("email: sent smtp")));

    QVERIFY(server.waitForMessages(1, 20000));
    const AiosmtpdServer::Message mail = server.messages().first();
    QCOMPARE(mail.mailFrom, QStringLiteral("watcher@example.org"));
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

void MailAlertsEndToEndTest::addFakeSendmail(ConsoleProgram& program, const QTemporaryDir& bin, bool fails)
{
    QFile script(bin.filePath(QStringLiteral("sendmail")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    if (fails)
        script.write("#!/bin/sh\ncat > /dev/null\necho 'mail hub unreachable' >&2\nexit 75\n");
    else
        script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1/args'\nenv > '%1/env'\ncat > '%1/message'\n")
                         .arg(bin.path())
                         .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    program.setEnvironmentValue(QStringLiteral("PATH"), bin.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
}

void MailAlertsEndToEndTest::localMailAlert_reachesSendmail()
{
    QTemporaryDir bin;
    ConsoleProgram program;
    addFakeSendmail(program, bin, false);
    QVERIFY(program.start({QStringLiteral("--demo")}));
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("mapi toggle")); // refused while logged off
    program.send(QStringLiteral("mapi to pager.42@pager.example"));
    program.send(QStringLiteral("mapi logon"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: logon OK")));
    program.send(QStringLiteral("mapi toggle"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: ON")));
    program.send(QStringLiteral("start"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: sent mapi")));
    QVERIFY(program.standardError().contains(
        QStringLiteral("You cannot toggle email to active until you are logged in.")));

    QFile message(bin.filePath(QStringLiteral("message")));
    QVERIFY(message.open(QIODevice::ReadOnly));
    const QByteArray sent = message.readAll();
    QVERIFY(sent.contains("To: pager.42@pager.example"));
    QVERIFY(sent.contains("Subject: IPO: "));
    QVERIFY(sent.contains(foundList(program).trimmed().toUtf8()));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

// A mail provider's way: port 587 style STARTTLS and a login. The test mail and an alert
// arrive; after a restart the password comes from the environment, the rest from the
// settings file, and the password is in no file and no output.
void MailAlertsEndToEndTest::loginOverStartTls_deliversAndKeepsThePasswordApart()
{
    TestCertificates certificates;
    QVERIFY2(certificates.generate(), qPrintable(certificates.errorString()));
    AiosmtpdServer server;
    AiosmtpdServer::Options options;
    options.tls = QStringLiteral("starttls");
    options.certificatePath = certificates.serverCertificatePath();
    options.keyPath = certificates.serverKeyPath();
    options.login = QStringLiteral("me@example.net:s3cret-app-pw");
    QVERIFY2(server.start(options), qPrintable(server.errorString()));
    QTemporaryDir config;
    QString everything;
    {
        ConsoleProgram program;
        program.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        program.setEnvironmentValue(QStringLiteral("SSL_CERT_FILE"), certificates.caPath());
        QVERIFY(program.start({QStringLiteral("--demo")}));
        for (const QString& command :
             {QStringLiteral("smtp server 127.0.0.1:%1").arg(server.port()), QStringLiteral("smtp security starttls"),
              QStringLiteral("smtp user me@example.net"), QStringLiteral("smtp password s3cret-app-pw"),
              QStringLiteral("smtp to investor@example.net"), QStringLiteral("smtp test")})
            program.send(command);
        QVERIFY(server.waitForMessages(1, 20000));
        program.send(QStringLiteral("smtp toggle"));
        program.send(QStringLiteral("start"));
        QVERIFY(server.waitForMessages(2, 20000));
        QVERIFY(program.waitForMessage(QStringLiteral("email: sent smtp")));
        program.send(QStringLiteral("exit"));
        QVERIFY(program.waitForExit());
        const QString errors = program.standardError();
        QVERIFY(errors.contains(QStringLiteral("offerwatch: smtp status: ")));
        everything += program.stdoutLines().join(u'\n') + errors;
    }
    QSettings stored(config.filePath(QStringLiteral("Offerwatch/Offerwatch.ini")), QSettings::IniFormat);
    QCOMPARE(stored.value(Setting::SmtpSecurity.key).toString(), QStringLiteral("starttls"));
    QCOMPARE(stored.value(Setting::SmtpUser.key).toString(), QStringLiteral("me@example.net"));

    ConsoleProgram again;
    again.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    again.setEnvironmentValue(QStringLiteral("SSL_CERT_FILE"), certificates.caPath());
    again.setEnvironmentValue(QStringLiteral("OFFERWATCH_SMTP_PASSWORD"), QStringLiteral("s3cret-app-pw"));
    // Programs the monitor starts get an environment without the password.
    QTemporaryDir bin;
    addFakeSendmail(again, bin, false);
    QVERIFY(again.start());
    // Alerts switched on do not stay on for the next run unless the user asked for that.
    QVERIFY(again.waitForMessage(QStringLiteral("email: OFF")));
    again.send(QStringLiteral("smtp test"));
    QVERIFY(server.waitForMessages(3, 20000));
    QVERIFY(again.waitForMessage(QStringLiteral("email: the SMTP password comes from OFFERWATCH_SMTP_PASSWORD")));
    // Nor can another process of the user read it from the running program's environment.
    QFile ownEnvironment(QStringLiteral("/proc/%1/environ").arg(again.process().processId()));
    QVERIFY(ownEnvironment.open(QIODevice::ReadOnly));
    everything += QString::fromUtf8(ownEnvironment.readAll());
    for (const QString& command : {QStringLiteral("mapi to x@example.net"), QStringLiteral("mapi logon"),
                                   QStringLiteral("mapi test"), QStringLiteral("exit")})
        again.send(command);
    QVERIFY(again.waitForMessage(QStringLiteral("email: test email sent")));
    QVERIFY(again.waitForExit());
    QFile childEnvironment(bin.filePath(QStringLiteral("env")));
    QVERIFY(childEnvironment.open(QIODevice::ReadOnly));
    everything += again.stdoutLines().join(u'\n') + again.standardError() + QString::fromUtf8(childEnvironment.readAll());
    QVERIFY(everything.contains(QStringLiteral("PATH=")));

    for (const AiosmtpdServer::Message& mail : server.messages()) {
        QVERIFY(mail.tls);
        QVERIFY(!mail.auth.isEmpty());
    }
    QFile settingsFile(stored.fileName());
    QVERIFY(settingsFile.open(QIODevice::ReadOnly));
    for (const QByteArray& text : {everything.toUtf8(), settingsFile.readAll()})
        QVERIFY2(!text.contains("s3cret"), "the password must not be shown or stored");
}

// A session bus that takes the connection and never answers holds up neither start-up
// nor the keyring of a login that is set up; notifications say why they fail, once.
void MailAlertsEndToEndTest::silentSessionBus_startsAndNotificationsSayWhy()
{
    QTemporaryDir dir;
    QLocalServer silent;
    QVERIFY(silent.listen(dir.filePath(QStringLiteral("bus"))));
    QSettings settings(dir.filePath(QStringLiteral("Offerwatch/Offerwatch.ini")), QSettings::IniFormat);
    settings.setValue(Setting::SmtpUser.key, QStringLiteral("me@example.net"));
    settings.sync();
    ConsoleProgram program;
    program.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    program.setEnvironmentValue(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                QStringLiteral("unix:path=") + silent.fullServerName());
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    QCOMPARE(program.messages().filter(QStringLiteral("main: Program Started")).size(), 1);
    program.send(QStringLiteral("notify test"));
    program.send(QStringLiteral("notify test"));
    QVERIFY(program.waitForMessage(QStringLiteral("notify: error, the session bus did not answer within 2 seconds")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
    QCOMPARE(program.messages().filter(QStringLiteral("notify: error")).size(), 1);
}

QTEST_GUILESS_MAIN(MailAlertsEndToEndTest)
#include "tst_mail_alerts_end_to_end.moc"
