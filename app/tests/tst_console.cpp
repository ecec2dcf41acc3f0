#include "testsupport/ConsoleProgram.h"
#include "testsupport/ManualPage.h"
#include "testsupport/PageServer.h"

#include <QFile>
#include <QtTest>

#include <csignal>

class ConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUp_writesSequenceToStdoutAndLog();
    void commands_actLikeTheControls();
    void terminationSignal_runsNormalShutDown();
    void demo_showsFoundNoChangesAndExcludeClosed();
    void unreachablePage_isLoggedAndProgramKeepsRunning();
    void watchSettings_savedCheckedTriedAndKeptAcrossRestart();
    void input_refusesDisabledButtonsAndOverlongLinesTakesQuotedBlanks();
    void helpOption_namesProgramAndListsTheDocumentedOptions();
    void helpCommand_listsTheDocumentedCommandsAndTheHelpFile();
};

namespace {
// Presses START and waits until that cycle has finished; returns its report line.
QString runCycle(ConsoleProgram& program)
{
    const qsizetype before = program.messages().size();
    program.send(QStringLiteral("start"));
    if (!program.waitForMessage(QStringLiteral("poll: waiting for next cycle")))
        return {};
    program.send(QStringLiteral("stop"));
    if (!program.waitForMessage(QStringLiteral("poll: stopped")))
        return {};
    const QStringList cycle = program.messages().mid(before);
    return cycle.size() > 1 ? cycle.at(1) : QString();
}
} // namespace

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

void ConsoleTest::terminationSignal_runsNormalShutDown()
{
    ConsoleProgram program;
    QVERIFY(program.start());
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    ::kill(static_cast<pid_t>(program.process().processId()), SIGTERM);
    QVERIFY(program.waitForMessage(QStringLiteral("main: Exit Program.")));
    QVERIFY(program.waitForExit());
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
}

void ConsoleTest::demo_showsFoundNoChangesAndExcludeClosed()
{
    ConsoleProgram program;
    QVERIFY(program.start({QStringLiteral("--demo")}));
    QVERIFY(program.waitForMessage(QStringLiteral("window: normal")));
    const QStringList reports{runCycle(program), runCycle(program), runCycle(program), runCycle(program),
                              runCycle(program)};
    const QStringList kinds{QStringLiteral("poll: ticker(s) found- "), QStringLiteral("poll: OK, no changes- "),
                            QStringLiteral("poll: ticker(s) found- "), QStringLiteral("poll: OK, no changes- "),
                            QStringLiteral("poll: OK, no changes- ")};
    for (int i = 0; i < kinds.size(); ++i)
        QVERIFY2(reports[i].startsWith(kinds[i]),
                 qPrintable(QStringLiteral("cycle %1: %2").arg(i + 1).arg(reports[i])));
    // The fourth page closes an offering and the fifth drops one: news only without exclude-closed.
    QVERIFY(reports[3].contains(QStringLiteral("(closed)")));
    QVERIFY(reports[4].size() < reports[3].size());
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

void ConsoleTest::unreachablePage_isLoggedAndProgramKeepsRunning()
{
    ConsoleProgram program;
    QVERIFY(
        program.start({QStringLiteral("--url"), QStringLiteral("https://127.0.0.1:1/"), QStringLiteral("--start")}));
    QVERIFY(program.waitForMessage(QStringLiteral("poll: started")));
    QVERIFY(program.waitForMessage(QStringLiteral("web: timeout")));
    QVERIFY(program.waitForMessage(QStringLiteral("poll: waiting for next cycle")));
    const QStringList messages = program.messages();
    const QString detail = messages.at(messages.indexOf(QStringLiteral("web: timeout")) + 1);
    QVERIFY2(detail.startsWith(QStringLiteral("Error # ")) && detail.size() > 10, qPrintable(detail));
    program.send(QStringLiteral("show"));
    QCOMPARE(program.waitForLineStartingWith(QStringLiteral("status:")),
             QStringLiteral("status: colour=orange tickers=\"\" email=\"Email OFF\" alarm=\"Alarm OFF\""));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

void ConsoleTest::watchSettings_savedCheckedTriedAndKeptAcrossRestart()
{
    PageServer server;
    QVERIFY(server.listen());
    server.setDefaultResponse(PageResponse::page(
        "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>S-1 - Acme Inc "
        "(0000000001) (Filer)</title><category term=\"S-1\"/></entry></feed>",
        "application/atom+xml"));
    QTemporaryDir config;
    ConsoleProgram first;
    first.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QVERIFY(first.start({QStringLiteral("--url"), QStringLiteral("http://127.0.0.1:1/not-saved")}));
    QVERIFY(first.waitForMessage(QStringLiteral("window: normal")));
    for (const QString& command :
         {QStringLiteral("watch url ftp://example.com/"), QStringLiteral("watch source pattern"),
          QStringLiteral("watch source nonsense"), QStringLiteral("check"),
          QStringLiteral("watch url ") + server.url().toString(), QStringLiteral("watch source edgar"),
          QStringLiteral("watch try"), QStringLiteral("watch contact me@example.com"), QStringLiteral("watch try")})
        first.send(command);
    QCOMPARE(first.waitForLineStartingWith(QStringLiteral("Try: 1")), QStringLiteral("Try: 1 filing: Acme Inc (S-1)"));
    QVERIFY(server.requests().constLast().contains(" me@example.com\r\n"));
    const QString said = first.standardError() + first.stdoutLines().join(u'\n');
    for (const char* refused :
         {"'watch url': The address must be an http or https", "'watch source': A pattern source needs",
          "'watch source': use broker, edgar or pattern", "'check': monitoring is not waiting",
          "Try: EDGAR wants a contact"})
        QVERIFY2(said.contains(QLatin1String(refused)), refused);
    first.send(QStringLiteral("exit"));
    QVERIFY(first.waitForExit());

    ConsoleProgram second;
    second.setEnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QVERIFY(second.start());
    second.send(QStringLiteral("watch show"));
    QCOMPARE(second.waitForLineStartingWith(QStringLiteral("watch:")),
             QStringLiteral("watch: url=\"%1\" source=edgar pattern=\"\" contact=\"me@example.com\"")
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
    program.send(QStringLiteral("smtp test"));
    QVERIFY(program.waitForMessage(QStringLiteral("email: smtp error, Please fill MailFrom property")));
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
    const QString errors = program.standardError();
    QVERIFY(errors.contains(QStringLiteral("'stop': monitoring is stopped already; nothing changed")));
    QVERIFY(errors.contains(QStringLiteral("a command line longer than 64 KiB was refused")));
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

    const QStringList lines = program.stdoutLines();
    const qsizetype first = lines.indexOf(QStringLiteral("Commands, one per line:")) + 1;
    QVERIFY(first > 0);
    QStringList listed;
    for (qsizetype i = first; i < lines.size() && lines[i].startsWith(QLatin1String("  ")); ++i)
        listed << lines[i].trimmed();
    QStringList documented;
    for (const QString& tag : ManualPage::tags(ManualPage::read(QStringLiteral("offerwatch.1")), QStringLiteral("COMMANDS")))
        documented << ManualPage::commandOf(tag) + (tag.startsWith(QLatin1String(".BI")) ? QStringLiteral(" TEXT") : QString());
    listed.sort();
    documented.sort();
    QCOMPARE(listed, documented);

    QFile written(helpFile);
    QVERIFY(written.open(QIODevice::WriteOnly));
    written.close();
    program.send(QStringLiteral("help"));
    QVERIFY(program.waitForMessage(QStringLiteral("menu: Offerwatch.txt")));
    QCOMPARE(program.stdoutLines().filter(QStringLiteral("Help file: ")).last(), QStringLiteral("Help file: ") + helpFile);
    program.send(QStringLiteral("exit"));
    QVERIFY(program.waitForExit());
}

QTEST_GUILESS_MAIN(ConsoleTest)
#include "tst_console.moc"
