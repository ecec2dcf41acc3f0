#include "alerts/MailSettings.h"
#include "alerts/MapiChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"
#include "platform/SettingsStore.h"
#include "platform/UserPrompt.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LogLines.h"

#include <QHash>
#include <QSignalSpy>
#include <QtTest>

#include <utility>

namespace {
QString yesNo(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// What every fake object did, in order, and which calls are to fail. A failing call
// stays failing until the test clears it; Logoff of a session that is not logged on
// fails as a real messaging system's does.
struct FakeMessaging {
    QStringList calls;
    QHash<QString, MessagingError> failing;
    bool createNothing = false;

    bool call(const QString& what, const QString& op, MessagingError* error)
    {
        calls << what;
        if (!failing.contains(op))
            return true;
        if (error)
            *error = failing.value(op);
        return false;
    }
};

class FakeRecipient final : public MessagingRecipient {
public:
    explicit FakeRecipient(FakeMessaging& fake) : m_fake(fake) {}
    void setName(const QString& name) override
    {
        m_name = name;
        m_fake.calls << QStringLiteral("Name=") + name;
    }
    QString name() const override { return m_name; }
    bool Resolve(MessagingError* error) override { return m_fake.call(QStringLiteral("Resolve"), QStringLiteral("Resolve"), error); }

private:
    FakeMessaging& m_fake;
    QString m_name;
};

class FakeMessage final : public MessagingMessage {
public:
    explicit FakeMessage(FakeMessaging& fake) : m_fake(fake) {}
    void setSubject(const QString& subject) override { m_fake.calls << QStringLiteral("Subject=") + subject; }
    void setText(const QString& text) override { m_fake.calls << QStringLiteral("Text=") + text; }
    MessagingRecipient* addRecipient(MessagingError* error) override
    {
        if (!m_fake.call(QStringLiteral("addRecipient"), QStringLiteral("addRecipient"), error))
            return nullptr;
        m_recipient = std::make_unique<FakeRecipient>(m_fake);
        return m_recipient.get();
    }
    bool Update(MessagingError* error) override { return m_fake.call(QStringLiteral("Update"), QStringLiteral("Update"), error); }
    bool Send(bool showDialog, MessagingError* error) override
    {
        return m_fake.call(QStringLiteral("Send(%1)").arg(yesNo(showDialog)), QStringLiteral("Send"), error);
    }

private:
    FakeMessaging& m_fake;
    std::unique_ptr<FakeRecipient> m_recipient;
};

class FakeSession final : public MessagingSession {
public:
    explicit FakeSession(FakeMessaging& fake) : m_fake(fake) {}
    bool Logon(bool showDialog, bool newSession, MessagingError* error) override
    {
        m_loggedOn = m_fake.call(QStringLiteral("Logon(%1,%2)").arg(yesNo(showDialog), yesNo(newSession)), QStringLiteral("Logon"), error);
        return m_loggedOn;
    }
    bool Logoff(MessagingError* error) override
    {
        if (!m_fake.call(QStringLiteral("Logoff"), QStringLiteral("Logoff"), error))
            return false;
        if (!m_loggedOn && error)
            *error = MessagingError{MessagingErrorNumber::NotLoggedOn, QStringLiteral("not logged on")};
        return std::exchange(m_loggedOn, false);
    }
    std::unique_ptr<MessagingMessage> addMessage(MessagingError* error) override
    {
        if (!m_fake.call(QStringLiteral("addMessage"), QStringLiteral("addMessage"), error))
            return nullptr;
        return std::make_unique<FakeMessage>(m_fake);
    }

private:
    FakeMessaging& m_fake;
    bool m_loggedOn = false;
};

class RecordingPrompt final : public UserPrompt {
public:
    void critical(const QString& title, const QString& text) override { boxes << title + QStringLiteral(" | ") + text; }
    QStringList boxes;
};

const MessagingError ResolveError{1008, QStringLiteral("\"x\" is not one address of the form name@domain")};
const QString ResolveErrorLine = QStringLiteral("Error # 1008 \"x\" is not one address of the form name@domain");
const QStringList TestSendCalls{
    QStringLiteral("addMessage"), QStringLiteral("Subject=Offerwatch Test"),
    QStringLiteral("Text=This is the text of the Offerwatch email test"), QStringLiteral("addRecipient"),
    QStringLiteral("Name=") + MailSettings::DefaultMapiTo, QStringLiteral("Resolve"), QStringLiteral("Update"),
    QStringLiteral("Send(true)")};
} // namespace

class MapiChannelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void logon_data();
    void logon();
    void logoff_whileOn_switchesOffButKeepsMailSystem();
    void onOff_refusedWhileLoggedOff_data();
    void onOff_refusedWhileLoggedOff();
    void onOff_afterLogon_replacesSmtpAndTogglesByCaption();
    void load_setsButtonsAndCaptionFromState_data();
    void load_setsButtonsAndCaptionFromState();
    void test_sendsWithDialogAndLogsAfterwards();
    void test_disabledWhileLoggedOff();
    void thirdFailure_forcesLogoffAndOneRelogon_data();
    void thirdFailure_forcesLogoffAndOneRelogon();
    void failuresCountedUntilThird_evenWithSuccessBetween();
    void sendWithoutSession_failsAndLoadsWindowForLogoff();
    void settings_readWithDefaultWrittenOnlyAtUnload();
    void settings_storedEmptyStaysEmpty();
    void logoffAtExit_releasesSilently_data();
    void logoffAtExit_releasesSilently();

private:
    QStringList newLines()
    {
        const QStringList all = screenMessages(*m_log->screen());
        const QStringList fresh = all.mid(m_seen);
        m_seen = all.size();
        return fresh;
    }
    void logOn()
    {
        QVERIFY(m_channel->press(MapiChannel::Button::Command1));
        QCOMPARE(newLines(), QStringList{QStringLiteral("email: logon OK")});
        m_fake.calls.clear();
    }
    void sendAlert()
    {
        m_channel->setMapiSubject(QStringLiteral("IPO: "));
        m_channel->setMapiText(QStringLiteral(" ABCD-O  "));
        m_channel->setMapiShowDialog(false);
        m_channel->SendMapiMail();
        m_log->LogAction(QStringLiteral("email: sent mapi"));
    }

    FakeClock m_clock;
    FakeMessaging m_fake;
    RunState m_state;
    std::unique_ptr<MainPanel> m_panel;
    std::unique_ptr<ActionLog> m_log;
    RecordingPrompt m_prompt;
    std::unique_ptr<MemorySettingsStore> m_settings;
    std::unique_ptr<MapiChannel> m_channel;
    qsizetype m_seen = 0;
};

void MapiChannelTest::init()
{
    m_fake = FakeMessaging();
    m_state = RunState();
    m_panel = std::make_unique<MainPanel>();
    m_log = std::make_unique<ActionLog>(m_clock);
    m_prompt.boxes.clear();
    m_settings = std::make_unique<MemorySettingsStore>();
    m_channel = std::make_unique<MapiChannel>(m_state, *m_panel, *m_log, m_prompt, *m_settings, [this]() -> std::unique_ptr<MessagingSession> {
        m_fake.calls << QStringLiteral("create");
        return m_fake.createNothing ? nullptr : std::make_unique<FakeSession>(m_fake);
    });
    m_seen = 0;
}

void MapiChannelTest::logon_data()
{
    QTest::addColumn<bool>("logonFails");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("createNothing");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("loggedOn");

    QTest::newRow("ok") << false << 0 << false << QStringList{QStringLiteral("email: logon OK")} << true;
    QTest::newRow("no object created: nothing to log on") << false << 0 << true
                                                          << QStringList{QStringLiteral("email: logon OK")} << true;
    QTest::newRow("refused") << true << 1003 << false
                             << QStringList{QStringLiteral("email: logon error"), QStringLiteral("Error # 1003 no mail")}
                             << false;
    QTest::newRow("negative number") << true << -2147221231 << false
                                     << QStringList{QStringLiteral("email: logon error"),
                                                    QStringLiteral("Error #-2147221231 no mail")}
                                     << false;
}

void MapiChannelTest::logon()
{
    QFETCH(bool, logonFails);
    QFETCH(int, number);
    QFETCH(bool, createNothing);
    QFETCH(QStringList, lines);
    QFETCH(bool, loggedOn);
    if (logonFails)
        m_fake.failing.insert(QStringLiteral("Logon"), {number, QStringLiteral("no mail")});
    m_fake.createNothing = createNothing;

    QVERIFY(m_channel->press(MapiChannel::Button::Command1));

    QCOMPARE(newLines(), lines);
    QCOMPARE(m_state.MapiLoggedOn, loggedOn);
    QCOMPARE(m_channel->logonEnabled(), !loggedOn);
    QCOMPARE(m_channel->logoffEnabled(), loggedOn);
    QCOMPARE(m_channel->testEnabled(), loggedOn);
    // A session that could not log off after a failed logon is kept, not released.
    QCOMPARE(m_channel->hasSession(), !createNothing);
    QStringList expectedCalls{QStringLiteral("create")};
    if (!createNothing)
        expectedCalls << QStringLiteral("Logon(true,true)");
    if (logonFails)
        expectedCalls << QStringLiteral("Logoff");
    QCOMPARE(m_fake.calls, expectedCalls);
}

void MapiChannelTest::logoff_whileOn_switchesOffButKeepsMailSystem()
{
    logOn();
    m_channel->press(MapiChannel::Button::Command2);
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email ON"));
    newLines();

    QVERIFY(m_channel->press(MapiChannel::Button::Command4));

    QCOMPARE(newLines(), QStringList{QStringLiteral("email: logoff OK")});
    QCOMPARE(m_fake.calls, QStringList{QStringLiteral("Logoff")});
    QVERIFY(!m_state.EmailOn);
    QVERIFY(!m_state.MapiLoggedOn);
    QCOMPARE(m_state.MailSystem, QStringLiteral("MAPI"));
    QCOMPARE(m_channel->onOffCaption(), QStringLiteral("MAPI Email OFF"));
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email OFF"));
    QVERIFY(m_channel->logonEnabled() && !m_channel->logoffEnabled() && !m_channel->testEnabled());
    QVERIFY(!m_channel->hasSession());
    QVERIFY(!m_channel->press(MapiChannel::Button::Command4));
}

void MapiChannelTest::onOff_refusedWhileLoggedOff_data()
{
    QTest::addColumn<QString>("mailSystem");
    QTest::addColumn<bool>("emailOn");
    QTest::newRow("first run") << QString() << false;
    QTest::newRow("SMTP alerts on") << QStringLiteral("SMTP") << true;
}

void MapiChannelTest::onOff_refusedWhileLoggedOff()
{
    QFETCH(QString, mailSystem);
    QFETCH(bool, emailOn);
    m_state.MailSystem = mailSystem;
    m_state.EmailOn = emailOn;
    m_panel->setEmailCaption(emailOn ? QStringLiteral("Email ON") : QStringLiteral("Email OFF"));
    m_channel->load();
    QSignalSpy changed(m_channel.get(), &MapiChannel::changed);

    QVERIFY(m_channel->press(MapiChannel::Button::Command2));

    QCOMPARE(m_prompt.boxes,
             QStringList{QStringLiteral("Offerwatch | You cannot toggle email to active until you are logged in.")});
    QCOMPARE(m_state.MailSystem, mailSystem);
    QCOMPARE(m_state.EmailOn, emailOn);
    QCOMPARE(m_channel->onOffCaption(), QStringLiteral("MAPI Email OFF"));
    QCOMPARE(m_panel->emailCaption(), emailOn ? QStringLiteral("Email ON") : QStringLiteral("Email OFF"));
    QVERIFY(newLines().isEmpty());
    QCOMPARE(changed.count(), 0);
}

void MapiChannelTest::onOff_afterLogon_replacesSmtpAndTogglesByCaption()
{
    m_state.MailSystem = QStringLiteral("SMTP");
    m_state.EmailOn = true;
    m_panel->setEmailCaption(QStringLiteral("Email ON"));
    logOn();
    QCOMPARE(m_channel->onOffCaption(), QStringLiteral("MAPI Email OFF"));

    m_channel->press(MapiChannel::Button::Command2);
    QCOMPARE(m_state.MailSystem, QStringLiteral("MAPI"));
    QVERIFY(m_state.EmailOn);
    QCOMPARE(m_channel->onOffCaption(), QStringLiteral("MAPI Email ON"));

    m_channel->press(MapiChannel::Button::Command2);
    QCOMPARE(m_state.MailSystem, QStringLiteral("NOTHING"));
    QVERIFY(!m_state.EmailOn);
    QCOMPARE(m_channel->onOffCaption(), QStringLiteral("MAPI Email OFF"));
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email OFF"));
    QCOMPARE(newLines(), (QStringList{QStringLiteral("email: ON"), QStringLiteral("email: OFF")}));
    QVERIFY(m_prompt.boxes.isEmpty());
}

void MapiChannelTest::load_setsButtonsAndCaptionFromState_data()
{
    QTest::addColumn<bool>("loggedOn");
    QTest::addColumn<QString>("mailSystem");
    QTest::addColumn<bool>("emailOn");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("mainCaption");

    const QString on = QStringLiteral("MAPI Email ON");
    const QString off = QStringLiteral("MAPI Email OFF");
    const QString untouched = QStringLiteral("untouched");
    QTest::newRow("MAPI on") << true << QStringLiteral("MAPI") << true << on << QStringLiteral("Email ON");
    QTest::newRow("MAPI chosen, alerts off") << true << QStringLiteral("MAPI") << false << off << untouched;
    QTest::newRow("SMTP on") << false << QStringLiteral("SMTP") << true << off << untouched;
    QTest::newRow("case matters") << false << QStringLiteral("mapi") << true << off << untouched;
    QTest::newRow("switched off") << false << QStringLiteral("NOTHING") << false << off << untouched;
}

void MapiChannelTest::load_setsButtonsAndCaptionFromState()
{
    QFETCH(bool, loggedOn);
    QFETCH(QString, mailSystem);
    QFETCH(bool, emailOn);
    QFETCH(QString, caption);
    QFETCH(QString, mainCaption);
    m_state.MapiLoggedOn = loggedOn;
    m_state.MailSystem = mailSystem;
    m_state.EmailOn = emailOn;
    m_panel->setEmailCaption(QStringLiteral("untouched"));
    QSignalSpy loaded(m_channel.get(), &MapiChannel::loaded);

    m_channel->load();
    m_channel->load();

    QCOMPARE(loaded.count(), 1);
    QCOMPARE(m_channel->logonEnabled(), !loggedOn);
    QCOMPARE(m_channel->logoffEnabled(), loggedOn);
    QCOMPARE(m_channel->testEnabled(), loggedOn);
    QCOMPARE(m_channel->onOffCaption(), caption);
    QCOMPARE(m_panel->emailCaption(), mainCaption);
    QVERIFY(newLines().isEmpty());
}

void MapiChannelTest::test_sendsWithDialogAndLogsAfterwards()
{
    logOn();
    QVERIFY(m_channel->press(MapiChannel::Button::Command3));
    QCOMPARE(m_fake.calls, TestSendCalls);
    QCOMPARE(newLines(), QStringList{QStringLiteral("email: test email sent")});
    QCOMPARE(m_channel->mapiSendErrors(), qint16(0));

    // An edit reaches the next send at once, long before it reaches the store.
    m_fake.calls.clear();
    m_channel->setText1(QStringLiteral("pager@paging.example"));
    sendAlert();
    QVERIFY(m_fake.calls.contains(QStringLiteral("Name=pager@paging.example")));
    QCOMPARE(m_fake.calls.last(), QStringLiteral("Send(false)"));
    QVERIFY(!m_settings->contains(MailSettings::MapiTo));
}

void MapiChannelTest::test_disabledWhileLoggedOff()
{
    QVERIFY(!m_channel->press(MapiChannel::Button::Command3));
    QVERIFY(!m_channel->press(MapiChannel::Button::Command4));
    QVERIFY(m_fake.calls.isEmpty());
    QVERIFY(newLines().isEmpty());
    QVERIFY(m_channel->isLoaded());
}

void MapiChannelTest::thirdFailure_forcesLogoffAndOneRelogon_data()
{
    QTest::addColumn<bool>("relogonWorks");
    QTest::addColumn<QStringList>("lastLines");

    const QStringList common{QStringLiteral("email: timeout"), ResolveErrorLine,
                             QStringLiteral("email: 3 send errors-triggering logoff"),
                             QStringLiteral("email: logoff OK"), QStringLiteral("email: attempting to re-logon")};
    QTest::newRow("re-logon works") << true
                                    << common + QStringList{QStringLiteral("email: re-logon OK"),
                                                            QStringLiteral("email: sent mapi")};
    // The failed session cannot log off, so the second LOGOFF logs nothing and keeps it.
    QTest::newRow("re-logon fails") << false
                                    << common + QStringList{QStringLiteral("email: re-logon failed!"),
                                                            QStringLiteral("Error # 1003 no sendmail"),
                                                            QStringLiteral("email: sent mapi")};
}

void MapiChannelTest::thirdFailure_forcesLogoffAndOneRelogon()
{
    QFETCH(bool, relogonWorks);
    QFETCH(QStringList, lastLines);
    logOn();
    m_channel->press(MapiChannel::Button::Command2);
    newLines();
    m_fake.failing.insert(QStringLiteral("Resolve"), ResolveError);

    const QStringList failedSend{QStringLiteral("email: timeout"), ResolveErrorLine, QStringLiteral("email: sent mapi")};
    for (qint16 n = 1; n <= 2; ++n) {
        sendAlert();
        QCOMPARE(newLines(), failedSend);
        QCOMPARE(m_channel->mapiSendErrors(), n);
        QVERIFY(m_state.EmailOn);
    }
    if (!relogonWorks)
        m_fake.failing.insert(QStringLiteral("Logon"), {1003, QStringLiteral("no sendmail")});
    m_fake.calls.clear();
    sendAlert();

    QCOMPARE(newLines(), lastLines);
    QStringList expectedTail{QStringLiteral("Logoff"), QStringLiteral("create"), QStringLiteral("Logon(false,false)")};
    if (!relogonWorks)
        expectedTail << QStringLiteral("Logoff");
    QCOMPARE(m_fake.calls.mid(m_fake.calls.indexOf(QStringLiteral("Resolve")) + 1), expectedTail);
    QCOMPARE(m_channel->mapiSendErrors(), qint16(0));
    QVERIFY(!m_state.EmailOn);
    QVERIFY(!m_state.MapiLoggedOn);
    QCOMPARE(m_state.MailSystem, QStringLiteral("MAPI"));
    QCOMPARE(m_panel->emailCaption(), QStringLiteral("Email OFF"));
    QVERIFY(m_channel->logonEnabled());
    QVERIFY(!m_channel->testEnabled());
    QVERIFY(m_channel->hasSession());
}

void MapiChannelTest::failuresCountedUntilThird_evenWithSuccessBetween()
{
    logOn();
    const QList<bool> fails{true, true, false, true};
    for (qsizetype i = 0; i < fails.size(); ++i) {
        if (fails.at(i))
            m_fake.failing.insert(QStringLiteral("Send"), {-5, QStringLiteral("send refused")});
        else
            m_fake.failing.remove(QStringLiteral("Send"));
        sendAlert();
        const QStringList lines = newLines();
        const bool forcedLogoff = lines.contains(QStringLiteral("email: 3 send errors-triggering logoff"));
        QCOMPARE(forcedLogoff, i == 3);
        QCOMPARE(lines.first(), fails.at(i) ? QStringLiteral("email: timeout") : QStringLiteral("email: sent mapi"));
        if (fails.at(i))
            QCOMPARE(lines.at(1), QStringLiteral("Error #-5 send refused"));
    }
    QCOMPARE(m_channel->mapiSendErrors(), qint16(0));
}

void MapiChannelTest::sendWithoutSession_failsAndLoadsWindowForLogoff()
{
    m_channel->setMapiSubject(QStringLiteral("IPO: "));
    for (int n = 1; n <= 2; ++n) {
        m_channel->SendMapiMail();
        QCOMPARE(newLines(), (QStringList{QStringLiteral("email: timeout"),
                                          QStringLiteral("Error # 1001 there is no mail session; log on first")}));
        QVERIFY(!m_channel->isLoaded());
    }
    m_channel->SendMapiMail();
    // No session to log off: LOGOFF stops before its line; the re-logon still runs.
    QCOMPARE(newLines().mid(2), (QStringList{QStringLiteral("email: 3 send errors-triggering logoff"),
                                             QStringLiteral("email: attempting to re-logon"),
                                             QStringLiteral("email: re-logon OK")}));
    QVERIFY(m_channel->isLoaded());
    QVERIFY(m_channel->hasSession());
    QVERIFY(!m_state.MapiLoggedOn);
}

void MapiChannelTest::settings_readWithDefaultWrittenOnlyAtUnload()
{
    QSignalSpy unloaded(m_channel.get(), &MapiChannel::unloaded);
    m_channel->load();
    QCOMPARE(m_channel->text1(), MailSettings::DefaultMapiTo);
    QVERIFY(!m_settings->contains(MailSettings::MapiTo));

    m_channel->setText1(QStringLiteral(" edited@example.com "));
    QVERIFY(!m_settings->contains(MailSettings::MapiTo));
    QVERIFY(m_channel->press(MapiChannel::Button::Command5));
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!m_channel->isLoaded());
    QCOMPARE(m_settings->read(MailSettings::MapiTo, QString()), QStringLiteral(" edited@example.com "));

    m_settings->write(MailSettings::MapiTo, QStringLiteral("changed elsewhere"));
    m_channel->unload();
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(m_settings->read(MailSettings::MapiTo, QString()), QStringLiteral("changed elsewhere"));
    m_channel->load();
    QCOMPARE(m_channel->text1(), QStringLiteral("changed elsewhere"));
}

void MapiChannelTest::settings_storedEmptyStaysEmpty()
{
    m_settings->write(MailSettings::MapiTo, QString());
    m_channel->load();
    QCOMPARE(m_channel->text1(), QString());
    m_channel->unload();
    QVERIFY(m_settings->contains(MailSettings::MapiTo));
    QCOMPARE(m_settings->read(MailSettings::MapiTo, QStringLiteral("default")), QString());
}

void MapiChannelTest::logoffAtExit_releasesSilently_data()
{
    QTest::addColumn<bool>("logoffFails");
    QTest::newRow("logoff works") << false;
    QTest::newRow("logoff fails") << true;
}

void MapiChannelTest::logoffAtExit_releasesSilently()
{
    QFETCH(bool, logoffFails);
    logOn();
    if (logoffFails)
        m_fake.failing.insert(QStringLiteral("Logoff"), {7, QStringLiteral("busy")});
    m_channel->logoffAtExit();
    QCOMPARE(m_fake.calls, QStringList{QStringLiteral("Logoff")});
    QVERIFY(!m_channel->hasSession());
    QVERIFY(newLines().isEmpty());
    m_channel->logoffAtExit();
    QCOMPARE(m_fake.calls.size(), 1);
}

QTEST_GUILESS_MAIN(MapiChannelTest)
#include "tst_mapi_channel.moc"
