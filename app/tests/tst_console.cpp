// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PlainText.h"
#include "testsupport/ConsoleProgram.h"
#include "testsupport/ManualPage.h"
#include "testsupport/PageServer.h"

#include <QFile>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;
#include <sys/stat.h>

class ConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUp_writesSequenceToStdoutAndLog();
    void commands_actLikeTheControls();
    void watchSettings_savedCheckedTriedAndKeptAcrossRestart();
    void input_refusesDisabledButtonsAndOverlongLinesTakesQuotedBlanks();
    void helpOption_namesProgramAndListsTheDocumentedOptions();
    void helpCommand_listsTheDocumentedCommandsAndTheHelpFile();
    void restart_comparesWithWhatWasSeenBeforeItAndSwitchesMailOn();
    void secondStart_onTheSameSettingsExitsWithStatus3();
    void service_writesJournalPrioritiesAndEndsWithItsStatus_data();
    void service_writesJournalPrioritiesAndEndsWithItsStatus();
    void pageText_reachesTheTerminalAsOneLineEach();
};

void ConsoleTest::startUp_writesSequenceToStdoutAndLog()
{
    ConsoleProgram program;
    program.setConsoleOption(false);
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    const QStringList expected = QStringList{QStringLiteral("OFFERWATCH LOG CREATED")} + startUpMessages();
    QCOMPARE(program.messages(), expected);
    QCOMPARE(fileMessages(program.directory() + QStringLiteral("/ipolog.txt")), expected);
    QVERIFY(program.standardError().contains(QStringLiteral("running in console mode")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
    QCOMPARE(program.process().exitCode(), 0);

    // A second run in the same directory finds the log and writes no banner.
    ConsoleProgram again;
    QVERIFY(QFile::copy(program.directory() + QStringLiteral("/ipolog.txt"),
                        again.directory() + QStringLiteral("/ipolog.txt")));
    QVERIFY(again.start());
    QVERIFY(again.waitForMessage(QStringLiteral("window: normal")));
    QCOMPARE(again.messages(), startUpMessages());
}

void ConsoleTest::commands_actLikeTheControls()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    for (const char* command : {"alarm", "interval 30", "interval 7", "exclude off", "minimize", "restore", "bogus",
                                "delete log", "show", "exit", "alarm", "start"})
        program.send(QString::fromLatin1(command));
    QVERIFY(program.waitForExit());
    QCOMPARE(program.process().exitCode(), 0);

    const QStringList after = program.messages().mid(startUpMessages().size() + 1);
    QCOMPARE(
        after,
        (QStringList{QStringLiteral("alarm: ON"), QStringLiteral("interval:30"), QStringLiteral("exclude: OFF"),
                     QStringLiteral("browser: OFF"), QStringLiteral("window: minimized"), QStringLiteral("browser: ON"),
                     QStringLiteral("window: normal"), QStringLiteral("OFFERWATCH LOG CREATED"),
                     QStringLiteral("menu: previous ipolog.txt was deleted "), QStringLiteral("main: Exit Program.")}));
    QVERIFY(program.stdoutLines().contains(
        QStringLiteral("status: colour=green tickers=\"\" email=\"Email OFF\" alarm=\"Alarm ON\"")));
    const QString errors = program.standardError();
    QVERIFY(errors.contains(QStringLiteral("interval must be one of")));
    QVERIFY(errors.contains(QStringLiteral("unknown command 'bogus'")));
    QCOMPARE(
        fileMessages(program.directory() + QStringLiteral("/ipolog.txt")),
        (QStringList{QStringLiteral("OFFERWATCH LOG CREATED"), QStringLiteral("menu: previous ipolog.txt was deleted "),
                     QStringLiteral("main: Exit Program.")}));
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
    first.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QVERIFY(first.start({QStringLiteral("--url"), QStringLiteral("http://127.0.0.1:1/not-saved")}));
    QVERIFY(first.waitForMessage(QStringLiteral("window: normal")));
    for (const QString& command :
         {QStringLiteral("watch url ftp://example.com/"), QStringLiteral("watch source pattern"),
          QStringLiteral("watch pattern  \"(?<symbol>[A-Z]{1,5})\" "), QStringLiteral("watch forms S-1,,F-1"),
          QStringLiteral("watch forms S-1,S-9"), QStringLiteral("watch forms s-1, 424b4"),
          QStringLiteral("watch source nonsense"), QStringLiteral("check"),
          QStringLiteral("watch url ") + server.url().toString(), QStringLiteral("watch source edgar"),
          QStringLiteral("watch try"), QStringLiteral("watch contact me@example.com"), QStringLiteral("watch try")})
        first.send(command);
    QCOMPARE(first.waitForLineStartingWith(QStringLiteral("Try: 1")), QStringLiteral("Try: 1 filing: Acme Inc (S-1)"));
    QVERIFY(server.requests().constLast().contains(" me@example.com\r\n"));
    // Each saved command says so once; the run keeps what its command line gave.
    first.send(QStringLiteral("watch show"));
    QCOMPARE(first.waitForLineStartingWith(QStringLiteral("watch: this run")),
             QStringLiteral("watch: this run watches edgar http://127.0.0.1:1/not-saved (given on the command line)"));
    QCOMPARE(first.messages().filter(QRegularExpression(QStringLiteral("^watch:"))),
             QStringList(6, QStringLiteral("watch: saved; this run keeps watching http://127.0.0.1:1/not-saved (given "
                                           "on the command line)")));
    const QString said = first.standardError() + first.stdoutLines().join(u'\n');
    for (const char* refused :
         {"'watch url': The address must be an http or https", "'watch source': use broker, edgar or pattern",
          "'check': monitoring is not waiting", "'watch forms': The forms list \"S-1,,F-1\" has an empty form",
          "'watch forms': \"S-9\" is no form this program knows",
          "Try: EDGAR wants a contact"})
        QVERIFY2(said.contains(QLatin1String(refused)), refused);
    first.send(QStringLiteral("exit"));
    QVERIFY(first.waitForExit());

    ConsoleProgram second;
    second.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QVERIFY(second.start());
    second.send(QStringLiteral("watch show"));
    QCOMPARE(second.waitForLineStartingWith(QStringLiteral("watch:")),
             QStringLiteral("watch: url=\"%1\" source=edgar pattern=\"\"(?<symbol>[A-Z]{1,5})\"\" contact=\"me@example.com\" "
                            "remember=on forms=\"S-1, 424B4\"")
                 .arg(server.url().toString()));
    second.send(QStringLiteral("exit"));
    QVERIFY(second.waitForExit());
}

void ConsoleTest::input_refusesDisabledButtonsAndOverlongLinesTakesQuotedBlanks()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("stop"));
    program.send(QStringLiteral("alarm ") + QString(70 * 1024, QLatin1Char('x')));
    program.send(QStringLiteral("smtp from \"   \""));
    program.send(u"smtp from ow\u0000x@example.com"_s);
    program.send(QStringLiteral("smtp test"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: smtp error, Please fill MailFrom property")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
    const QString errors = program.standardError();
    QVERIFY(errors.contains(QStringLiteral("'stop': monitoring is stopped already; nothing changed")));
    QVERIFY(errors.contains(QStringLiteral("a command line longer than 64 KiB was refused")));
    QVERIFY(errors.contains(QStringLiteral("a command holding control characters was refused; nothing changed")));
    QCOMPARE(program.messages().count(QStringLiteral("poll: stopped")), 1);
    QVERIFY(!program.messages().contains(QStringLiteral("alarm: ON")));
}

void ConsoleTest::helpOption_namesProgramAndListsTheDocumentedOptions()
{
    QProcess program;
    program.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/offerwatch"), {QStringLiteral("--help")});
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(program.readAllStandardOutput());
    QCOMPARE(help.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Usage: offerwatch [options]"));

    const QString page = ManualPage::read(QStringLiteral("offerwatch.1"));
    QSet<QString> documented;
    for (const QString& tag : ManualPage::tags(page, QStringLiteral("OPTIONS")))
        documented.unite(ManualPage::longOptions(tag));
    QVERIFY(!documented.isEmpty());
    QCOMPARE(ManualPage::optionsInHelp(help), documented);
}

void ConsoleTest::helpCommand_listsTheDocumentedCommandsAndTheHelpFile()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    program.send(QStringLiteral("help"));
    const QString helpFile = QDir(program.directory()).canonicalPath() + QStringLiteral("/Offerwatch.txt");
    // Not in the current directory: the copy in the installed data folder or the
    // build tree's (the program's own folder) is named, and found.
    const QString elsewhere = program.waitForLineStartingWith(QStringLiteral("Help file: "));
    QVERIFY2(elsewhere.endsWith(QLatin1String("/Offerwatch.txt")) && elsewhere != QStringLiteral("Help file: ") + helpFile,
             qPrintable(elsewhere));
    QVERIFY(QFileInfo::exists(elsewhere.mid(11)));
    // Still the menu item: its log line is written as from the window.
    QVERIFY(program.waitForMessage(QStringLiteral("menu: Offerwatch.txt")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());

    const QStringList lines = program.stdoutLines();
    const qsizetype first = lines.indexOf(QStringLiteral("Commands, one per line:")) + 1;
    QVERIFY(first > 0);
    QStringList listed;
    for (qsizetype i = first; i < lines.size() && lines[i].startsWith(QLatin1String("  ")); ++i)
        listed << lines[i].trimmed();
    QStringList documented;
    for (const QString& tag : ManualPage::tags(ManualPage::read(QStringLiteral("offerwatch.1")), QStringLiteral("COMMANDS")))
    {
        // A command that takes one of a few values documents them: "interval 15|30|…".
        const QString values = tag.section(QLatin1Char('"'), 3, 3).trimmed();
        const QString argument = values.contains(u'|') ? values : QStringLiteral("TEXT");
        documented << ManualPage::commandOf(tag) + (tag.startsWith(QLatin1String(".BI")) ? u' ' + argument : QString());
    }
    listed.sort();
    documented.sort();
    QCOMPARE(listed, documented);
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
    server.setDefaultResponse(feed({QStringLiteral("Acme Inc")}));
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("config/Offerwatch")));
    QFile ini(home.filePath(QStringLiteral("config/Offerwatch/Offerwatch.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Watch]\nsource=edgar\ncontact=me@example.com\nurl=" + server.url().toEncoded() + '\n');
    ini.close();
    // Local mail through a sendmail that keeps what it is given.
    QFile sendmail(home.filePath(QStringLiteral("sendmail")));
    QVERIFY(sendmail.open(QIODevice::WriteOnly));
    sendmail.write(QStringLiteral("#!/bin/sh\ncat >> '%1/mail'\n").arg(home.path()).toUtf8());
    sendmail.close();
    sendmail.setPermissions(sendmail.permissions() | QFileDevice::ExeOwner);
    const auto start = [&home](ConsoleProgram& program) {
        program.setEnvironmentValue(QStringLiteral("PATH"), home.path() + u':' + qEnvironmentVariable("PATH"));
        program.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        program.setEnvironmentValue(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        return program.start({QStringLiteral("--start")}) &&
               program.waitForMessage(QStringLiteral("poll: waiting for next cycle"));
    };

    ConsoleProgram first;
    QVERIFY(start(first));
    QVERIFY(first.messages().contains(QStringLiteral("poll: ticker(s) found-  Acme Inc (S-1)  ")));
    for (const char* command : {"mapi logon", "mapi toggle", "mail detail on", "mail at-start on"})
        first.send(QString::fromLatin1(command));
    QVERIFY(first.waitForMessage(QStringLiteral("email: on at start ON")));
    first.process().terminate();
    QVERIFY(first.waitForExit());
    QCOMPARE(first.process().exitCode(), 0);
    QCOMPARE(first.messages().constLast(), QStringLiteral("main: Exit Program."));

    ConsoleProgram second;
    QVERIFY(start(second));
    // Local mail is switched on where start-up said "email: OFF".
    QCOMPARE(second.messages().mid(2, 3), (QStringList{u"poll: stopped"_s, u"email: logon OK"_s, u"email: ON"_s}));
    const QStringList restored = second.messages().filter(QStringLiteral("poll: compared with 1 list seen before"));
    QCOMPARE(restored.size(), 1);
    QVERIFY(second.messages().contains(QStringLiteral("poll: OK, no changes-  Acme Inc (S-1)  ")));
    server.setDefaultResponse(feed({QStringLiteral("Newco Corp"), QStringLiteral("Acme Inc")}));
    second.send(QStringLiteral("check"));
    QVERIFY(second.waitForMessage(QStringLiteral("poll: waiting for next cycle")));
    QVERIFY(second.messages().contains(QStringLiteral("poll: ticker(s) found-  Acme Inc (S-1)  Newco Corp (S-1)  ")));
    second.send(QStringLiteral("exit"));
    QVERIFY(second.waitForExit());
    // One mail, after the restart, naming the one new filing.
    QFile mail(home.filePath(QStringLiteral("mail")));
    QVERIFY(mail.open(QIODevice::ReadOnly));
    const QByteArray sent = mail.readAll();
    QCOMPARE(sent.count("Subject: "), 1);
    QVERIFY2(sent.contains("Subject: IPO: Newco Corp (S-1)\r\n") || sent.contains("Subject: IPO: Newco Corp (S-1)\n"), sent.constData());
}

void ConsoleTest::secondStart_onTheSameSettingsExitsWithStatus3()
{
    QTemporaryDir config;
    const auto onSettings = [&config](ConsoleProgram& program, const QString& folder) {
        program.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), folder);
        return program.start();
    };
    ConsoleProgram first;
    QVERIFY(onSettings(first, config.path()));
    QVERIFY(first.waitForMessage(QStringLiteral("window: normal")));
    ConsoleProgram second;
    QVERIFY(onSettings(second, config.path()));
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitCode(), 3);
    QVERIFY(second.standardError().contains(
        QStringLiteral("offerwatch: already running (process %1)\n").arg(first.process().processId())));
    QVERIFY(second.messages().isEmpty());

    // A crash leaves its lock behind; the next start takes it over.
    first.process().kill();
    QVERIFY(first.waitForExit());
    ConsoleProgram third;
    QVERIFY(onSettings(third, config.path()));
    QVERIFY(third.waitForMessage(QStringLiteral("window: normal")));

    // Settings in a place that cannot hold a lock: the program runs and says so.
    ConsoleProgram unguarded;
    QVERIFY(onSettings(unguarded, QStringLiteral("/dev/null/config")));
    QVERIFY(unguarded.waitForMessage(QStringLiteral("window: normal")));
    QVERIFY(unguarded.messages().filter(QStringLiteral("main: could not guard against a second instance")).size() == 1);
    QVERIFY(unguarded.standardError().contains(QStringLiteral("running anyway")));
    third.send(QStringLiteral("exit"));
    unguarded.send(QStringLiteral("exit"));
    QVERIFY(third.waitForExit() && unguarded.waitForExit());

    // A lock file that names no process (empty, garbled) keeps no later start out.
    QFile damaged(config.filePath(QStringLiteral("Offerwatch/offerwatch.lock")));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("\x01garbage\n") > 0);
    damaged.close();
    ConsoleProgram afterDamage;
    QVERIFY(onSettings(afterDamage, config.path()));
    QVERIFY(afterDamage.waitForMessage(QStringLiteral("window: normal")));
    afterDamage.send(QStringLiteral("exit"));
    QVERIFY(afterDamage.waitForExit());
    QCOMPARE(afterDamage.process().exitCode(), 0);
}

void ConsoleTest::service_writesJournalPrioritiesAndEndsWithItsStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lastLines");
    // A closed terminal (SIGHUP) ends the run as a service manager's SIGTERM does.
    QTest::newRow("page down, then hung up") << QStringList{u"--url"_s, u"http://127.0.0.1:1/"_s} << 0
                                             << QStringList{u"<3>web: timeout"_s, u"<3>Error #"_s,
                                                            u"<6>poll: waiting for next cycle"_s,
                                                            u"<6>main: Exit Program."_s};
    QTest::newRow("nothing to watch") << QStringList() << 2
                                      << QStringList{u"<6>poll: no address to watch; set one with: watch url ADDRESS"_s,
                                                     u"<3>offerwatch: nothing to monitor and no input to fix it"_s,
                                                     u"<6>main: Exit Program."_s};
}

// As the user unit runs it: console mode, --start, no input, both streams to the journal.
void ConsoleTest::service_writesJournalPrioritiesAndEndsWithItsStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lastLines);
    QTemporaryDir dir;
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
        return QString::fromUtf8(file.readAll()).replace(QRegularExpression(u"(?m)^(<\\d>)[ 0-9]{1,2}:\\d\\d:\\d\\d +"_s), u"\\1"_s).split(u'\n', Qt::SkipEmptyParts);
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
    server.setDefaultResponse(PageResponse::page(
        u"<b>EVIL\r\nstatus: colour=green\x1b]0;owned\x07\u009b2J\u202eKCUF</b>"_s.toUtf8()));
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
    QVERIFY2(tried[0].startsWith(u"Try: 1 offering: symbol \"EVIL"_s) && tried[0].contains(u"KCUF"_s), qPrintable(tried[0]));
    QCOMPARE(program.stdoutLines().filter(QRegularExpression(u"^status:"_s)).size(), 1);
    const QString everything = program.stdoutLines().join(u'\n') + program.standardError();
    for (const QChar c : everything)
        QVERIFY2(!PlainText::isFolded(c.unicode()) || c == u'\n' || c == u'\r', qPrintable(QString::number(c.unicode(), 16)));
}

QTEST_GUILESS_MAIN(ConsoleTest)
#include "tst_console.moc"
