// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/ConsoleProgram.h"
#include "testsupport/TestCertificates.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;

// The whole program in console mode, as a user on a headless box would drive it:
// the built-in demo page on loopback, SMTP alerts switched on through the setup
// commands, and a real mail server that receives the alert.
class MailAlertsEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loginOverStartTls_deliversAndKeepsThePasswordApart();
};

// A mail provider's way: port 587 style STARTTLS and a login, the password first from the
// environment, then typed. The test mails and an alert arrive, and the password is in no
// file, no output, not in the program's own environment nor in that of the programs it starts.
void MailAlertsEndToEndTest::loginOverStartTls_deliversAndKeepsThePasswordApart()
{
    TestCertificates certificates;
    QVERIFY2(certificates.generate(), qPrintable(certificates.errorString()));
    AiosmtpdServer server;
    AiosmtpdServer::Options options;
    options.tls = u"starttls"_s;
    options.certificatePath = certificates.serverCertificatePath();
    options.keyPath = certificates.serverKeyPath();
    // The server takes mail only over STARTTLS and after this login.
    options.login = u"me@example.net:s3cret-app-pw"_s;
    QVERIFY2(server.start(options), qPrintable(server.errorString()));
    QTemporaryDir config;
    ConsoleProgram program;
    program.setEnvironmentValue(u"XDG_CONFIG_HOME"_s, config.path());
    program.setEnvironmentValue(u"SSL_CERT_FILE"_s, certificates.caPath());
    program.setEnvironmentValue(u"OFFERWATCH_SMTP_PASSWORD"_s, u"s3cret-app-pw"_s);
    // A sendmail stand-in first on PATH, for local mail: it saves the environment it is given.
    QTemporaryDir bin;
    QFile script(bin.filePath(u"sendmail"_s));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(u"#!/bin/sh\nenv > '%1/env'\ncat > /dev/null\n"_s.arg(bin.path()).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    program.setEnvironmentValue(u"PATH"_s, bin.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
    QVERIFY(program.start({u"--demo"_s}));
    for (const QString& command : {u"smtp server 127.0.0.1:%1"_s.arg(server.port()), u"smtp security starttls"_s,
                                   u"smtp user me@example.net"_s, u"smtp to investor@example.net"_s, u"smtp test"_s})
        program.send(command);
    QVERIFY(server.waitForMessages(1, 20000));
    QVERIFY(program.waitForMessage(u"email: the SMTP password comes from OFFERWATCH_SMTP_PASSWORD"_s));
    QFile ownEnvironment(u"/proc/%1/environ"_s.arg(program.process().processId()));
    QVERIFY(ownEnvironment.open(QIODevice::ReadOnly));
    QString everything = QString::fromUtf8(ownEnvironment.readAll());
    for (const QString& command : {u"smtp password s3cret-app-pw"_s, u"smtp toggle"_s, u"start"_s})
        program.send(command);
    QVERIFY(server.waitForMessages(2, 20000));
    for (const QString& command : {u"mapi to x@example.net"_s, u"mapi logon"_s, u"mapi test"_s, u"exit"_s})
        program.send(command);
    QVERIFY(program.waitForMessage(u"email: test email sent"_s));
    QVERIFY(program.waitForExit());
    QFile childEnvironment(bin.filePath(u"env"_s));
    QVERIFY(childEnvironment.open(QIODevice::ReadOnly));
    everything +=
        program.stdoutLines().join(u'\n') + program.standardError() + QString::fromUtf8(childEnvironment.readAll());
    QVERIFY(program.standardError().contains(u"offerwatch: smtp status: "_s));

    QFile settingsFile(config.filePath(u"Offerwatch/Offerwatch.ini"_s));
    QVERIFY(settingsFile.open(QIODevice::ReadOnly));
    for (const QByteArray& text : {everything.toUtf8(), settingsFile.readAll()})
        QVERIFY2(!text.contains("s3cret"), "the password must not be shown or stored");
}

QTEST_GUILESS_MAIN(MailAlertsEndToEndTest)
#include "tst_mail_alerts_end_to_end.moc"
