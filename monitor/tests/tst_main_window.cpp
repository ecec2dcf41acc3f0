#include "monitor/widgets/FrmMain.h"
#include "testsupport/MonitorFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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
    }

private:
    QTemporaryDir m_bin;
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
