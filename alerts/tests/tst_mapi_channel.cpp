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

// A message is its own one recipient; that is all the channel needs of it.
struct FakeMessage final : MessagingMessage, MessagingRecipient {
    explicit FakeMessage(FakeMessaging& fake)
        : m_fake(fake)
    {
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
};

// Logoff of a session that is not logged on fails, as a real messaging system's does.
struct FakeSession final : MessagingSession {
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
        return m_fake.call(u"addMessage"_s, e) ? std::make_unique<FakeMessage>(m_fake) : nullptr;
    }
    FakeMessaging& m_fake;
    bool m_loggedOn = false;
};

const QString Sent = u"email: sent mapi"_s;
const QString LoggedOff = u"MAPI false false | MAPI Email OFF | Email OFF | LOGON"_s;

// One channel with everything it talks to.
struct Fixture {
    FakeClock clock;
    FakeMessaging fake;
    MailSwitch mailSwitch;
    MainPanel panel;
    ActionLog log{clock};
    RecordingPrompt prompt;
    ScratchSettings settings;
    MapiChannel channel{{mailSwitch, log, prompt, *settings}, [this]() -> std::unique_ptr<MessagingSession> {
                            fake.calls << u"create"_s;
                            return fake.createNothing ? nullptr : std::make_unique<FakeSession>(fake);
                        }};
    // The main window's e-mail caption follows both mail channels, as in the program.
    MemorySecretStore secrets;
    SmtpChannel smtp{{mailSwitch, log, prompt, *settings}, secrets};
    QtSoundPlayer sound;
    AlertDispatch dispatch{panel, log, sound};
    const bool dispatching = [this] {
        dispatch.addChannel(smtp);
        dispatch.addChannel(channel);
        return true;
    }();
    const QMetaObject::Connection logged = QObject::connect(&log, &ActionLog::lineLogged, &log,
                                                            [this](const QString& line) { fake.calls << line.mid(9); });

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
        for (const auto& [enabled, name] : {std::pair{channel.logonEnabled(), u"LOGON"_s},
                                            {channel.logoffEnabled(), u"LOGOFF"_s},
                                            {channel.testEnabled(), u"TEST"_s}})
            if (enabled)
                on << name;
        return u"%1 %2 %3 | %4 | %5 | %6"_s.arg(mailSwitch.channel(), yesNo(mailSwitch.isOn()), yesNo(channel.isLoggedOn()),
                                                channel.onOffCaption(), panel.emailCaption(), on.join(u' '));
    }
    void setMailSystem(const QString& system, bool on)
    {
        mailSwitch.switchOn(system);
        if (!on)
            mailSwitch.stop();
    }
    void logOn()
    {
        QVERIFY(channel.press(Button::Logon));
        QCOMPARE(take(), (QStringList{u"create"_s, u"Logon(true,true)"_s, u"email: logon OK"_s}));
    }
    void sendAlert()
    {
        channel.setMapiSubject(u"IPO: "_s);
        channel.setMapiText(u" ABCD-O  "_s);
        channel.setMapiShowDialog(false);
        channel.SendMapiMail();
        log.LogAction(Sent);
    }
};
} // namespace

class MapiChannelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
        QVERIFY(f.channel.press(Button::Logon));
        QCOMPARE(f.take(), transcript);
        QCOMPARE(f.shown(), failure ? u" false false | MAPI Email OFF | Email OFF | LOGON"_s
                                    : u" false true | MAPI Email OFF | Email OFF | LOGOFF TEST"_s);
        QCOMPARE(f.channel.hasSession(), !createNothing);
    }

    void loggedOn_testOnOffAndLogoff()
    {
        Fixture f;
        f.setMailSystem(u"SMTP"_s, true);
        f.logOn();
        QVERIFY(f.channel.press(Button::Test));
        QCOMPARE(f.take(), (QStringList{u"addMessage"_s, u"Subject=Offerwatch Test"_s,
                                        u"Text=This is the text of the Offerwatch email test"_s, u"addRecipient"_s,
                                        u"Name="_s + Setting::MapiTo.defaultValue.toString(), u"Resolve"_s, u"Update"_s,
                                        u"Send(true)"_s, u"email: test email sent"_s}));
        // An edit reaches the next send at once, long before it reaches the store.
        f.channel.setRecipient(u"pager@paging.example"_s);
        f.sendAlert();
        QCOMPARE(f.take().mid(4),
                 (QStringList{u"Name=pager@paging.example"_s, u"Resolve"_s, u"Update"_s, u"Send(false)"_s, Sent}));
        QVERIFY(!f.settings->contains(Setting::MapiTo));

        QCOMPARE(f.shown(), u"SMTP true true | MAPI Email OFF | Email ON | LOGOFF TEST"_s);
        const QString mapiOn = u"MAPI true true | MAPI Email ON | Email ON | LOGOFF TEST"_s;
        QVERIFY(f.channel.press(Button::OnOff));
        QCOMPARE(f.shown(), mapiOn);
        QVERIFY(f.channel.press(Button::OnOff));
        QCOMPARE(f.shown(), u"NOTHING false true | MAPI Email OFF | Email OFF | LOGOFF TEST"_s);
        QVERIFY(f.channel.press(Button::OnOff));
        QCOMPARE(f.shown(), mapiOn);
        // LOGOFF switches alerts off but leaves MAPI the chosen channel.
        QVERIFY(f.channel.press(Button::Logoff));
        QCOMPARE(f.shown(), LoggedOff);
        QCOMPARE(f.take(),
                 (QStringList{u"email: ON"_s, u"email: OFF"_s, u"email: ON"_s, u"Logoff"_s, u"email: logoff OK"_s}));
        QVERIFY(!f.channel.hasSession());
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
        // No channel is named so: alerts reach none, and the caption says so.
        QTest::newRow("case matters") << false << u"mapi"_s << true
                                      << u"mapi true false | MAPI Email OFF | Email OFF | LOGON"_s;
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
            f.channel.unload();
        }
        f.setMailSystem(mailSystem, emailOn);
        QSignalSpy loaded(&f.channel, &MapiChannel::loaded);
        f.channel.load();
        f.channel.load();
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(f.shown(), shown);
        if (loggedOn)
            return;

        QSignalSpy changed(&f.channel, &MapiChannel::changed);
        QVERIFY(f.channel.press(Button::OnOff));
        QVERIFY(!f.channel.press(Button::Test));
        QVERIFY(!f.channel.press(Button::Logoff));
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
        f.channel.press(Button::OnOff);
        f.fake.failing.insert(operation, {number, u"refused"_s});
        for (qint16 n = 1; n <= 2; ++n) {
            f.sendAlert();
            QCOMPARE(f.takeFromFailure(), (QStringList{u"email: timeout"_s, errorLine, Sent}));
            QCOMPARE(f.channel.mapiSendErrors(), n);
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

        QStringList transcript{u"email: timeout"_s,
                               errorLine,
                               u"email: 3 send errors-triggering logoff"_s,
                               u"Logoff"_s,
                               u"email: logoff OK"_s,
                               u"email: attempting to re-logon"_s,
                               u"create"_s,
                               u"Logon(false,false)"_s};
        if (relogonWorks)
            transcript << u"email: re-logon OK"_s;
        else
            transcript << u"email: re-logon failed!"_s << u"Error # 1003 no sendmail"_s << u"Logoff"_s;
        QCOMPARE(f.takeFromFailure(), transcript << Sent);
        QCOMPARE(f.channel.mapiSendErrors(), qint16(0));
        QCOMPARE(f.shown(), LoggedOff);
        QVERIFY(f.channel.hasSession());

        // At exit the session held now is let go without a word, whether it logs off or not.
        f.channel.logoffAtExit();
        f.channel.logoffAtExit();
        QCOMPARE(f.take(), QStringList{u"Logoff"_s});
        QVERIFY(!f.channel.hasSession());
    }
};

QTEST_GUILESS_MAIN(MapiChannelTest)
#include "tst_mapi_channel.moc"
