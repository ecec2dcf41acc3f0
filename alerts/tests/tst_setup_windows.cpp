// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/MailSwitch.h"
#include "alerts/MapiChannel.h"
#include "alerts/SmtpChannel.h"
#include "alerts/widgets/FrmMAPI.h"
#include "alerts/widgets/FrmMail.h"
#include "alerts/widgets/FrmSmtp.h"
#include "monitor/ActionLog.h"
#include "testsupport/FakeClock.h"
#include "testsupport/MemorySecretStore.h"
#include "testsupport/LogLines.h"
#include "testsupport/RecordingPrompt.h"
#include "testsupport/ScratchSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// What a setup window works on, with a recorder of what its buttons started.
struct Fixture {
    FakeClock clock;
    MailSwitch mailSwitch;
    ActionLog log{clock};
    RecordingPrompt prompt;
    ScratchSettings settings;
    MailContext mail{mailSwitch, log, prompt, *settings};
    QStringList messages() const { return screenMessages(*log.screen()); }
};

void operate(QWidget& window, const QString& control, const QString& typed)
{
    if (auto* box = window.findChild<QLineEdit*>(control)) {
        box->selectAll();
        QTest::keyClicks(box, typed);
        return;
    }
    if (auto* box = window.findChild<QCheckBox*>(control)) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        return;
    }
    auto* button = window.findChild<QPushButton*>(control);
    QVERIFY2(button && button->isEnabled(), qPrintable(control));
    QTest::mouseClick(button, Qt::LeftButton);
}
} // namespace

// Every control of the setup windows reaches the logic behind it.
class SetupWindowsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    void wizard_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("visible");
        QTest::newRow("Internet Mail") << u"Command2"_s << QStringList{u"button: email smtp setup"_s} << u"smtp"_s
                                       << false;
        QTest::newRow("local mail") << u"Command1"_s << QStringList{u"button: email mapi setup"_s} << u"mapi"_s
                                    << false;
        QTest::newRow("Test Alarm") << u"Command4"_s << QStringList() << u"alarm"_s << true;
        QTest::newRow("OK") << u"Command3"_s << QStringList() << QString() << false;
        QTest::newRow("name new offerings") << u"Check1"_s << QStringList() << u"names off"_s << true;
        QTest::newRow("mail at start") << u"Check2"_s << QStringList() << u"at start on"_s << true;
    }
    void wizard()
    {
        QFETCH(QString, control);
        QFETCH(QStringList, logged);
        QFETCH(QString, opened);
        QFETCH(bool, visible);
        Fixture f;
        QString started;
        // The mail systems fill the frames in the order given: the first on the left (Command2).
        const QList<FrmMail::MailSystem> systems{{u"smtp"_s, u"Internet Mail"_s, u"SMTP is"_s, [&] { started = u"smtp"_s; }},
                                                 {u"mapi"_s, u"Local Mail System"_s, u"Local mail is"_s,
                                                  [&] { started = u"mapi"_s; }}};
        FrmMail wizard(f.log,
                       {systems, [&] { started = u"alarm"_s; }, [] { return true; },
                        [&](bool on) { started = on ? u"names on"_s : u"names off"_s; }, [] { return false; },
                        [&](bool on) { started = on ? u"at start on"_s : u"at start off"_s; }});
        wizard.show();
        QCOMPARE(wizard.findChild<QPushButton*>(u"Command2"_s)->text(), u"Internet Mail"_s);
        operate(wizard, control, {});
        QCOMPARE(f.messages(), logged);
        QCOMPARE(started, opened);
        QCOMPARE(wizard.isVisible(), visible);
    }

    // A mail system beyond the form's two frames gets a frame of its own, below them.
    void wizard_offersEveryMailSystemGiven()
    {
        Fixture f;
        QStringList opened;
        QList<FrmMail::MailSystem> systems;
        for (const QString& name : {u"smtp"_s, u"mapi"_s, u"relay"_s})
            systems.append({name, name.toUpper(), name + u" is"_s, [&opened, name] { opened << name; }});
        FrmMail wizard(f.log, {systems, {}, {}, {}, {}, {}});
        QPushButton* third = nullptr;
        for (QPushButton* button : wizard.findChildren<QPushButton*>())
            if (button->text() == u"RELAY"_s)
                third = button;
        QVERIFY(third);
        const int thirdAt = third->mapTo(&wizard, QPoint()).y();
        QVERIFY(thirdAt > wizard.findChild<QPushButton*>(u"Command1"_s)->mapTo(&wizard, QPoint()).y());
        // What stood below the frames is below the new one too.
        QVERIFY(wizard.findChild<QCheckBox*>(u"Check1"_s)->y() > thirdAt);
        wizard.show();
        QTest::mouseClick(third, Qt::LeftButton);
        QCOMPARE(opened, QStringList{u"relay"_s});
        QCOMPARE(f.messages(), QStringList{u"button: email relay setup"_s});
    }

    void smtpWindow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // recipient | server | sender | ON/OFF caption | loaded
        QTest::addColumn<QStringList>("boxes");
        const QString start = u"to@example.com |  | from@example.com | SMTP Email OFF | loaded"_s;
        QTest::newRow("recipient") << u"Text1"_s << u"pager@example.com"_s
                                   << u"pager@example.com |  | from@example.com | SMTP Email OFF | loaded"_s
                                   << QStringList();
        QTest::newRow("server") << u"Text2"_s << u"relay.example:2525"_s
                                << u"to@example.com | relay.example:2525 | from@example.com | SMTP Email OFF | loaded"_s
                                << QStringList();
        QTest::newRow("sender") << u"Text3"_s << u"me@example.com"_s
                                << u"to@example.com |  | me@example.com | SMTP Email OFF | loaded"_s << QStringList();
        QTest::newRow("Test without server")
            << u"SendCommand"_s << QString() << start
            << QStringList{u"Offerwatch: You must setup steps 1 & 2 & 3 prior to testing"_s};
        QTest::newRow("ON/OFF") << u"Command2"_s << QString()
                                << u"to@example.com |  | from@example.com | SMTP Email ON | loaded"_s << QStringList();
        QTest::newRow("FINISH") << u"Command5"_s << QString()
                                << u"to@example.com |  | from@example.com | SMTP Email OFF | unloaded"_s
                                << QStringList();
    }
    void smtpWindow()
    {
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QStringList, boxes);
        Fixture f;
        f.settings->setText(Setting::SmtpTo, u"to@example.com"_s);
        f.settings->setText(Setting::SmtpGateway, QString());
        f.settings->setText(Setting::SmtpFrom, u"from@example.com"_s);
        MemorySecretStore secrets;
        SmtpChannel channel(f.mail, secrets);
        auto* window = new FrmSmtp(channel, QRect(0, 0, 250, 500));
        const QPointer<QWidget> guard(window);
        window->show();
        operate(*window, control, typed);
        QCOMPARE(u"%1 | %2 | %3 | %4 | %5"_s.arg(channel.recipient(), channel.server(), channel.sender(),
                                                 channel.onOffCaption(),
                                                 channel.isLoaded() ? u"loaded"_s : u"unloaded"_s),
                 shown);
        QCOMPARE(f.prompt.boxes, boxes);
        if (channel.isLoaded())
            delete window;
        else
            QTRY_VERIFY(guard.isNull()); // closed, and gone with its close
    }

    void mapiWindow_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("lastLogged");
        QTest::addColumn<QString>("shown"); // logged on | recipient | ON/OFF caption | loaded
        QTest::newRow("LOGON") << false << u"Command1"_s << QString() << u"email: logon OK"_s
                               << u"yes | to@example.com | MAPI Email OFF | loaded"_s;
        QTest::newRow("recipient") << false << u"Text1"_s << u"pager@example.com"_s << QString()
                                   << u"no | pager@example.com | MAPI Email OFF | loaded"_s;
        QTest::newRow("ON/OFF") << true << u"Command2"_s << QString() << u"email: ON"_s
                                << u"yes | to@example.com | MAPI Email ON | loaded"_s;
        QTest::newRow("TEST") << true << u"Command3"_s << QString() << u"email: test email sent"_s
                              << u"yes | to@example.com | MAPI Email OFF | loaded"_s;
        QTest::newRow("LOGOFF") << true << u"Command4"_s << QString() << u"email: logon OK"_s
                                << u"no | to@example.com | MAPI Email OFF | loaded"_s;
        QTest::newRow("FINISH") << false << u"Command5"_s << QString() << QString()
                                << u"no | to@example.com | MAPI Email OFF | unloaded"_s;
    }
    void mapiWindow()
    {
        QFETCH(bool, loggedOn);
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QString, lastLogged);
        QFETCH(QString, shown);
        Fixture f;
        f.settings->setText(Setting::MapiTo, u"to@example.com"_s);
        // No session object: a logon succeeds, a send fails and says so.
        MapiChannel channel(f.mail, [] { return std::unique_ptr<MessagingSession>(); });
        auto* window = new FrmMAPI(channel, QRect(0, 0, 250, 500));
        const QPointer<QWidget> guard(window);
        window->show();
        if (loggedOn)
            QVERIFY(channel.press(MapiChannel::Button::Logon));
        operate(*window, control, typed);
        QCOMPARE(f.messages().value(f.messages().size() - 1), lastLogged);
        QCOMPARE(u"%1 | %2 | %3 | %4"_s.arg(channel.isLoggedOn() ? u"yes"_s : u"no"_s, channel.recipient(),
                                            channel.onOffCaption(), channel.isLoaded() ? u"loaded"_s : u"unloaded"_s),
                 shown);
        if (channel.isLoaded())
            delete window;
        else
            QTRY_VERIFY(guard.isNull()); // closed, and gone with its close
    }
};

QTEST_MAIN(SetupWindowsTest)
#include "tst_setup_windows.moc"
