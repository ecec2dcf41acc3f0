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
using Button = MapiChannel::Button;

namespace {
QString yesNo(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

// What the fake objects were asked and what the log said, in one list in order. An operation
// ("Logon", "Resolve", "Send", ...) listed in failing fails until the test removes it.
struct FakeMessaging {
    QStringList calls;
    QHash<QString, MessagingError> failing;
    bool createNothing = false;
    bool call(const QString& what, MessagingError* error)
    {
        calls << what;
        const auto failure = failing.constFind(what.section(u'(', 0, 0));
        if (failure != failing.cend() && error)
            *error = *failure;
        return failure == failing.cend();
    }
};

// A session whose messages are their own one recipient; that is all the channel needs of
// each. Logoff of a session that is not logged on fails, as a real messaging system's does.
struct FakeSession final : MessagingSession, MessagingMessage, MessagingRecipient {
    explicit FakeSession(FakeMessaging& fake)
        : m_fake(fake)
    {
    }
    bool Logon(bool dialog, bool newSession, MessagingError* e) override
    {
        return m_loggedOn = m_fake.call(u"Logon(%1,%2)"_s.arg(yesNo(dialog), yesNo(newSession)), e);
    }
    bool Logoff(MessagingError* e) override { return m_fake.call(u"Logoff"_s, e) && std::exchange(m_loggedOn, false); }
    std::unique_ptr<MessagingMessage> addMessage(MessagingError* e) override
    {
        return m_fake.call(u"addMessage"_s, e) ? std::make_unique<FakeSession>(m_fake) : nullptr;
    }
    void setSubject(const QString& subject) override { m_fake.calls << u"Subject="_s + subject; }
    void setText(const QString& text) override { m_fake.calls << u"Text="_s + text; }
    MessagingRecipient* addRecipient(MessagingError* e) override
    {
        return m_fake.call(u"addRecipient"_s, e) ? this : nullptr;
    }
    bool Update(MessagingError* e) override { return m_fake.call(u"Update"_s, e); }
    bool Send(bool dialog, MessagingError* e) override { return m_fake.call(u"Send(%1)"_s.arg(yesNo(dialog)), e); }
    void setName(const QString& name) override { m_fake.calls << u"Name="_s + (m_name = name); }
    QString name() const override { return m_name; }
    bool Resolve(MessagingError* e) override { return m_fake.call(u"Resolve"_s, e); }
    FakeMessaging& m_fake;
    QString m_name;
    bool m_loggedOn = false;
};

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

const QString Sent = u"email: sent mapi"_s;
const QString LoggedOff = u"MAPI false false | MAPI Email OFF | Email OFF | LOGON"_s;

// Both mail channels with everything they talk to; the main window's e-mail caption follows
// both, as in the program.
struct Fixture {
    FakeClock clock;
    FakeMessaging fake;
    MailSwitch mailSwitch;
    MainPanel panel;
    ActionLog log{clock};
    RecordingPrompt prompt;
    ScratchSettings settings;
    MailContext mail{mailSwitch, log, prompt, *settings};
    MapiChannel mapi{mail, [this]() -> std::unique_ptr<MessagingSession> {
                         fake.calls << u"create"_s;
                         return fake.createNothing ? nullptr : std::make_unique<FakeSession>(fake);
                     }};
    MemorySecretStore secrets;
    SmtpChannel smtp{mail, secrets};
    ScriptedSound sound;
    AlertDispatch dispatch{panel, log, sound};
    const bool dispatching = [this] {
        dispatch.addChannel(smtp);
        dispatch.addChannel(mapi);
        return true;
    }();
    const QMetaObject::Connection logged = QObject::connect(&log, &ActionLog::lineLogged, &log,
                                                            [this](const QString& line) { fake.calls << line.mid(9); });

    QStringList messages() const { return screenMessages(*log.screen()); }
    // A server that takes every mail, set as the SMTP window's server.
    bool serveHappily(FakeSmtpServer& server)
    {
        server.setScript(FakeSmtpServer::happyScript());
        if (!server.listen())
            return false;
        settings->setText(Setting::SmtpGateway, u"127.0.0.1:%1"_s.arg(server.port()));
        return true;
    }
    QStringList take() { return std::exchange(fake.calls, {}); }
    // From the first failure line on: what a failed send did after building its message.
    QStringList takeFromFailure()
    {
        const QStringList all = take();
        return all.mid(all.indexOf(u"email: timeout"_s));
    }
    // The mail state, the captions and the enabled buttons, in one line.
    QString shown() const
    {
        QStringList on;
        for (const auto& [enabled, name] : {std::pair{mapi.logonEnabled(), u"LOGON"_s},
                                            {mapi.logoffEnabled(), u"LOGOFF"_s},
                                            {mapi.testEnabled(), u"TEST"_s}})
            if (enabled)
                on << name;
        return u"%1 %2 %3 | %4 | %5 | %6"_s.arg(mailSwitch.channel(), yesNo(mailSwitch.isOn()),
                                                yesNo(mapi.isLoggedOn()), mapi.onOffCaption(), panel.emailCaption(),
                                                on.join(u' '));
    }
    void logOn()
    {
        QVERIFY(mapi.press(Button::Logon));
        QCOMPARE(take(), (QStringList{u"create"_s, u"Logon(true,true)"_s, u"email: logon OK"_s}));
    }
    void sendAlert() { mapi.send(tickersAlert(u" ABCD-O  "_s)); }
};
} // namespace

class MailChannelsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    // A component registry of the test's own, so the control comes from the library beside it.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    void boxes_comeFromSettingsAndAreSavedAtUnload()
    {
        Fixture f;
        f.settings->setText(Setting::SmtpGateway, u"relay.example:2525"_s);
        f.smtp.Form_Load();
        QVERIFY(f.smtp.hasControl());
        QCOMPARE(f.smtp.recipient(), Setting::SmtpTo.defaultValue.toString());
        QCOMPARE(f.smtp.sender(), Setting::SmtpFrom.defaultValue.toString());
        // The boxes' change handlers passed recipient and server on to the control.
        SmtpControl& control = f.smtp.Smtp1();
        QCOMPARE(control.mailTo(), Setting::SmtpTo.defaultValue.toString());
        QCOMPARE(control.mailServerDomain(), u"relay.example"_s);
        QCOMPARE(control.mailServerPort(), 2525);
        QVERIFY(f.prompt.boxes.isEmpty()); // loaded as a saved instance: no About box, no error

        f.smtp.setSender(QString());
        f.smtp.setRecipient(u"pager.1234@pager.example"_s);
        QVERIFY(!f.settings->contains(Setting::SmtpTo));
        f.smtp.Command5_Click();
        QVERIFY(!f.smtp.isLoaded());
        QCOMPARE(f.settings->text(Setting::SmtpTo), u"pager.1234@pager.example"_s);
        // An emptied box is saved empty and read back empty, not as the default.
        QVERIFY(f.settings->contains(Setting::SmtpFrom));
        f.smtp.Form_Load();
        QCOMPARE(f.smtp.sender(), QString());
    }

    void onOff_switchesToSmtpAndHoldsOverAReload()
    {
        Fixture f;
        f.mailSwitch.switchOn(u"MAPI"_s);
        f.smtp.Command2_Click();
        QVERIFY(f.mailSwitch.isOnThrough(u"SMTP"_s));
        QCOMPARE(f.smtp.onOffCaption(), u"SMTP Email ON"_s);
        QCOMPARE(f.settings->text(Setting::MailSystem), u"SMTP"_s);
        f.smtp.Command2_Click();
        QVERIFY(!f.mailSwitch.isOn());
        QCOMPARE(f.messages(), (QStringList{u"email: ON"_s, u"email: OFF"_s}));

        // A reload while SMTP alerts are on shows the ON caption.
        f.smtp.Command2_Click();
        f.smtp.Form_Unload();
        f.smtp.Form_Load();
        QCOMPARE(f.smtp.onOffCaption(), u"SMTP Email ON"_s);
    }

    void dispatch_reachesTheOneMailChannelThatIsOn_data()
    {
        QTest::addColumn<QStringList>("switchedOn"); // in order; the last one holds
        QTest::addColumn<QString>("sent");           // the last line logged, none when alerts reach no channel
        QTest::newRow("alerts off") << QStringList() << QString();
        QTest::newRow("SMTP, then local mail") << QStringList{u"SMTP"_s, u"MAPI"_s} << u"email: sent mapi"_s;
        QTest::newRow("local mail, then SMTP") << QStringList{u"MAPI"_s, u"SMTP"_s} << u"email: sent smtp"_s;
        QTest::newRow("names are exact") << QStringList{u"mapi"_s} << QString();
    }
    void dispatch_reachesTheOneMailChannelThatIsOn()
    {
        Fixture f;
        QFETCH(QStringList, switchedOn);
        QFETCH(QString, sent);
        FakeSmtpServer server;
        QVERIFY(f.serveHappily(server));
        for (const QString& name : std::as_const(switchedOn))
            f.mailSwitch.switchOn(name);
        QCOMPARE(f.panel.emailCaption(), sent.isEmpty() ? u"Email OFF"_s : u"Email ON"_s);
        const QString list = u" ABCD (go-now)  "_s;
        f.dispatch.dispatchAlert(tickersAlert(list));
        QTRY_COMPARE_WITH_TIMEOUT(f.messages().value(f.messages().size() - 1), sent, 10000);
        QCOMPARE(f.mapi.mapiText(), sent.endsWith(u"mapi"_s) ? list : QString());
        QCOMPARE(f.smtp.isLoaded(), sent.endsWith(u"smtp"_s));
    }

    void test_refusedWithoutRecipientDisablesOnOffUntilReload()
    {
        Fixture f;
        f.settings->setText(Setting::SmtpTo, QString());
        f.smtp.Form_Load();
        f.smtp.SendCommand_Click();
        QCOMPARE(f.prompt.boxes, QStringList{u"Offerwatch: You must setup steps 1 & 2 & 3 prior to testing"_s});
        QVERIFY(!f.smtp.onOffEnabled());
        f.smtp.Command2_Click();
        QVERIFY(!f.mailSwitch.isOn());
        QVERIFY(f.messages().isEmpty());

        f.smtp.Form_Unload();
        f.smtp.Form_Load();
        QVERIFY(f.smtp.onOffEnabled());
        // A blank recipient is the control's to refuse, as an SMTP error.
        f.smtp.setRecipient(u"   "_s);
        QCOMPARE(f.messages(), QStringList{u"email: smtp error, Please fill MailTo property"_s});
    }

    void alarm_failureTurnsOrangeAndLogsErrorZero()
    {
        Fixture f;
        f.dispatch.SoundAlarm();
        QCOMPARE(f.sound.played, QStringList{u"Offerwatch.wav"_s});
        QCOMPARE(f.panel.statusColour(), StatusColour::Green);
        QVERIFY(f.messages().isEmpty());

        f.sound.starts = false;
        f.dispatch.SoundAlarm();
        QCOMPARE(f.panel.statusColour(), StatusColour::Orange);
        QCOMPARE(f.messages(), QStringList{u"alarm: error # 0 "_s});
        f.sound.why = u"no sound output"_s;
        f.dispatch.SoundAlarm();
        QCOMPARE(f.messages().constLast(), u"alarm: error, no sound output"_s);

        // The real player reports a file it cannot find as not started, and plays only a WAV sound.
        QtSoundPlayer player;
        QVERIFY(!player.play(u"no-such-alarm-sound.wav"_s));
        QCOMPARE(player.whyNotStarted(), u"the sound file no-such-alarm-sound.wav is not found"_s);
        QVERIFY(!QtSoundPlayer::isWaveFile(QStringLiteral(__FILE__)));
        QVERIFY(QtSoundPlayer::isWaveFile(qEnvironmentVariable("OFFERWATCH_SOURCE_DIR")
                                          + u"/alerts/sound/Offerwatch.wav"_s));
    }

    // Off, the subject and body pager gateways have always been sent; on, the new entries in
    // both, the subject cut at 78. An alert that comes while one goes out (the page answers
    // again and has news) waits its turn.
    void alertMail_quotedListFallbackSenderAndNamedNewOfferings()
    {
        Fixture f;
        Alert alert = tickersAlert(u" ABCD (go-now)  NEWW (go-now)  "_s);
        alert.newEntries = QStringList{u"NEWW (go-now)"_s};
        QCOMPARE(mailLines(f.mail, alert).subject, u"IPO: "_s);
        QVERIFY(mailLines(f.mail, alert).firstLine.isEmpty());
        // A feed or a pattern names what is new unless the user switched it off.
        f.settings->setText(Setting::WatchSource, u"edgar"_s);
        QCOMPARE(mailLines(f.mail, alert).subject, u"IPO: NEWW (go-now)"_s);
        setNamesNewOfferings(f.mail, false);
        QCOMPARE(mailLines(f.mail, alert).subject, u"IPO: "_s);
        setNamesNewOfferings(f.mail, true);
        alert.newEntries = QStringList(12, u"LONGER NAME (S-1)"_s);
        const MailLines lines = mailLines(f.mail, alert);
        QCOMPARE(lines.subject.size(), 78);
        QVERIFY(lines.subject.endsWith(u"..."_s));
        QVERIFY(lines.firstLine.startsWith(u"New: LONGER NAME (S-1), LONGER"_s));
        QVERIFY(lines.firstLine.endsWith(u"(S-1)\n"_s));

        FakeSmtpServer server;
        QVERIFY(f.serveHappily(server));
        f.settings->setText(Setting::SmtpFrom, QString());
        f.mailSwitch.switchOn(u"SMTP"_s);
        // A line break in a page's entry is data: folded, it stops neither this mail nor the others.
        alert = tickersAlert(u" ABCD (go-now)  NEWW (go-now)  EV\r\nIL (S-1)  "_s);
        alert.newEntries = QStringList{u"NEWW (go-now)"_s, u"EV\r\nIL (S-1)"_s};
        f.dispatch.dispatchAlert({u"Offerwatch: the watched page answers again"_s, u"x"_s, {}, {}, {}});
        f.dispatch.dispatchAlert(alert);
        QVERIFY(server.waitForClosedConnections(2, 15000));
        QVERIFY(server.data(0).contains("Subject:Offerwatch: the watched page answers again\r\n"));
        const QList<QByteArray> commands = server.commands(1);
        QVERIFY(commands.contains("MAIL FROM:<" + SmtpChannel::FallbackSender.toUtf8() + ">"));
        QVERIFY(commands.contains("RCPT TO:<" + Setting::SmtpTo.defaultValue.toUtf8() + ">"));
        const QByteArray data = server.data(1);
        QVERIFY(data.contains("Subject:IPO: NEWW (go-now), EV  IL (S-1)\r\n"));
        QVERIFY(data.contains(
            "\r\n\r\nNew: NEWW (go-now), EV  IL (S-1)\r\n\" ABCD (go-now)  NEWW (go-now)  EV  IL (S-1)  \"\r\n"));
        QVERIFY(f.smtp.statusText().contains(u"Connecting to 127.0.0.1"_s));
        QCOMPARE(f.messages(), (QStringList{u"email: new offerings in the subject OFF"_s,
                                            u"email: new offerings in the subject ON"_s,
                                            u"email: smtp busy, alert waits for the send under way"_s,
                                            u"email: sent smtp"_s, u"email: sent smtp"_s}));
        QVERIFY(f.prompt.boxes.isEmpty());
    }

    void password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("keyring"); // "locked", "silent", "saved", "saved, and a systemd credential"
        QTest::addColumn<int>("reads");      // how often the keyring was asked
        QTest::addColumn<QString>("logged"); // the password's line
        const QString none = u"email: smtp error, no password for me@example.net: "_s;
        const QString orVariable = u"or set OFFERWATCH_SMTP_PASSWORD"_s;
        // clang-format off
        QTest::newRow("no login: keyring never asked") << "" << "locked" << 0 << "email: sent smtp";
        QTest::newRow("locked keyring") << "me@example.net" << "locked" << 1
                                        << none + "the desktop keyring is locked; unlock it, " + orVariable;
        QTest::newRow("keyring never answers") << "me@example.net" << "silent" << 1
            << none + "the desktop keyring did not answer within 1 seconds; unlock it, " + orVariable;
        QTest::newRow("keyring") << "me@example.net" << "saved" << 1
                                 << "email: the SMTP password comes from the desktop keyring";
        QTest::newRow("systemd credential before keyring") << "me@example.net" << "saved, and a systemd credential" << 0
            << "email: the SMTP password comes from the systemd credential smtp-password";
        // clang-format on
    }

    // No AUTH with an empty password ever leaves: the refusal comes before any connection.
    void password_comesFromWhereItIsOrTheMailIsRefusedBeforeConnecting()
    {
        Fixture f;
        QFETCH(QString, user);
        QFETCH(QString, keyring);
        QFETCH(int, reads);
        QFETCH(QString, logged);
        QTemporaryDir credentials;
        QFile file(credentials.filePath(u"smtp-password"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("from-credential\n") > 0);
        file.close();
        qputenv("CREDENTIALS_DIRECTORY", keyring.endsWith(u"credential"_s) ? credentials.path().toUtf8() : "");
        FakeSmtpServer server;
        QVERIFY(f.serveHappily(server));
        f.settings->setText(Setting::SmtpUser, user);
        f.settings->setText(Setting::SmtpSecurity, user.isEmpty() ? u"none"_s : u"tls"_s);
        f.secrets.locked = keyring == u"locked";
        f.secrets.answers = keyring != u"silent";
        if (keyring.startsWith(u"saved"_s))
            f.secrets.secrets.insert(u"SMTP.password"_s, u"from-keyring"_s);
        f.smtp.setKeyringTimeout(std::chrono::milliseconds(300));
        f.smtp.send(tickersAlert(u" ABCD (go-now)  "_s));
        QTRY_VERIFY_WITH_TIMEOUT(f.messages().contains(logged), 5000);
        QCOMPARE(f.secrets.reads, reads);
        QTest::qWait(100);
        QCOMPARE(server.connectionCount(), logged.contains(u"no password"_s) ? 0 : 1);
        qunsetenv("CREDENTIALS_DIRECTORY");
    }

    void logon_data()
    {
        QTest::addColumn<int>("failure"); // the error number of a refused logon, 0 for none
        QTest::addColumn<bool>("createNothing");
        QTest::addColumn<QStringList>("transcript");
        const QString create = u"create"_s, logon = u"Logon(true,true)"_s, refused = u"email: logon error"_s;
        QTest::newRow("ok") << 0 << false << QStringList{create, logon, u"email: logon OK"_s};
        QTest::newRow("no object created: nothing to log on") << 0 << true << QStringList{create, u"email: logon OK"_s};
        // A session that could not log off after a failed logon is kept, not released.
        QTest::newRow("refused") << 1003 << false
                                 << QStringList{create, logon, refused, u"Error # 1003 no mail"_s, u"Logoff"_s};
    }
    void logon()
    {
        QFETCH(int, failure);
        QFETCH(bool, createNothing);
        QFETCH(QStringList, transcript);
        Fixture f;
        if (failure)
            f.fake.failing.insert(u"Logon"_s, {failure, u"no mail"_s});
        f.fake.createNothing = createNothing;
        QVERIFY(f.mapi.press(Button::Logon));
        QCOMPARE(f.take(), transcript);
        QCOMPARE(f.shown(), failure ? u" false false | MAPI Email OFF | Email OFF | LOGON"_s
                                    : u" false true | MAPI Email OFF | Email OFF | LOGOFF TEST"_s);
        QCOMPARE(f.mapi.hasSession(), !createNothing);
    }

    void loggedOn_testOnOffAndLogoff()
    {
        Fixture f;
        f.mailSwitch.switchOn(u"SMTP"_s);
        f.logOn();
        QVERIFY(f.mapi.press(Button::Test));
        QCOMPARE(f.take(), (QStringList{u"addMessage"_s, u"Subject=Offerwatch Test"_s,
                                        u"Text=This is the text of the Offerwatch email test"_s, u"addRecipient"_s,
                                        u"Name="_s + Setting::MapiTo.defaultValue.toString(), u"Resolve"_s, u"Update"_s,
                                        u"Send(true)"_s, u"email: test email sent"_s}));
        // An edit reaches the next send at once, long before it reaches the store.
        f.mapi.setRecipient(u"pager@paging.example"_s);
        f.sendAlert();
        QCOMPARE(f.take().mid(4),
                 (QStringList{u"Name=pager@paging.example"_s, u"Resolve"_s, u"Update"_s, u"Send(false)"_s, Sent}));
        QVERIFY(!f.settings->contains(Setting::MapiTo));

        QCOMPARE(f.shown(), u"SMTP true true | MAPI Email OFF | Email ON | LOGOFF TEST"_s);
        QVERIFY(f.mapi.press(Button::OnOff));
        QCOMPARE(f.shown(), u"MAPI true true | MAPI Email ON | Email ON | LOGOFF TEST"_s);
        QVERIFY(f.mapi.press(Button::OnOff));
        QCOMPARE(f.shown(), u"NOTHING false true | MAPI Email OFF | Email OFF | LOGOFF TEST"_s);
        QVERIFY(f.mapi.press(Button::OnOff));
        // LOGOFF switches alerts off but leaves MAPI the chosen channel.
        QVERIFY(f.mapi.press(Button::Logoff));
        QCOMPARE(f.shown(), LoggedOff);
        QCOMPARE(f.take(),
                 (QStringList{u"email: ON"_s, u"email: OFF"_s, u"email: ON"_s, u"Logoff"_s, u"email: logoff OK"_s}));
        QVERIFY(!f.mapi.hasSession());
        QVERIFY(f.prompt.boxes.isEmpty());
    }

    // Loading shows the state; while logged off, ON/OFF is refused with a box, TEST and LOGOFF do nothing.
    void load_showsStateAndLoggedOffRefuses_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<QString>("mailSystem");
        QTest::addColumn<bool>("emailOn");
        QTest::addColumn<QString>("shown");
        QTest::newRow("MAPI on") << true << u"MAPI"_s << true
                                 << u"MAPI true true | MAPI Email ON | Email ON | LOGOFF TEST"_s;
        QTest::newRow("MAPI, alerts off")
            << true << u"MAPI"_s << false << u"MAPI false true | MAPI Email OFF | Email OFF | LOGOFF TEST"_s;
        QTest::newRow("SMTP on") << false << u"SMTP"_s << true
                                 << u"SMTP true false | MAPI Email OFF | Email ON | LOGON"_s;
    }
    void load_showsStateAndLoggedOffRefuses()
    {
        QFETCH(bool, loggedOn);
        QFETCH(QString, mailSystem);
        QFETCH(bool, emailOn);
        QFETCH(QString, shown);
        Fixture f;
        if (loggedOn) {
            f.logOn();
            f.mapi.unload();
        }
        f.mailSwitch.switchOn(mailSystem);
        if (!emailOn)
            f.mailSwitch.stop();
        QSignalSpy loaded(&f.mapi, &MapiChannel::loaded);
        f.mapi.load();
        f.mapi.load();
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(f.shown(), shown);
        if (loggedOn)
            return;

        QSignalSpy changed(&f.mapi, &MapiChannel::changed);
        QVERIFY(f.mapi.press(Button::OnOff));
        QVERIFY(!f.mapi.press(Button::Test));
        QVERIFY(!f.mapi.press(Button::Logoff));
        QCOMPARE(f.prompt.boxes,
                 QStringList{u"Offerwatch: You cannot toggle email to active until you are logged in."_s});
        QCOMPARE(f.shown(), shown);
        QCOMPARE(changed.count(), 0);
        QVERIFY(f.take().isEmpty());
    }

    void thirdFailure_forcesLogoffAndOneRelogon_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("errorLine");
        QTest::addColumn<bool>("successBetween");
        QTest::addColumn<bool>("relogonWorks");
        QTest::newRow("re-logon works") << u"Resolve"_s << 1008 << u"Error # 1008 refused"_s << false << true;
        QTest::newRow("a success between counts on") << u"Send"_s << -5 << u"Error #-5 refused"_s << true << true;
        // The failed session cannot log off, so the second LOGOFF logs nothing and keeps it.
        QTest::newRow("re-logon fails") << u"Resolve"_s << 1008 << u"Error # 1008 refused"_s << false << false;
    }
    void thirdFailure_forcesLogoffAndOneRelogon()
    {
        QFETCH(QString, operation);
        QFETCH(int, number);
        QFETCH(QString, errorLine);
        QFETCH(bool, successBetween);
        QFETCH(bool, relogonWorks);
        Fixture f;
        f.logOn();
        f.mapi.press(Button::OnOff);
        f.fake.failing.insert(operation, {number, u"refused"_s});
        for (qint16 n = 1; n <= 2; ++n) {
            f.sendAlert();
            QCOMPARE(f.takeFromFailure(), (QStringList{u"email: timeout"_s, errorLine, Sent}));
            QCOMPARE(f.mapi.mapiSendErrors(), n);
            QVERIFY(f.mailSwitch.isOn());
        }
        if (successBetween) {
            const MessagingError error = f.fake.failing.take(operation);
            f.sendAlert();
            QCOMPARE(f.take().last(2), (QStringList{u"Send(false)"_s, Sent}));
            f.fake.failing.insert(operation, error);
        }
        if (!relogonWorks)
            f.fake.failing.insert(u"Logon"_s, {1003, u"no sendmail"_s});
        f.sendAlert();

        QStringList transcript{u"email: timeout"_s, errorLine, u"email: 3 send errors-triggering logoff"_s, u"Logoff"_s,
                               u"email: logoff OK"_s, u"email: attempting to re-logon"_s, u"create"_s,
                               u"Logon(false,false)"_s};
        if (relogonWorks)
            transcript << u"email: re-logon OK"_s;
        else
            transcript << u"email: re-logon failed!"_s << u"Error # 1003 no sendmail"_s << u"Logoff"_s;
        QCOMPARE(f.takeFromFailure(), transcript << Sent);
        QCOMPARE(f.mapi.mapiSendErrors(), qint16(0));
        QCOMPARE(f.shown(), LoggedOff);
        QVERIFY(f.mapi.hasSession());

        // At exit the session held now is let go without a word, whether it logs off or not.
        f.mapi.logoffAtExit();
        f.mapi.logoffAtExit();
        QCOMPARE(f.take(), QStringList{u"Logoff"_s});
        QVERIFY(!f.mapi.hasSession());
    }
};

QTEST_MAIN(MailChannelsTest)
#include "tst_mail_channels.moc"
