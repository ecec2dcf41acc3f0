// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/TrayModel.h"
#include "monitor/WatchSetup.h"
#include "monitor/widgets/FrmMain.h"
#include "monitor/widgets/FrmWatch.h"
#include "monitor/widgets/TrayIcon.h"
#include "monitor/widgets/WindowManager.h"
#include "testsupport/MonitorFixture.h"
#include "testsupport/ScratchSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QtTest>

using namespace Qt::StringLiterals;

// Every control of the main window reaches the monitor's logic: a wrong connection
// shows as a missing log line or window call.
class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The viewer behind the log and help menus: one that does nothing.
        QVERIFY(m_bin.isValid());
        QFile viewer(m_bin.filePath(u"xdg-open"_s));
        QVERIFY(viewer.open(QIODevice::WriteOnly));
        viewer.write("#!/bin/sh\nexit 0\n");
        viewer.close();
        viewer.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", m_bin.path().toUtf8());
    }

    void control_reachesLogic_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("windowCall");
        QTest::newRow("START") << u"Command1"_s << QStringList{u"poll: started"_s} << QString();
        QTest::newRow("e-mail") << u"Command3"_s << QStringList{u"button: email setup"_s} << u"wizard"_s;
        QTest::newRow("browser") << u"Command4"_s << QStringList{u"browser: OFF"_s} << QString();
        QTest::newRow("alarm") << u"Command5"_s << QStringList{u"alarm: ON"_s} << QString();
        QTest::newRow("exclude") << u"Check1"_s << QStringList{u"exclude: OFF"_s} << QString();
        QTest::newRow("interval") << u"List2"_s << QStringList{u"interval:30"_s} << QString();
        QTest::newRow("wizard menu") << u"mnuEmail"_s << QStringList{u"menu: email setup"_s} << u"wizard"_s;
        QTest::newRow("view log") << u"mnuIPOlog"_s << QStringList{u"menu: viewed ipolog.txt"_s} << QString();
        QTest::newRow("delete log") << u"mnuDelLog"_s
                                    << QStringList{u"OFFERWATCH LOG CREATED"_s,
                                                   u"menu: previous ipolog.txt was deleted "_s}
                                    << QString();
        QTest::newRow("help") << u"mnuOfferwatch"_s << QStringList{u"menu: Offerwatch.txt"_s} << QString();
        QTest::newRow("about") << u"mnuAbout"_s << QStringList{u"menu: about"_s} << u"about"_s;
        QTest::newRow("watch settings") << u"mnuWatch"_s << QStringList{u"menu: watch settings"_s}
                                        << u"watch settings"_s;
        QTest::newRow("exit") << u"mnuExit"_s << QStringList{u"main: Exit Program."_s} << u"unload all"_s;
    }
    void control_reachesLogic()
    {
        QFETCH(QString, control);
        QFETCH(QStringList, logged);
        QFETCH(QString, windowCall);
        MonitorFixture f;
        FrmMain window(f.monitor);
        window.show();
        f.monitor.Form_Load(f.dir.path());
        f.windows.calls.clear();
        f.markLog();

        if (auto* button = window.findChild<QPushButton*>(control)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (auto* box = window.findChild<QCheckBox*>(control)) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        } else if (auto* list = window.findChild<QListWidget*>(control)) {
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Up, Qt::NoModifier); // 15 is selected; 30 is above it
        } else {
            auto* action = window.findChild<QAction*>(control);
            QVERIFY2(action, qPrintable(control));
            action->trigger();
        }
        QCOMPARE(f.messagesSinceMark(), logged);
        QCOMPARE(f.windows.calls, windowCall.isEmpty() ? QStringList() : QStringList{windowCall});
    }

    // What the logic shows comes back to the controls.
    void panel_isCopiedToControls()
    {
        MonitorFixture f;
        FrmMain window(f.monitor);
        f.monitor.Form_Load(f.dir.path());
        f.monitor.Command5_Click();
        f.monitor.panel().setEmailCaption(u"Email ON"_s);
        f.monitor.panel().setTickerText(u" ABCD (go-now)  "_s);
        QCOMPARE(window.findChild<QPushButton*>(u"Command5"_s)->text(), u"Alarm ON"_s);
        QCOMPARE(window.findChild<QPushButton*>(u"Command3"_s)->text(), u"Email ON"_s);
        QCOMPARE(window.findChild<QPlainTextEdit*>(u"Text3"_s)->toPlainText(), u" ABCD (go-now)  "_s);
        QVERIFY(!window.findChild<QPushButton*>(u"Command2"_s)->isEnabled());

        // Check Now is there only while monitoring waits for its next cycle.
        auto* checkNow = window.findChild<QAction*>(u"mnuCheckNow"_s);
        QVERIFY(!checkNow->isEnabled());
        f.monitor.Command1_Click();
        f.client.finishWithPage(u"<html></html>"_s);
        QVERIFY(checkNow->isEnabled());
        f.markLog();
        checkNow->trigger();
        QCOMPARE(f.messagesSinceMark().mid(0, 2), (QStringList{u"menu: check now"_s, u"poll: started"_s}));
        QVERIFY(!checkNow->isEnabled());
    }

    // Choosing EDGAR ticks two of its forms too; Try fetches what is typed without saving it.
    void watchWindow_reachesSetup_data()
    {
        QTest::addColumn<bool>("edgar");
        QTest::addColumn<QString>("url"); // typed, or empty
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("saved"); // the saved url afterwards
        QTest::addColumn<QString>("shown"); // start of the report box
        const QString old = u"https://old.example/page"_s, typed = u"https://new.example/ipo"_s;
        QTest::newRow("typed and saved") << false << typed << u"Command2"_s << typed << QString();
        QTest::newRow("bad address refused")
            << false << u"ftp://new.example/"_s << u"Command2"_s << old << u"Not saved: The address must be"_s;
        QTest::newRow("EDGAR keeps the typed address") << true << QString() << u"Command2"_s << old << QString();
        QTest::newRow("Try fetches without saving") << false << typed << u"Command1"_s << old << u"Fetching"_s;
        QTest::newRow("Cancel") << false << typed << u"Command3"_s << old << QString();
    }
    void watchWindow_reachesSetup()
    {
        QFETCH(bool, edgar);
        QFETCH(QString, url);
        QFETCH(QString, button);
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        ScratchSettings settings;
        WatchSettings old;
        old.url = QUrl(u"https://old.example/page"_s);
        QVERIFY(old.save(*settings, nullptr));
        FakePageClient client;
        WatchSetup setup(*settings, client);
        FrmWatch window(setup);
        window.show();
        if (edgar) {
            auto* combo = window.findChild<QComboBox*>(u"Combo1"_s);
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);
            QTest::mouseClick(window.findChild<QCheckBox*>(u"Check3"_s), Qt::LeftButton);
            QTest::mouseClick(window.findChild<QCheckBox*>(u"Check6"_s), Qt::LeftButton);
        }
        if (!url.isEmpty()) {
            auto* box = window.findChild<QLineEdit*>(u"Text1"_s);
            box->selectAll();
            QTest::keyClicks(box, url);
        }
        QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
        const WatchSettings now = WatchSettings::load(*settings);
        QCOMPARE(now.url.toString(), saved);
        QCOMPARE(now.forms, edgar ? QStringList({u"S-1"_s, u"424B4"_s}) : WatchSettings::DefaultForms);
        QCOMPARE(now.source == WatchSettings::Source::Edgar, edgar);
        QVERIFY(window.findChild<QPlainTextEdit*>(u"Text4"_s)->toPlainText().startsWith(shown));
        QCOMPARE(client.requested(), button == u"Command1"_s ? QList<QUrl>{QUrl(url)} : QList<QUrl>());
        QCOMPARE(window.isVisible(), button == u"Command1"_s || !shown.isEmpty());
    }

    // The tray shows the status colour, the last result and the next poll, and its
    // menu does what the main window's buttons do, no more.
    void tray_followsTheMonitorAndActsLikeTheButtons()
    {
        MonitorFixture f;
        FrmMain window(f.monitor);
        TrayModel model(f.monitor);
        TrayIcon tray(model, window);
        f.start();
        QCOMPARE(model.toolTip(), u"Offerwatch\nnot polled yet\nmonitoring is stopped"_s);
        const auto item = [&tray](const QString& text) {
            for (QAction* action : tray.menu()->actions())
                if (action->text() == text)
                    return action;
            return static_cast<QAction*>(nullptr);
        };
        item(u"STOP"_s)->trigger(); // disabled: nothing happens
        item(u"START"_s)->trigger();
        QCOMPARE(model.toolTip(), u"Offerwatch\nnot polled yet\npolling now"_s);
        QVERIFY(!item(u"START"_s)->isEnabled());
        f.client.finishWithPage(u"<A HREF=x?Ipo_Symbol=ABCD&Ipo_OfferType=1><IMG SRC=/images/go.gif>"_s);
        QCOMPARE(model.colour(), StatusColour::DarkRed);
        QCOMPARE(model.toolTip(), u"Offerwatch\npoll: ticker(s) found-  ABCD (go-now)\nnext poll at %1"_s.arg(
                                      f.monitor.poll().nextPollTime().time().toString(u"HH:mm:ss"_s)));
        item(u"Check Now"_s)->trigger();
        f.client.finishWithError(7, u"Host not found"_s);
        QCOMPARE(model.lastResult(), u"Error # 7 Host not found"_s);
        QCOMPARE(model.colour(), StatusColour::Orange);
        item(u"STOP"_s)->trigger();
        item(u"Exit"_s)->trigger();
        QCOMPARE(f.messagesSinceMark(),
                 (QStringList{u"poll: started"_s, u"poll: ticker(s) found-  ABCD (go-now)  "_s,
                              u"poll: waiting for next cycle"_s, u"menu: check now"_s, u"poll: started"_s,
                              u"web: timeout"_s, u"Error # 7 Host not found"_s, u"poll: waiting for next cycle"_s,
                              u"poll: stopped"_s, u"main: Exit Program."_s}));
    }

    // A menu opens one window however often it is chosen; once closed, the next choice makes a new one.
    void windowManager_opensOneWindowOfEachKind()
    {
        WindowManager windows(true);
        QPointer<QWidget> about;
        int made = 0;
        windows.setAboutBoxFactory([&] {
            ++made;
            about = new QWidget;
            about->setAttribute(Qt::WA_DeleteOnClose);
            return about.data();
        });
        windows.showAboutBox();
        windows.showAboutBox();
        QVERIFY(made == 1 && about && about->isVisible());
        about->close();
        QTRY_VERIFY(!about);
        windows.showAboutBox();
        QCOMPARE(made, 2);
        windows.unloadAllWindows();
        QTRY_VERIFY(!about);
    }

private:
    QTemporaryDir m_bin;
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
