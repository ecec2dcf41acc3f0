// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PlainText.h"
#include "testsupport/ConsoleProgram.h"
#include "testsupport/PageServer.h"

#include <QFile>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;
#include <sys/stat.h>

class ConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_actLikeTheControls();
    void watchSettings_savedCheckedTriedAndKeptAcrossRestart();
    void input_refusesDisabledButtonsAndOverlongLinesTakesQuotedBlanks();
    void restart_comparesWithWhatWasSeenBeforeItAndSwitchesMailOn();
    void secondStart_onTheSameSettingsExitsWithStatus3();
    void service_writesJournalPrioritiesAndEndsWithItsStatus_data();
    void service_writesJournalPrioritiesAndEndsWithItsStatus();
    void pageText_reachesTheTerminalAsOneLineEach();
};

void ConsoleTest::commands_actLikeTheControls()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(u"window: normal"_s));
    for (const char* command : {"alarm", "interval 30", "interval 7", "exclude off", "minimize", "restore", "bogus",
                                "delete log", "show", "exit", "alarm", "start"})
        program.send(QString::fromLatin1(command));
    QVERIFY(program.waitForExit());
    QCOMPARE(program.process().exitCode(), 0);

    const QStringList after = program.messages().mid(startUpMessages().size() + 1);
    QCOMPARE(after,
             (QStringList{u"alarm: ON"_s, u"interval:30"_s, u"exclude: OFF"_s, u"browser: OFF"_s,
                          u"window: minimized"_s, u"browser: ON"_s, u"window: normal"_s, u"OFFERWATCH LOG CREATED"_s,
                          u"menu: previous ipolog.txt was deleted "_s, u"main: Exit Program."_s}));
    QVERIFY(
        program.stdoutLines().contains(u"status: colour=green tickers=\"\" email=\"Email OFF\" alarm=\"Alarm ON\""_s));
    const QString errors = program.standardError();
    QVERIFY(errors.contains(u"interval must be one of"_s));
    QVERIFY(errors.contains(u"unknown command 'bogus'"_s));
    // The log of a console run is written in its current folder; what it holds is the action log's test.
    QVERIFY(QFileInfo(program.directory() + u"/ipolog.txt"_s).size() > 0);
}

void ConsoleTest::watchSettings_savedCheckedTriedAndKeptAcrossRestart()
{
    PageServer server;
    QVERIFY(server.listen());
    server.setDefaultResponse(PageResponse::page(
        "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>S-1 - Acme Inc "
        "(0000000001) (Filer)</title><category term=\"S-1\"/>"
        "<id>urn:tag:sec.gov,2008:accession-number=0000000001-26-000001</id></entry></feed>",
        "application/atom+xml"));
    QTemporaryDir config;
    ConsoleProgram first;
    first.setEnvironmentValue(u"XDG_CONFIG_HOME"_s, config.path());
    QVERIFY(first.start({u"--url"_s, u"http://127.0.0.1:1/not-saved"_s}));
    QVERIFY(first.waitForMessage(u"window: normal"_s));
    for (const QString& command :
         {u"watch url ftp://example.com/"_s, u"watch source pattern"_s, u"watch pattern  \"(?<symbol>[A-Z]{1,5})\" "_s,
          u"watch forms S-1,,F-1"_s, u"watch forms S-1,S-9"_s, u"watch forms s-1, 424b4"_s, u"watch source nonsense"_s,
          u"check"_s, u"watch url "_s + server.url().toString(), u"watch source edgar"_s, u"watch try"_s,
          u"watch contact me@example.com"_s, u"watch try"_s})
        first.send(command);
    QCOMPARE(first.waitForLineStartingWith(u"Try: 1"_s), u"Try: 1 filing: Acme Inc (S-1)"_s);
    QVERIFY(server.requests().constLast().contains(" me@example.com\r\n"));
    // Each saved command says so once; the run keeps what its command line gave.
    first.send(u"watch show"_s);
    QCOMPARE(first.waitForLineStartingWith(u"watch: this run"_s),
             u"watch: this run watches edgar http://127.0.0.1:1/not-saved (given on the command line)"_s);
    QCOMPARE(first.messages().filter(QRegularExpression(u"^watch:"_s)),
             QStringList(6, QStringLiteral("watch: saved; this run keeps watching http://127.0.0.1:1/not-saved (given "
                                           "on the command line)")));
    const QString said = first.standardError() + first.stdoutLines().join(u'\n');
    for (const char* refused :
         {"'watch url': The address must be an http or https", "'watch source': use broker, edgar or pattern",
          "'check': monitoring is not waiting", "'watch forms': The forms list \"S-1,,F-1\" has an empty form",
          "'watch forms': \"S-9\" is no form this program knows", "Try: EDGAR wants a contact"})
        QVERIFY2(said.contains(QLatin1String(refused)), refused);
    first.send(u"exit"_s);
    QVERIFY(first.waitForExit());

    ConsoleProgram second;
    second.setEnvironmentValue(u"XDG_CONFIG_HOME"_s, config.path());
    QVERIFY(second.start());
    second.send(u"watch show"_s);
    QCOMPARE(second.waitForLineStartingWith(u"watch:"_s),
             QStringLiteral(
                 "watch: url=\"%1\" source=edgar pattern=\"\"(?<symbol>[A-Z]{1,5})\"\" contact=\"me@example.com\" "
                 "remember=on forms=\"S-1, 424B4\"")
                 .arg(server.url().toString()));
    second.send(u"exit"_s);
    QVERIFY(second.waitForExit());
}

void ConsoleTest::input_refusesDisabledButtonsAndOverlongLinesTakesQuotedBlanks()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(u"window: normal"_s));
    program.send(u"stop"_s);
    program.send(u"alarm "_s + QString(70 * 1024, QLatin1Char('x')));
    program.send(u"smtp from \"   \""_s);
    program.send(u"smtp from ow\u0000x@example.com"_s);
    program.send(u"smtp test"_s);
    QVERIFY(program.waitForMessage(u"email: smtp error, Please fill MailFrom property"_s));
    program.send(u"exit"_s);
    QVERIFY(program.waitForExit());
    const QString errors = program.standardError();
    QVERIFY(errors.contains(u"'stop': monitoring is stopped already; nothing changed"_s));
    QVERIFY(errors.contains(u"a command line longer than 64 KiB was refused"_s));
    QVERIFY(errors.contains(u"a command holding control characters was refused; nothing changed"_s));
    QCOMPARE(program.messages().count(u"poll: stopped"_s), 1);
    QVERIFY(!program.messages().contains(u"alarm: ON"_s));
}

void ConsoleTest::restart_comparesWithWhatWasSeenBeforeItAndSwitchesMailOn()
{
    const auto feed = [](const QStringList& companies) {
        QByteArray xml = "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">";
        for (const QString& company : companies)
            xml += QStringLiteral("<entry><title>S-1 - %1 (%2) (Filer)</title><category term=\"S-1\"/>"
                                  "<id>urn:tag:sec.gov,2008:accession-number=%2-26-000001</id></entry>")
                       .arg(company)
                       .arg(company.size(), 10, 10, QLatin1Char('0'))
                       .toUtf8();
        return PageResponse::page(xml + "</feed>", "application/atom+xml");
    };
    PageServer server;
    QVERIFY(server.listen());
    server.setDefaultResponse(feed({u"Acme Inc"_s}));
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(u"config/Offerwatch"_s));
    QFile ini(home.filePath(u"config/Offerwatch/Offerwatch.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Watch]\nsource=edgar\ncontact=me@example.com\nurl=" + server.url().toEncoded() + '\n');
    ini.close();
    // Local mail through a sendmail that keeps what it is given.
    QFile sendmail(home.filePath(u"sendmail"_s));
    QVERIFY(sendmail.open(QIODevice::WriteOnly));
    sendmail.write(u"#!/bin/sh\ncat >> '%1/mail'\n"_s.arg(home.path()).toUtf8());
    sendmail.close();
    sendmail.setPermissions(sendmail.permissions() | QFileDevice::ExeOwner);
    const auto start = [&home](ConsoleProgram& program) {
        program.setEnvironmentValue(u"PATH"_s, home.path() + u':' + qEnvironmentVariable("PATH"));
        program.setEnvironmentValue(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        program.setEnvironmentValue(u"XDG_STATE_HOME"_s, home.filePath(u"state"_s));
        return program.start({u"--start"_s}) && program.waitForMessage(u"poll: waiting for next cycle"_s);
    };

    ConsoleProgram first;
    QVERIFY(start(first));
    QVERIFY(first.messages().contains(u"poll: ticker(s) found-  Acme Inc (S-1)  "_s));
    for (const char* command : {"mapi logon", "mapi toggle", "mail detail on", "mail at-start on"})
        first.send(QString::fromLatin1(command));
    QVERIFY(first.waitForMessage(u"email: on at start ON"_s));
    first.process().terminate();
    QVERIFY(first.waitForExit());
    QCOMPARE(first.process().exitCode(), 0);
    QCOMPARE(first.messages().constLast(), u"main: Exit Program."_s);

    ConsoleProgram second;
    QVERIFY(start(second));
    // Local mail is switched on where start-up said "email: OFF".
    QCOMPARE(second.messages().mid(2, 3), (QStringList{u"poll: stopped"_s, u"email: logon OK"_s, u"email: ON"_s}));
    const QStringList restored = second.messages().filter(u"poll: compared with 1 list seen before"_s);
    QCOMPARE(restored.size(), 1);
    QVERIFY(second.messages().contains(u"poll: OK, no changes-  Acme Inc (S-1)  "_s));
    server.setDefaultResponse(feed({u"Newco Corp"_s, u"Acme Inc"_s}));
    second.send(u"check"_s);
    QVERIFY(second.waitForMessage(u"poll: waiting for next cycle"_s));
    QVERIFY(second.messages().contains(u"poll: ticker(s) found-  Acme Inc (S-1)  Newco Corp (S-1)  "_s));
    second.send(u"exit"_s);
    QVERIFY(second.waitForExit());
    // One mail, after the restart, naming the one new filing.
    QFile mail(home.filePath(u"mail"_s));
    QVERIFY(mail.open(QIODevice::ReadOnly));
    const QByteArray sent = mail.readAll();
    QCOMPARE(sent.count("Subject: "), 1);
    QVERIFY2(sent.contains("Subject: IPO: Newco Corp (S-1)\r\n") || sent.contains("Subject: IPO: Newco Corp (S-1)\n"),
             sent.constData());
}

void ConsoleTest::secondStart_onTheSameSettingsExitsWithStatus3()
{
    QTemporaryDir config;
    const auto onSettings = [&config](ConsoleProgram& program, const QString& folder) {
        program.setEnvironmentValue(u"XDG_CONFIG_HOME"_s, folder);
        return program.start();
    };
    ConsoleProgram first;
    QVERIFY(onSettings(first, config.path()));
    QVERIFY(first.waitForMessage(u"window: normal"_s));
    ConsoleProgram second;
    QVERIFY(onSettings(second, config.path()));
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitCode(), 3);
    QVERIFY(second.standardError().contains(
        u"offerwatch: already running (process %1)\n"_s.arg(first.process().processId())));
    QVERIFY(second.messages().isEmpty());

    // A crash leaves its lock behind; the next start takes it over.
    first.process().kill();
    QVERIFY(first.waitForExit());
    ConsoleProgram third;
    QVERIFY(onSettings(third, config.path()));
    QVERIFY(third.waitForMessage(u"window: normal"_s));

    third.send(u"exit"_s);
    QVERIFY(third.waitForExit());

    // A lock file that names no process (empty, garbled) keeps no later start out.
    QFile damaged(config.filePath(u"Offerwatch/offerwatch.lock"_s));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("\x01garbage\n") > 0);
    damaged.close();
    ConsoleProgram afterDamage;
    QVERIFY(onSettings(afterDamage, config.path()));
    QVERIFY(afterDamage.waitForMessage(u"window: normal"_s));
    afterDamage.send(u"exit"_s);
    QVERIFY(afterDamage.waitForExit());
    QCOMPARE(afterDamage.process().exitCode(), 0);
}

void ConsoleTest::service_writesJournalPrioritiesAndEndsWithItsStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lastLines");
    // A closed terminal (SIGHUP) ends the run as a service manager's SIGTERM does.
    QTest::newRow("page down, then hung up")
        << QStringList{u"--url"_s, u"http://127.0.0.1:1/"_s} << 0
        << QStringList{u"<3>web: timeout"_s, u"<3>Error #"_s, u"<6>poll: waiting for next cycle"_s,
                       u"<6>main: Exit Program."_s};
    QTest::newRow("nothing to watch") << QStringList() << 2
                                      << QStringList{u"<6>poll: no address to watch; set one with: watch url ADDRESS"_s,
                                                     u"<3>offerwatch: nothing to monitor and no input to fix it"_s,
                                                     u"<6>main: Exit Program."_s};
    // A page's words reach the journal as information, whatever they say. PAGE is a page naming an error.
    QTest::newRow("an offering named like an error")
        << QStringList{u"--url"_s, u"PAGE"_s} << 0
        << QStringList{u"<6>poll: ticker(s) found-  web: timeout Error # 1  "_s, u"<6>poll: new- web: timeout"_s,
                       u"<6>poll: waiting for next cycle"_s, u"<6>main: Exit Program."_s};
}

// As the user unit runs it: console mode, --start, no input, both streams to the journal.
void ConsoleTest::service_writesJournalPrioritiesAndEndsWithItsStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lastLines);
    QTemporaryDir dir;
    PageServer page;
    page.setDefaultResponse(PageResponse::page("<b>web: timeout Error # 1</b>"));
    QVERIFY(page.listen() && QDir(dir.path()).mkpath(u"config/Offerwatch"_s));
    QFile ini(dir.filePath(u"config/Offerwatch/Offerwatch.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly) &&
            ini.write("[Watch]\nsource=pattern\npattern=<b>(?<symbol>[^<]+)</b>\n") > 0);
    ini.close();
    arguments.replaceInStrings(u"PAGE"_s, page.url().toString());
    const QString journal = dir.filePath(u"journal"_s);
    QFile(journal).open(QIODevice::WriteOnly);
    struct stat info = {};
    QCOMPARE(::stat(QFile::encodeName(journal).constData(), &info), 0);
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"JOURNAL_STREAM"_s, u"%1:%2"_s.arg(info.st_dev).arg(info.st_ino));
    env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
    env.insert(u"XDG_STATE_HOME"_s, dir.filePath(u"state"_s));
    service.setProcessEnvironment(env);
    service.setWorkingDirectory(dir.path());
    service.setStandardInputFile(QProcess::nullDevice());
    service.setStandardOutputFile(journal, QIODevice::Append);
    service.setStandardErrorFile(journal, QIODevice::Append);
    service.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + u"/offerwatch"_s,
                  QStringList{u"--console"_s, u"--start"_s} + arguments);
    const auto written = [&journal] {
        QFile file(journal);
        file.open(QIODevice::ReadOnly);
        // The time of day goes; the priority stays at the front.
        return QString::fromUtf8(file.readAll())
            .replace(QRegularExpression(u"(?m)^(<\\d>)[ 0-9]{1,2}:\\d\\d:\\d\\d +"_s), u"\\1"_s)
            .split(u'\n', Qt::SkipEmptyParts);
    };
    if (status == 0) {
        QTRY_VERIFY_WITH_TIMEOUT(written().contains(u"<6>poll: waiting for next cycle"_s), 15000);
        ::kill(static_cast<pid_t>(service.processId()), SIGHUP);
    }
    QVERIFY(service.waitForFinished(15000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), status);
    const QStringList lines = written();
    for (const QString& line : lines)
        QVERIFY2(QRegularExpression(u"^<[346]>"_s).match(line).hasMatch(), qPrintable(line));
    const QStringList tail = lines.mid(lines.size() - lastLines.size());
    for (qsizetype i = 0; i < lastLines.size(); ++i)
        QVERIFY2(tail[i].startsWith(lastLines[i]), qPrintable(tail.join(u'\n')));
}

void ConsoleTest::pageText_reachesTheTerminalAsOneLineEach()
{
    PageServer server;
    QVERIFY(server.listen());
    server.setDefaultResponse(
        PageResponse::page(u"<b>EVIL\r\nstatus: colour=green\x1b]0;owned\x07\u009b2J\u202eKCUF</b>"_s.toUtf8()));
    ConsoleProgram program;
    QVERIFY(program.start());
    for (const QString& command : {u"watch pattern <b>(?<symbol>[^<]+)</b>"_s, u"watch source pattern"_s,
                                   u"watch url "_s + server.url().toString(), u"watch try"_s, u"start"_s})
        program.send(command);
    QVERIFY(program.waitForMessage(u"poll: waiting for next cycle"_s));
    program.send(u"show"_s);
    QVERIFY(!program.waitForLineStartingWith(u"status: colour=darkred"_s).isEmpty());
    program.send(u"exit"_s);
    QVERIFY(program.waitForExit());
    const QStringList tried = program.stdoutLines().filter(u"Try: "_s);
    QCOMPARE(tried.size(), 1);
    QVERIFY2(tried[0].startsWith(u"Try: 1 offering: symbol \"EVIL"_s) && tried[0].contains(u"KCUF"_s),
             qPrintable(tried[0]));
    QCOMPARE(program.stdoutLines().filter(QRegularExpression(u"^status:"_s)).size(), 1);
    const QString everything = program.stdoutLines().join(u'\n') + program.standardError();
    for (const QChar c : everything)
        QVERIFY2(!PlainText::isFolded(c.unicode()) || c == u'\n' || c == u'\r',
                 qPrintable(QString::number(c.unicode(), 16)));
}

QTEST_GUILESS_MAIN(ConsoleTest)
#include "tst_console.moc"
