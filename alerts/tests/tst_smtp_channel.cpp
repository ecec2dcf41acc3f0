// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/AlertDispatch.h"
#include "alerts/MailSettings.h"
#include "alerts/MapiChannel.h"
#include "alerts/SmtpChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"
#include "platform/SoundPlayer.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/LogLines.h"
#include "testsupport/MemorySecretStore.h"
#include "testsupport/RecordingPrompt.h"
#include "testsupport/ScratchSettings.h"

#include <QtTest>

namespace {
Alert tickersAlert(const QString& list)
{
    return {Alert::TickersSubject, list, {}, Alert::entriesOf(list), {}};
}

class ScriptedSound final : public SoundPlayer {
public:
    bool play(const QString& bareName) override
    {
        played << bareName;
        return starts;
    }
    QString whyNotStarted() const override { return why; }
    bool starts = true;
    QString why;
    QStringList played;
};
} // namespace

class SmtpChannelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void load_fillsBoxesFromStoreWithPlaceholders();
    void settings_writtenOnlyAtUnloadAndEmptyStaysEmpty();
    void serverBox_splitsHostAndPort_data();
    void serverBox_splitsHostAndPort();
    void onOff_switchesChannelAndMainCaption();
    void test_refusedWithoutRecipientDisablesOnOffUntilReload();
    void blankRecipient_isReportedByControlAsSmtpError();
    void missingComponent_isAClearErrorAndNothingIsSent();
    void dispatch_choosesChannelByExactMailSystem_data();
    void dispatch_choosesChannelByExactMailSystem();
    void dispatch_sendsQuotedListWithFallbackSender();
    void alarm_failureTurnsOrangeAndLogsErrorZero();
    void namingNewOfferings_changesSubjectAndFirstLineOnlyWhenOn();
    void alertsInARow_eachGoOut();
    void keyringAnswersAfterTheChannelIsGone_areIgnored();
    void password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting_data();
    void password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting();

private:
    QStringList messages() const { return screenMessages(*m_log->screen()); }
    // A server that takes every mail, set as the SMTP window's server.
    bool serveHappily(FakeSmtpServer& server)
    {
        server.setScript(FakeSmtpServer::happyScript());
        if (!server.listen())
            return false;
        m_settings->setValue(MailSettings::SmtpGateway, QStringLiteral("127.0.0.1:%1").arg(server.port()));
        return true;
    }

    QTemporaryDir m_config;
    FakeClock m_clock;
    RunState m_state;
    std::unique_ptr<MainPanel> m_panel;
    std::unique_ptr<ActionLog> m_log;
    RecordingPrompt m_prompt;
    ScratchSettings m_settings;
    MemorySecretStore m_secrets;
    ScriptedSound m_sound;
    std::unique_ptr<SmtpChannel> m_channel;
    // Without a session, so a local-mail alert fails and says so.
    std::unique_ptr<MapiChannel> m_mapi;
    std::unique_ptr<AlertDispatch> m_alerts;
};

void SmtpChannelTest::init()
{
    // A component registry of the test's own, so the control comes from the library beside it.
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_state = RunState();
    m_settings.reset();
    m_prompt.boxes.clear();
    m_sound = ScriptedSound();
    m_panel = std::make_unique<MainPanel>();
    m_log = std::make_unique<ActionLog>(m_clock);
    const MailContext mail{m_state, *m_log, m_prompt, *m_settings};
    m_channel = std::make_unique<SmtpChannel>(mail, m_secrets);
    m_mapi = std::make_unique<MapiChannel>(mail, [] { return std::unique_ptr<MessagingSession>(); });
    m_alerts = std::make_unique<AlertDispatch>(*m_panel, *m_log, m_sound);
    m_alerts->addChannel(*m_channel);
    m_alerts->addChannel(*m_mapi);
}

void SmtpChannelTest::cleanup()
{
    m_alerts.reset();
    m_mapi.reset();
    m_channel.reset();
}

void SmtpChannelTest::load_fillsBoxesFromStoreWithPlaceholders()
{
    m_settings->setValue(MailSettings::SmtpGateway, QStringLiteral("relay.example:2525"));
    m_channel->Form_Load();
    QVERIFY(m_channel->hasControl());
    QCOMPARE(m_channel->text1(), MailSettings::DefaultSmtpTo);
    QCOMPARE(m_channel->text2(), QStringLiteral("relay.example:2525"));
    QCOMPARE(m_channel->text3(), MailSettings::DefaultSmtpFrom);
    // The boxes' change handlers passed recipient and server on to the control.
    SmtpControl& control = m_channel->Smtp1();
    QCOMPARE(control.mailTo(), MailSettings::DefaultSmtpTo);
    QCOMPARE(control.mailServerDomain(), QStringLiteral("relay.example"));
    QCOMPARE(control.mailServerPort(), 2525);
    QCOMPARE(m_channel->command2Caption(), QStringLiteral("SMTP Email OFF"));
    QVERIFY(m_prompt.boxes.isEmpty()); // loaded as a saved instance: no About box, no error
    QVERIFY(!m_settings->contains(MailSettings::SmtpTo));
}

void SmtpChannelTest::settings_writtenOnlyAtUnloadAndEmptyStaysEmpty()
{
    m_channel->Form_Load();
    m_channel->setText3(QString());
    m_channel->setText1(QStringLiteral("pager.1234@pager.example"));
    QVERIFY(!m_settings->contains(MailSettings::SmtpFrom));
    m_channel->Command5_Click();
    QVERIFY(!m_channel->isLoaded());
    QCOMPARE(m_settings->value(MailSettings::SmtpFrom, QStringLiteral("default")), QString());
    QCOMPARE(m_settings->value(MailSettings::SmtpTo, QString()), QStringLiteral("pager.1234@pager.example"));
    QCOMPARE(m_settings->value(MailSettings::SmtpGateway, QString()), MailSettings::DefaultSmtpGateway);

    m_channel->Form_Load();
    QCOMPARE(m_channel->text3(), QString());
    QCOMPARE(m_channel->text1(), QStringLiteral("pager.1234@pager.example"));
}

void SmtpChannelTest::serverBox_splitsHostAndPort_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name only") << QStringLiteral("mail.example") << QStringLiteral("mail.example") << 25;
    QTest::newRow("name and port") << QStringLiteral("mail.example:587") << QStringLiteral("mail.example") << 587;
    QTest::newRow("bracketed v6") << QStringLiteral("[::1]:2525") << QStringLiteral("::1") << 2525;
    QTest::newRow("bare v6 is all host") << QStringLiteral("fe80::1") << QStringLiteral("fe80::1") << 25;
    QTest::newRow("port out of range") << QStringLiteral("mail.example:70000") << QStringLiteral("mail.example:70000")
                                       << 25;
    QTest::newRow("port zero") << QStringLiteral("mail.example:0") << QStringLiteral("mail.example:0") << 25;
    QTest::newRow("trailing colon") << QStringLiteral("mail.example:") << QStringLiteral("mail.example:") << 25;
}

void SmtpChannelTest::serverBox_splitsHostAndPort()
{
    QFETCH(QString, box);
    QFETCH(QString, host);
    QFETCH(int, port);
    const auto [gotHost, gotPort] = SmtpChannel::splitServer(box);
    QCOMPARE(gotHost, host);
    QCOMPARE(gotPort, port);
}

void SmtpChannelTest::onOff_switchesChannelAndMainCaption()
{
    m_state.MailSystem = QStringLiteral("MAPI");
    m_state.EmailOn = true;
    m_channel->Command2_Click();
    QCOMPARE(m_state.MailSystem, QStringLiteral("SMTP"));
    QVERIFY(m_state.EmailOn);
    QCOMPARE(m_channel->command2Caption(), QStringLiteral("SMTP Email ON"));
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email ON"));
    m_channel->Command2_Click();
    QCOMPARE(m_state.MailSystem, QStringLiteral("NOTHING"));
    QVERIFY(!m_state.EmailOn);
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email OFF"));
    QCOMPARE(messages(), (QStringList{QStringLiteral("email: ON"), QStringLiteral("email: OFF")}));

    // A reload while SMTP alerts are on shows the ON caption.
    m_channel->Command2_Click();
    m_channel->Form_Unload();
    m_channel->Form_Load();
    QCOMPARE(m_channel->command2Caption(), QStringLiteral("SMTP Email ON"));
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email ON"));
}

void SmtpChannelTest::test_refusedWithoutRecipientDisablesOnOffUntilReload()
{
    m_settings->setValue(MailSettings::SmtpTo, QString());
    m_channel->Form_Load();
    QCOMPARE(m_channel->text1(), QString());
    m_channel->SendCommand_Click();
    QCOMPARE(m_prompt.boxes,
             QStringList{QStringLiteral("Offerwatch: You must setup steps 1 & 2 & 3 prior to testing")});
    QVERIFY(!m_channel->command2Enabled());
    m_channel->Command2_Click();
    QVERIFY(!m_state.EmailOn);
    QVERIFY(messages().isEmpty());

    m_channel->Form_Unload();
    m_channel->Form_Load();
    QVERIFY(m_channel->command2Enabled());
}

void SmtpChannelTest::blankRecipient_isReportedByControlAsSmtpError()
{
    m_channel->Form_Load();
    m_channel->setText1(QStringLiteral("   "));
    QCOMPARE(messages(), QStringList{QStringLiteral("email: smtp error, Please fill MailTo property")});
    QCOMPARE(m_prompt.boxes, QStringList{QStringLiteral("Error: email: smtp error, Please fill MailTo property")});
}

void SmtpChannelTest::missingComponent_isAClearErrorAndNothingIsSent()
{
    m_channel->setControlFactory([](SmtpControl&, QString* error) {
        *error = QStringLiteral("libsmtp.so.1: cannot open shared object file");
        return false;
    });
    m_state.EmailOn = true;
    m_state.MailSystem = QStringLiteral("SMTP");
    m_alerts->DispatchEmailAlert(tickersAlert(QStringLiteral(" ABCD (go-now)  ")));
    const QStringList logged = messages();
    QCOMPARE(logged.size(), 2);
    QVERIFY(logged[0].startsWith(QStringLiteral("email: smtp error, The mail-sending component cannot be loaded: ")));
    QVERIFY(logged[0].contains(QStringLiteral("libsmtp.so.1")));
    QCOMPARE(logged[1],
             QStringLiteral("email: smtp error, The mail-sending component is not loaded; nothing was sent."));
}

void SmtpChannelTest::dispatch_choosesChannelByExactMailSystem_data()
{
    QTest::addColumn<bool>("emailOn");
    QTest::addColumn<QString>("mailSystem");
    QTest::addColumn<QString>("channel");
    QTest::newRow("alerts off") << false << QStringLiteral("MAPI") << QString();
    QTest::newRow("MAPI") << true << QStringLiteral("MAPI") << QStringLiteral("mapi");
    QTest::newRow("lower-case mapi is SMTP") << true << QStringLiteral("mapi") << QStringLiteral("smtp");
    QTest::newRow("NOTHING is SMTP") << true << QStringLiteral("NOTHING") << QStringLiteral("smtp");
    QTest::newRow("empty is SMTP") << true << QString() << QStringLiteral("smtp");
}

void SmtpChannelTest::dispatch_choosesChannelByExactMailSystem()
{
    QFETCH(bool, emailOn);
    QFETCH(QString, mailSystem);
    QFETCH(QString, channel);
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_state.EmailOn = emailOn;
    m_state.MailSystem = mailSystem;
    const QString list = QStringLiteral(" ABCD (go-now)  ");
    m_alerts->DispatchEmailAlert(tickersAlert(list));

    if (channel.isEmpty()) {
        QVERIFY(messages().isEmpty());
        QVERIFY(!m_channel->isLoaded());
    } else if (channel == QLatin1String("mapi")) {
        QCOMPARE(m_mapi->mapiSubject(), QStringLiteral("IPO: "));
        QCOMPARE(m_mapi->mapiText(), list);
        QVERIFY(!m_mapi->mapiShowDialog());
        QCOMPARE(messages().first(), QStringLiteral("email: timeout"));
        QCOMPARE(messages().last(), QStringLiteral("email: sent mapi"));
        QVERIFY(!m_channel->isLoaded());
    } else {
        QVERIFY(m_mapi->mapiSubject().isEmpty());
        QVERIFY(server.waitForClosedConnections(1, 10000));
        QCOMPARE(messages(), QStringList{QStringLiteral("email: sent smtp")});
    }
}

void SmtpChannelTest::dispatch_sendsQuotedListWithFallbackSender()
{
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_settings->setValue(MailSettings::SmtpFrom, QString());
    m_state.EmailOn = true;
    m_state.MailSystem = QStringLiteral("SMTP");
    m_alerts->DispatchEmailAlert(tickersAlert(QStringLiteral(" ABCD (go-now)  XYZ (closed)  ")));
    QVERIFY(server.waitForClosedConnections(1, 10000));

    const QList<QByteArray> commands = server.commands(0);
    QVERIFY(commands.contains("MAIL FROM:<" + SmtpChannel::FallbackSender.toUtf8() + ">"));
    QVERIFY(commands.contains("RCPT TO:<" + MailSettings::DefaultSmtpTo.toUtf8() + ">"));
    const QByteArray data = server.data(0);
    QVERIFY(data.contains("Subject:IPO: \r\n"));
    QVERIFY(data.contains("\r\n\r\n\" ABCD (go-now)  XYZ (closed)  \"\r\n"));
    QVERIFY(m_channel->statusText().contains(QStringLiteral("Connecting to 127.0.0.1")));
    QVERIFY(m_prompt.boxes.isEmpty());
}

void SmtpChannelTest::alarm_failureTurnsOrangeAndLogsErrorZero()
{
    m_alerts->SoundAlarm();
    QCOMPARE(m_sound.played, QStringList{QStringLiteral("Offerwatch.wav")});
    QCOMPARE(m_panel->statusColour(), StatusColour::Green);
    QVERIFY(messages().isEmpty());

    m_sound.starts = false;
    m_alerts->SoundAlarm();
    QCOMPARE(m_panel->statusColour(), StatusColour::Orange);
    QCOMPARE(messages(), QStringList{QStringLiteral("alarm: error # 0 ")});
    m_sound.why = QStringLiteral("no sound output");
    m_alerts->SoundAlarm();
    QCOMPARE(messages().constLast(), QStringLiteral("alarm: error, no sound output"));

    // The real player reports a file it cannot find, or one that is no sound, as not started.
    QtSoundPlayer player;
    QVERIFY(!player.play(QStringLiteral("no-such-alarm-sound.wav")));
    QCOMPARE(player.whyNotStarted(), QStringLiteral("the sound file no-such-alarm-sound.wav is not found"));
    QTemporaryDir dir;
    QFile garbage(dir.filePath(QStringLiteral("Offerwatch.wav")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("RIFF\0\0\0\0TEXT not a sound at all");
    garbage.close();
    QVERIFY(!QtSoundPlayer::isWaveFile(garbage.fileName()));
    QVERIFY(QtSoundPlayer::isWaveFile(qEnvironmentVariable("OFFERWATCH_SOURCE_DIR") +
                                      QStringLiteral("/alerts/sound/Offerwatch.wav")));
}

// Off, the subject and body pager gateways have always been sent; on, the new entries in
// both, the subject cut at 78.
void SmtpChannelTest::namingNewOfferings_changesSubjectAndFirstLineOnlyWhenOn()
{
    const MailContext mail{m_state, *m_log, m_prompt, *m_settings};
    Alert alert = tickersAlert(QStringLiteral(" ABCD (go-now)  NEWW (go-now)  "));
    alert.newEntries = QStringList{QStringLiteral("NEWW (go-now)")};
    QCOMPARE(mailLines(mail, alert).subject, QStringLiteral("IPO: "));
    QVERIFY(mailLines(mail, alert).firstLine.isEmpty());
    // A feed or a pattern names what is new unless the user switched it off.
    m_settings->setValue(QStringLiteral("Watch/source"), QStringLiteral("edgar"));
    QCOMPARE(mailLines(mail, alert).subject, QStringLiteral("IPO: NEWW (go-now)"));
    m_settings->setValue(QStringLiteral("Watch/source"), QStringLiteral("broker"));

    setNamesNewOfferings(mail, true);
    QCOMPARE(mailLines(mail, alert).subject, QStringLiteral("IPO: NEWW (go-now)"));
    alert.newEntries = QStringList(12, QStringLiteral("LONGER NAME (S-1)"));
    const MailLines lines = mailLines(mail, alert);
    QCOMPARE(lines.subject.size(), 78);
    QVERIFY(lines.subject.endsWith(QStringLiteral("...")));
    QVERIFY(lines.firstLine.startsWith(QStringLiteral("New: LONGER NAME (S-1), LONGER")));
    QVERIFY(lines.firstLine.endsWith(QStringLiteral("(S-1)\n")));

    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_state.EmailOn = true;
    m_state.MailSystem = QStringLiteral("SMTP");
    // A line break in a page's entry is data: folded, it stops neither this mail nor the others.
    alert = tickersAlert(QStringLiteral(" ABCD (go-now)  NEWW (go-now)  EV\r\nIL (S-1)  "));
    alert.newEntries = QStringList{QStringLiteral("NEWW (go-now)"), QStringLiteral("EV\r\nIL (S-1)")};
    m_alerts->DispatchEmailAlert(alert);
    QVERIFY(server.waitForClosedConnections(1, 10000));
    const QByteArray data = server.data(0);
    QVERIFY(data.contains("Subject:IPO: NEWW (go-now), EV  IL (S-1)\r\n"));
    QVERIFY(data.contains("\r\n\r\nNew: NEWW (go-now), EV  IL (S-1)\r\n\" ABCD (go-now)  NEWW (go-now)  EV  IL (S-1)  \"\r\n"));
    QCOMPARE(messages().last(), QStringLiteral("email: sent smtp"));
}

// Two alerts from one poll (the page answers again and has news) both reach the server.
void SmtpChannelTest::alertsInARow_eachGoOut()
{
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_state.EmailOn = true;
    m_state.MailSystem = QStringLiteral("SMTP");
    m_alerts->DispatchEmailAlert(
        {QStringLiteral("Offerwatch: the watched page answers again"), QStringLiteral("x"), {}, {}, {}});
    m_alerts->DispatchEmailAlert(tickersAlert(QStringLiteral(" ABCD (go-now)  ")));
    QVERIFY(server.waitForClosedConnections(2, 15000));
    QVERIFY(server.data(0).contains("Subject:Offerwatch: the watched page answers again\r\n"));
    QVERIFY(server.data(1).contains("Subject:IPO: \r\n"));
    QCOMPARE(messages(), (QStringList{QStringLiteral("email: smtp busy, alert waits for the send under way"),
                                      QStringLiteral("email: sent smtp"), QStringLiteral("email: sent smtp")}));
}

// The keyring answers later; a channel closed before then must not hear of it.
void SmtpChannelTest::keyringAnswersAfterTheChannelIsGone_areIgnored()
{
    MemorySecretStore keyring;
    auto channel = std::make_unique<SmtpChannel>(MailContext{m_state, *m_log, m_prompt, *m_settings}, keyring);
    channel->setPassword(QStringLiteral("app-password"));
    channel.reset();
    QTest::qWait(50);
    QCOMPARE(keyring.secrets.value(QStringLiteral("SMTP.password")), QStringLiteral("app-password"));
    QVERIFY(messages().isEmpty());
}

void SmtpChannelTest::password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("keyring"); // "locked", "none", "empty", "silent", "saved"
    QTest::addColumn<bool>("credential");
    QTest::addColumn<int>("reads");       // how often the keyring was asked
    QTest::addColumn<QString>("logged");  // the password's line
    const QString none = QStringLiteral("email: smtp error, no password for me@example.net: ");
    const QString orVariable = QStringLiteral("or set OFFERWATCH_SMTP_PASSWORD");
    QTest::newRow("no login: keyring never asked") << "" << "locked" << false << 0 << "email: sent smtp";
    QTest::newRow("locked keyring") << "me@example.net" << "locked" << false << 1
                                    << none + "the desktop keyring is locked; unlock it, " + orVariable;
    QTest::newRow("no keyring") << "me@example.net" << "none" << false << 1
                                << none + "there is no desktop keyring; set OFFERWATCH_SMTP_PASSWORD or give it as "
                                          "the systemd credential smtp-password";
    QTest::newRow("nothing saved") << "me@example.net" << "empty" << false << 1
                                   << none + "none is saved in the desktop keyring; type it in the SMTP window "
                                             "(console: smtp password TEXT), " + orVariable;
    QTest::newRow("keyring never answers") << "me@example.net" << "silent" << false << 1
                                           << none + "the desktop keyring did not answer within 1 seconds; unlock "
                                                     "it, " + orVariable;
    QTest::newRow("keyring") << "me@example.net" << "saved" << false << 1
                             << "email: the SMTP password comes from the desktop keyring";
    QTest::newRow("systemd credential before keyring")
        << "me@example.net" << "saved" << true << 0
        << "email: the SMTP password comes from the systemd credential smtp-password";
}

// No AUTH with an empty password ever leaves: the refusal comes before any connection.
void SmtpChannelTest::password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting()
{
    QFETCH(QString, user);
    QFETCH(QString, keyring);
    QFETCH(bool, credential);
    QFETCH(int, reads);
    QFETCH(QString, logged);
    QTemporaryDir credentials;
    QFile file(credentials.filePath(QStringLiteral("smtp-password")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("from-credential\n") > 0);
    file.close();
    qputenv("CREDENTIALS_DIRECTORY", credential ? credentials.path().toUtf8() : QByteArray());
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_settings->setValue(MailSettings::SmtpUser, user);
    m_settings->setValue(MailSettings::SmtpSecurity, user.isEmpty() ? QStringLiteral("none") : QStringLiteral("tls"));
    MemorySecretStore secrets;
    secrets.available = keyring != u"none";
    secrets.locked = keyring == u"locked";
    secrets.answers = keyring != u"silent";
    if (keyring == u"saved")
        secrets.secrets.insert(QStringLiteral("SMTP.password"), QStringLiteral("from-keyring"));
    const MailContext mail{m_state, *m_log, m_prompt, *m_settings};
    SmtpChannel channel(mail, secrets);
    channel.setKeyringTimeout(std::chrono::milliseconds(300));
    m_state.EmailOn = true;
    m_state.MailSystem = QStringLiteral("SMTP");
    channel.send(tickersAlert(QStringLiteral(" ABCD (go-now)  ")));
    QTRY_VERIFY_WITH_TIMEOUT(messages().contains(logged), 5000);
    QCOMPARE(secrets.reads, reads);
    QTest::qWait(100);
    QCOMPARE(server.connectionCount(), logged.contains(QStringLiteral("no password")) ? 0 : 1);
    qunsetenv("CREDENTIALS_DIRECTORY");
}

QTEST_MAIN(SmtpChannelTest)
#include "tst_smtp_channel.moc"
