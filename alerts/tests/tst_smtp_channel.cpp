// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/AlertDispatch.h"
#include "alerts/MailSwitch.h"
#include "alerts/MapiChannel.h"
#include "alerts/SmtpChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "platform/SoundPlayer.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/LogLines.h"
#include "testsupport/MemorySecretStore.h"
#include "testsupport/RecordingPrompt.h"
#include "testsupport/ScratchSettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

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
    void boxes_comeFromSettingsAndAreSavedAtUnload();
    void onOff_switchesChannelAndMainCaption();
    void dispatch_reachesTheOneMailChannelThatIsOn_data();
    void dispatch_reachesTheOneMailChannelThatIsOn();
    void test_refusedWithoutRecipientDisablesOnOffUntilReload();
    void alarm_failureTurnsOrangeAndLogsErrorZero();
    void alertMail_quotedListFallbackSenderAndNamedNewOfferings();
    void alertsInARow_eachGoOut();
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
        m_settings->setText(Setting::SmtpGateway, u"127.0.0.1:%1"_s.arg(server.port()));
        return true;
    }

    QTemporaryDir m_config;
    FakeClock m_clock;
    MailSwitch m_mailSwitch;
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
    m_mailSwitch.switchOff();
    m_settings.reset();
    m_prompt.boxes.clear();
    m_sound = ScriptedSound();
    m_panel = std::make_unique<MainPanel>();
    m_log = std::make_unique<ActionLog>(m_clock);
    const MailContext mail{m_mailSwitch, *m_log, m_prompt, *m_settings};
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

void SmtpChannelTest::boxes_comeFromSettingsAndAreSavedAtUnload()
{
    m_settings->setText(Setting::SmtpGateway, u"relay.example:2525"_s);
    m_channel->Form_Load();
    QVERIFY(m_channel->hasControl());
    QCOMPARE(m_channel->recipient(), Setting::SmtpTo.defaultValue.toString());
    QCOMPARE(m_channel->sender(), Setting::SmtpFrom.defaultValue.toString());
    // The boxes' change handlers passed recipient and server on to the control.
    SmtpControl& control = m_channel->Smtp1();
    QCOMPARE(control.mailTo(), Setting::SmtpTo.defaultValue.toString());
    QCOMPARE(control.mailServerDomain(), u"relay.example"_s);
    QCOMPARE(control.mailServerPort(), 2525);
    QVERIFY(m_prompt.boxes.isEmpty()); // loaded as a saved instance: no About box, no error

    m_channel->setSender(QString());
    m_channel->setRecipient(u"pager.1234@pager.example"_s);
    QVERIFY(!m_settings->contains(Setting::SmtpTo));
    m_channel->Command5_Click();
    QVERIFY(!m_channel->isLoaded());
    QCOMPARE(m_settings->text(Setting::SmtpTo), u"pager.1234@pager.example"_s);
    // An emptied box is saved empty and read back empty, not as the default.
    QVERIFY(m_settings->contains(Setting::SmtpFrom));
    m_channel->Form_Load();
    QCOMPARE(m_channel->sender(), QString());
}

void SmtpChannelTest::onOff_switchesChannelAndMainCaption()
{
    m_mailSwitch.switchOn(u"MAPI"_s);
    m_channel->Command2_Click();
    QVERIFY(m_mailSwitch.isOnThrough(u"SMTP"_s));
    QCOMPARE(m_channel->onOffCaption(), u"SMTP Email ON"_s);
    QCOMPARE(m_panel->emailCaption(), u"Email ON"_s);
    QCOMPARE(m_settings->text(Setting::MailSystem), u"SMTP"_s);
    m_channel->Command2_Click();
    QVERIFY(!m_mailSwitch.isOn());
    QCOMPARE(m_panel->emailCaption(), u"Email OFF"_s);
    QCOMPARE(messages(), (QStringList{u"email: ON"_s, u"email: OFF"_s}));

    // A reload while SMTP alerts are on shows the ON caption.
    m_channel->Command2_Click();
    m_channel->Form_Unload();
    m_channel->Form_Load();
    QCOMPARE(m_channel->onOffCaption(), u"SMTP Email ON"_s);
}

void SmtpChannelTest::dispatch_reachesTheOneMailChannelThatIsOn_data()
{
    QTest::addColumn<QStringList>("switchedOn"); // in order; the last one holds
    QTest::addColumn<QString>("channel");
    QTest::newRow("alerts off") << QStringList() << QString();
    QTest::newRow("local mail") << QStringList{u"MAPI"_s} << u"mapi"_s;
    QTest::newRow("SMTP") << QStringList{u"SMTP"_s} << u"smtp"_s;
    QTest::newRow("SMTP, then local mail") << QStringList{u"SMTP"_s, u"MAPI"_s} << u"mapi"_s;
    QTest::newRow("local mail, then SMTP") << QStringList{u"MAPI"_s, u"SMTP"_s} << u"smtp"_s;
    QTest::newRow("names are exact") << QStringList{u"mapi"_s} << QString();
}

void SmtpChannelTest::dispatch_reachesTheOneMailChannelThatIsOn()
{
    QFETCH(QStringList, switchedOn);
    QFETCH(QString, channel);
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    for (const QString& name : std::as_const(switchedOn))
        m_mailSwitch.switchOn(name);
    QCOMPARE(m_panel->emailCaption(), channel.isEmpty() ? u"Email OFF"_s : u"Email ON"_s);
    const QString list = u" ABCD (go-now)  "_s;
    m_alerts->dispatchAlert(tickersAlert(list));

    if (channel.isEmpty()) {
        QVERIFY(messages().isEmpty());
        QVERIFY(!m_channel->isLoaded());
    } else if (channel == QLatin1String("mapi")) {
        QCOMPARE(m_mapi->mapiSubject(), u"IPO: "_s);
        QCOMPARE(m_mapi->mapiText(), list);
        QCOMPARE(messages().last(), u"email: sent mapi"_s);
        QVERIFY(!m_channel->isLoaded());
    } else {
        QVERIFY(m_mapi->mapiSubject().isEmpty());
        QVERIFY(server.waitForClosedConnections(1, 10000));
        QCOMPARE(messages(), QStringList{u"email: sent smtp"_s});
    }
}

void SmtpChannelTest::test_refusedWithoutRecipientDisablesOnOffUntilReload()
{
    m_settings->setText(Setting::SmtpTo, QString());
    m_channel->Form_Load();
    QCOMPARE(m_channel->recipient(), QString());
    m_channel->SendCommand_Click();
    QCOMPARE(m_prompt.boxes, QStringList{u"Offerwatch: You must setup steps 1 & 2 & 3 prior to testing"_s});
    QVERIFY(!m_channel->onOffEnabled());
    m_channel->Command2_Click();
    QVERIFY(!m_mailSwitch.isOn());
    QVERIFY(messages().isEmpty());

    m_channel->Form_Unload();
    m_channel->Form_Load();
    QVERIFY(m_channel->onOffEnabled());
    // A blank recipient is the control's to refuse, as an SMTP error.
    m_channel->setRecipient(u"   "_s);
    QCOMPARE(messages(), QStringList{u"email: smtp error, Please fill MailTo property"_s});
}

void SmtpChannelTest::alarm_failureTurnsOrangeAndLogsErrorZero()
{
    m_alerts->SoundAlarm();
    QCOMPARE(m_sound.played, QStringList{u"Offerwatch.wav"_s});
    QCOMPARE(m_panel->statusColour(), StatusColour::Green);
    QVERIFY(messages().isEmpty());

    m_sound.starts = false;
    m_alerts->SoundAlarm();
    QCOMPARE(m_panel->statusColour(), StatusColour::Orange);
    QCOMPARE(messages(), QStringList{u"alarm: error # 0 "_s});
    m_sound.why = u"no sound output"_s;
    m_alerts->SoundAlarm();
    QCOMPARE(messages().constLast(), u"alarm: error, no sound output"_s);

    // The real player reports a file it cannot find, or one that is no sound, as not started.
    QtSoundPlayer player;
    QVERIFY(!player.play(u"no-such-alarm-sound.wav"_s));
    QCOMPARE(player.whyNotStarted(), u"the sound file no-such-alarm-sound.wav is not found"_s);
    QTemporaryDir dir;
    QFile garbage(dir.filePath(u"Offerwatch.wav"_s));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("RIFF\0\0\0\0TEXT not a sound at all");
    garbage.close();
    QVERIFY(!QtSoundPlayer::isWaveFile(garbage.fileName()));
    QVERIFY(
        QtSoundPlayer::isWaveFile(qEnvironmentVariable("OFFERWATCH_SOURCE_DIR") + u"/alerts/sound/Offerwatch.wav"_s));
}

// Off, the subject and body pager gateways have always been sent; on, the new entries in
// both, the subject cut at 78.
void SmtpChannelTest::alertMail_quotedListFallbackSenderAndNamedNewOfferings()
{
    const MailContext mail{m_mailSwitch, *m_log, m_prompt, *m_settings};
    Alert alert = tickersAlert(u" ABCD (go-now)  NEWW (go-now)  "_s);
    alert.newEntries = QStringList{u"NEWW (go-now)"_s};
    QCOMPARE(mailLines(mail, alert).subject, u"IPO: "_s);
    QVERIFY(mailLines(mail, alert).firstLine.isEmpty());
    // A feed or a pattern names what is new unless the user switched it off.
    m_settings->setText(Setting::WatchSource, u"edgar"_s);
    QCOMPARE(mailLines(mail, alert).subject, u"IPO: NEWW (go-now)"_s);
    setNamesNewOfferings(mail, false);
    QCOMPARE(mailLines(mail, alert).subject, u"IPO: "_s);
    setNamesNewOfferings(mail, true);
    alert.newEntries = QStringList(12, u"LONGER NAME (S-1)"_s);
    const MailLines lines = mailLines(mail, alert);
    QCOMPARE(lines.subject.size(), 78);
    QVERIFY(lines.subject.endsWith(u"..."_s));
    QVERIFY(lines.firstLine.startsWith(u"New: LONGER NAME (S-1), LONGER"_s));
    QVERIFY(lines.firstLine.endsWith(u"(S-1)\n"_s));

    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_settings->setText(Setting::SmtpFrom, QString());
    m_mailSwitch.switchOn(u"SMTP"_s);
    // A line break in a page's entry is data: folded, it stops neither this mail nor the others.
    alert = tickersAlert(u" ABCD (go-now)  NEWW (go-now)  EV\r\nIL (S-1)  "_s);
    alert.newEntries = QStringList{u"NEWW (go-now)"_s, u"EV\r\nIL (S-1)"_s};
    m_alerts->dispatchAlert(alert);
    QVERIFY(server.waitForClosedConnections(1, 10000));
    const QList<QByteArray> commands = server.commands(0);
    QVERIFY(commands.contains("MAIL FROM:<" + SmtpChannel::FallbackSender.toUtf8() + ">"));
    QVERIFY(commands.contains("RCPT TO:<" + Setting::SmtpTo.defaultValue.toUtf8() + ">"));
    const QByteArray data = server.data(0);
    QVERIFY(data.contains("Subject:IPO: NEWW (go-now), EV  IL (S-1)\r\n"));
    QVERIFY(data.contains(
        "\r\n\r\nNew: NEWW (go-now), EV  IL (S-1)\r\n\" ABCD (go-now)  NEWW (go-now)  EV  IL (S-1)  \"\r\n"));
    QVERIFY(m_channel->statusText().contains(u"Connecting to 127.0.0.1"_s));
    QCOMPARE(messages().last(), u"email: sent smtp"_s);
    QVERIFY(m_prompt.boxes.isEmpty());
}

// Two alerts from one poll (the page answers again and has news) both reach the server.
void SmtpChannelTest::alertsInARow_eachGoOut()
{
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_mailSwitch.switchOn(u"SMTP"_s);
    m_alerts->dispatchAlert({u"Offerwatch: the watched page answers again"_s, u"x"_s, {}, {}, {}});
    m_alerts->dispatchAlert(tickersAlert(u" ABCD (go-now)  "_s));
    QVERIFY(server.waitForClosedConnections(2, 15000));
    QVERIFY(server.data(0).contains("Subject:Offerwatch: the watched page answers again\r\n"));
    QVERIFY(server.data(1).contains("Subject:IPO: \r\n"));
    QCOMPARE(messages(), (QStringList{u"email: smtp busy, alert waits for the send under way"_s, u"email: sent smtp"_s,
                                      u"email: sent smtp"_s}));
}

void SmtpChannelTest::password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("keyring"); // "locked", "silent", "saved"
    QTest::addColumn<bool>("credential");
    QTest::addColumn<int>("reads");      // how often the keyring was asked
    QTest::addColumn<QString>("logged"); // the password's line
    const QString none = u"email: smtp error, no password for me@example.net: "_s;
    const QString orVariable = u"or set OFFERWATCH_SMTP_PASSWORD"_s;
    // clang-format off
    QTest::newRow("no login: keyring never asked") << "" << "locked" << false << 0 << "email: sent smtp";
    QTest::newRow("locked keyring") << "me@example.net" << "locked" << false << 1
                                    << none + "the desktop keyring is locked; unlock it, " + orVariable;
    QTest::newRow("keyring never answers") << "me@example.net" << "silent" << false << 1
        << none + "the desktop keyring did not answer within 1 seconds; unlock it, " + orVariable;
    QTest::newRow("keyring") << "me@example.net" << "saved" << false << 1
                             << "email: the SMTP password comes from the desktop keyring";
    QTest::newRow("systemd credential before keyring") << "me@example.net" << "saved" << true << 0
        << "email: the SMTP password comes from the systemd credential smtp-password";
    // clang-format on
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
    QFile file(credentials.filePath(u"smtp-password"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("from-credential\n") > 0);
    file.close();
    qputenv("CREDENTIALS_DIRECTORY", credential ? credentials.path().toUtf8() : QByteArray());
    FakeSmtpServer server;
    QVERIFY(serveHappily(server));
    m_settings->setText(Setting::SmtpUser, user);
    m_settings->setText(Setting::SmtpSecurity, user.isEmpty() ? u"none"_s : u"tls"_s);
    MemorySecretStore secrets;
    secrets.locked = keyring == u"locked";
    secrets.answers = keyring != u"silent";
    if (keyring == u"saved")
        secrets.secrets.insert(u"SMTP.password"_s, u"from-keyring"_s);
    const MailContext mail{m_mailSwitch, *m_log, m_prompt, *m_settings};
    SmtpChannel channel(mail, secrets);
    channel.setKeyringTimeout(std::chrono::milliseconds(300));
    channel.send(tickersAlert(u" ABCD (go-now)  "_s));
    QTRY_VERIFY_WITH_TIMEOUT(messages().contains(logged), 5000);
    QCOMPARE(secrets.reads, reads);
    QTest::qWait(100);
    QCOMPARE(server.connectionCount(), logged.contains(u"no password"_s) ? 0 : 1);
    qunsetenv("CREDENTIALS_DIRECTORY");
}

QTEST_MAIN(SmtpChannelTest)
#include "tst_smtp_channel.moc"
