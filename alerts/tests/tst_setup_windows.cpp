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
#include "testsupport/LogLines.h"
#include "testsupport/MemorySecretStore.h"
#include "testsupport/RecordingPrompt.h"
#include "testsupport/ScratchSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// What a setup window works on.
struct Fixture {
    FakeClock clock;
    MailSwitch mailSwitch;
    ActionLog log{clock};
    RecordingPrompt prompt;
    ScratchSettings settings;
    MailContext mail{mailSwitch, log, prompt, *settings};
    QStringList messages() const { return screenMessages(*log.screen()); }
};

// A button by its name or, for one the window made itself, by its caption.
QPushButton* button(QWidget& window, const QString& nameOrCaption)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->objectName() == nameOrCaption || button->text() == nameOrCaption)
            return button;
    return nullptr;
}

void operate(QWidget& window, const QString& control, const QString& typed = {})
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
    QPushButton* pressed = button(window, control);
    QVERIFY2(pressed && pressed->isEnabled(), qPrintable(control));
    QTest::mouseClick(pressed, Qt::LeftButton);
}

struct WizardRow {
    QString control;
    QString logged;
    QString started;
    bool visible;
};
} // namespace

// Every control of the setup windows reaches the logic behind it.
class SetupWindowsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    void wizard_data()
    {
        QTest::addColumn<WizardRow>("row");
        QTest::newRow("first mail system") << WizardRow{u"Command2"_s, u"button: email smtp setup"_s, u"smtp"_s, false};
        QTest::newRow("second mail system")
            << WizardRow{u"Command1"_s, u"button: email mapi setup"_s, u"mapi"_s, false};
        QTest::newRow("third mail system") << WizardRow{u"RELAY"_s, u"button: email relay setup"_s, u"relay"_s, false};
        QTest::newRow("Test Alarm") << WizardRow{u"Command4"_s, {}, u"alarm"_s, true};
        QTest::newRow("OK") << WizardRow{u"Command3"_s, {}, {}, false};
        QTest::newRow("name new offerings") << WizardRow{u"Check1"_s, {}, u"names off"_s, true};
        QTest::newRow("mail at start") << WizardRow{u"Check2"_s, {}, u"at start on"_s, true};
    }
    // The first two mail systems fill the form's frames, the first on the left (Command2); a
    // third gets a frame of its own below them, and what stood below the frames moves below it.
    void wizard()
    {
        QFETCH(WizardRow, row);
        Fixture f;
        QString started;
        QList<FrmMail::MailSystem> systems;
        for (const QString& name : {u"smtp"_s, u"mapi"_s, u"relay"_s})
            systems.append({name, name.toUpper(), name + u" is"_s, [&started, name] { started = name; }});
        FrmMail wizard(f.log, {systems, [&] { started = u"alarm"_s; }, [] { return true; },
                               [&](bool on) { started = on ? u"names on"_s : u"names off"_s; }, [] { return false; },
                               [&](bool on) { started = on ? u"at start on"_s : u"at start off"_s; }});
        QVERIFY(button(wizard, u"RELAY"_s));
        const int thirdAt = button(wizard, u"RELAY"_s)->mapTo(&wizard, QPoint()).y();
        QVERIFY(thirdAt > button(wizard, u"Command1"_s)->mapTo(&wizard, QPoint()).y());
        QVERIFY(wizard.findChild<QCheckBox*>(u"Check1"_s)->y() > thirdAt);
        wizard.show();
        operate(wizard, row.control);
        QCOMPARE(f.messages(), row.logged.isEmpty() ? QStringList() : QStringList{row.logged});
        QCOMPARE(started, row.started);
        QCOMPARE(wizard.isVisible(), row.visible);
    }

    // One user's way through the SMTP window; FINISH closes it and it goes with its close.
    void smtpWindow()
    {
        Fixture f;
        f.settings->setText(Setting::SmtpGateway, QString());
        MemorySecretStore secrets;
        SmtpChannel channel(f.mail, secrets);
        const QPointer<QWidget> window = new FrmSmtp(channel, QRect(0, 0, 250, 500));
        window->show();
        operate(*window, u"Command2"_s);
        QCOMPARE(channel.onOffCaption(), u"SMTP Email ON"_s);
        operate(*window, u"SendCommand"_s);
        QCOMPARE(f.prompt.boxes, QStringList{u"Offerwatch: You must setup steps 1 & 2 & 3 prior to testing"_s});
        operate(*window, u"Text1"_s, u"pager@example.com"_s);
        operate(*window, u"Text2"_s, u"relay.example:2525"_s);
        operate(*window, u"Text3"_s, u"me@example.com"_s);
        QCOMPARE(QStringList({channel.recipient(), channel.server(), channel.sender()}),
                 QStringList({u"pager@example.com"_s, u"relay.example:2525"_s, u"me@example.com"_s}));
        operate(*window, u"Command5"_s);
        QVERIFY(!channel.isLoaded());
        QTRY_VERIFY(window.isNull());
    }

    // One user's way through the local-mail window. Without a session object a logon
    // succeeds and a send fails and says so.
    void mapiWindow()
    {
        Fixture f;
        MapiChannel channel(f.mail, [] { return std::unique_ptr<MessagingSession>(); });
        const QPointer<QWidget> window = new FrmMAPI(channel, QRect(0, 0, 250, 500));
        window->show();
        operate(*window, u"Text1"_s, u"pager@example.com"_s);
        QCOMPARE(channel.recipient(), u"pager@example.com"_s);
        operate(*window, u"Command1"_s);
        QVERIFY(channel.isLoggedOn());
        operate(*window, u"Command2"_s);
        QCOMPARE(channel.onOffCaption(), u"MAPI Email ON"_s);
        operate(*window, u"Command3"_s);
        QCOMPARE(f.messages().last(3),
                 (QStringList{u"email: timeout"_s, u"Error # 1001 there is no mail session; log on first"_s,
                              u"email: test email sent"_s}));
        operate(*window, u"Command4"_s);
        QVERIFY(!channel.isLoggedOn());
        operate(*window, u"Command5"_s);
        QVERIFY(!channel.isLoaded());
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(SetupWindowsTest)
#include "tst_setup_windows.moc"
