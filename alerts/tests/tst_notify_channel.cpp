// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/NotifyChannel.h"
#include "monitor/ActionLog.h"
#include "platform/DesktopNotifier.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LogLines.h"
#include "testsupport/ScratchSettings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLocalServer>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// A notification service of the test's own on the test's own bus: it records every
// Notify call, and answers it or, when told to, never does.
class NotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QVariantList> calls;
    bool answers = true;
    QStringList capabilities;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout, const QDBusMessage& message)
    {
        calls << QVariantList{app,     replaces, icon,
                              summary, body,     actions,
                              hints.value(u"desktop-entry"_s), hints.value(u"urgency"_s).value<uchar>(), timeout};
        if (!answers)
            message.setDelayedReply(true);
        return uint(calls.size());
    }
};
} // namespace

class NotifyChannelTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_bus;
    NotificationService m_service;
    std::unique_ptr<QDBusConnection> m_serviceConnection;

private Q_SLOTS:
    void initTestCase()
    {
        // A bus of the test's own that starts no services, so no desktop's notifier answers.
        QVERIFY(m_dir.isValid());
        QFile config(m_dir.filePath(u"bus.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=" + QFile::encodeName(m_dir.path())
                     + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        m_bus.start(u"dbus-daemon"_s, {u"--config-file="_s + config.fileName(), u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY2(m_bus.waitForStarted(5000), "dbus-daemon is needed (package dbus-daemon)");
        QVERIFY(m_bus.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        m_serviceConnection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, u"service"_s));
        QVERIFY(m_serviceConnection->isConnected());
        QVERIFY(m_serviceConnection->registerObject(u"/org/freedesktop/Notifications"_s, &m_service,
                                                    QDBusConnection::ExportAllSlots));
    }
    void cleanupTestCase()
    {
        m_serviceConnection.reset();
        QDBusConnection::disconnectFromBus(u"service"_s);
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // Shown, missing, silent: what reaches the service, what the log says, that an unanswered
    // call, or a bus that takes the connection and never answers, ends in time while the
    // program goes on, and what a click on a shown one does.
    void notify_throughTheSessionBus_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QStringList>("logged");
        const QStringList shown{u"notify: shown"_s, u"notify: shown"_s};
        QTest::newRow("service answers") << u"answers"_s << shown;
        QTest::newRow("service reads body markup") << u"reads markup"_s << shown;
        QTest::newRow("no service") << u"none"_s << QStringList{u"notify: error, "_s};
        QTest::newRow("service never answers") << u"never answers"_s << QStringList{u"notify: error, "_s};
        QTest::newRow("silent bus") << u"behind a silent bus"_s
                                    << QStringList{u"notify: error, the session bus did not answer within 2 seconds"_s};
    }
    void notify_throughTheSessionBus()
    {
        QFETCH(QString, service);
        QFETCH(QStringList, logged);
        const bool silentBus = service == u"behind a silent bus"_s;
        const bool registered = service != u"none"_s && !silentBus;
        const bool answers = service != u"never answers"_s;
        const bool markup = service == u"reads markup"_s;
        QLocalServer silent; // takes the connection and never says a word
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const auto restore = qScopeGuard([&bus] { qputenv("DBUS_SESSION_BUS_ADDRESS", bus); });
        if (silentBus) {
            QVERIFY(silent.listen(m_dir.filePath(u"silent"_s)));
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(silent.fullServerName()));
        }
        const QString name = u"org.freedesktop.Notifications"_s;
        if (registered)
            QVERIFY(m_serviceConnection->registerService(name));
        else
            m_serviceConnection->unregisterService(name);
        m_service.calls.clear();
        m_service.answers = answers;
        m_service.capabilities = markup ? QStringList{u"body"_s, u"body-markup"_s} : QStringList{u"body"_s};
        FakeClock clock;
        ActionLog log(clock);
        ScratchSettings settings;
        FreedesktopNotifier notifier;
        NotifyChannel channel(log, *settings, notifier);
        QTRY_COMPARE_WITH_TIMEOUT(channel.isOn(), registered, 3000);
        const QString hostile = u"<b>S&P</b> <a href=\"x\">A</a> (S-1)"_s;
        const Alert alert{
            Alert::TickersSubject, u" ABCD (go-now)  XYZ (closed)  "_s + hostile, {hostile, u"XYZ (closed)"_s}, {}, {}};
        QElapsedTimer timer;
        timer.start();
        channel.send(alert);
        channel.send({u"Offerwatch: the watched page failed 3 times in a row"_s, u"url\ndetail"_s, {}, {}, {}});
        // Sending never waits for the bus: the poll cycle goes on at once.
        QVERIFY(timer.elapsed() < 500);
        QTRY_VERIFY_WITH_TIMEOUT(screenMessages(*log.screen()).size() >= logged.size(), 8000);
        QTest::qWait(answers ? 200 : 5500); // the second failure must stay quiet
        const QStringList messages = screenMessages(*log.screen());
        QCOMPARE(messages.size(), logged.size());
        for (qsizetype i = 0; i < logged.size(); ++i)
            QVERIFY2(messages[i].startsWith(logged[i]), qPrintable(messages[i]));
        QVERIFY(timer.elapsed() < 12'000);
        if (!registered)
            return;
        QCOMPARE(m_service.calls.size(), 2);
        const QString body = (markup ? hostile.toHtmlEscaped() : hostile) + u"\nXYZ (closed)"_s;
        const QVariant entry = u"io.github.offerwatch.offerwatch"_s;
        QCOMPARE(m_service.calls.first(),
                 (QVariantList{u"Offerwatch"_s, 0u, u"offerwatch"_s, u"Offerwatch: 2 new offerings"_s, body,
                               QStringList{u"default"_s, u"Show Offerwatch"_s}, entry, uchar(1), -1}));
        // A health alert is critical.
        QCOMPARE(m_service.calls.last().at(7), QVariant(uchar(2)));
        if (!answers)
            return;

        // A click on our notification asks for the main window; one on another program's does not.
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        for (const uint id : {uint(999), uint(m_service.calls.size())}) {
            QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                                             u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s);
            signal << id << u"default"_s;
            QVERIFY(m_serviceConnection->send(signal));
        }
        QVERIFY(activated.wait(5000));
        QTest::qWait(200);
        QCOMPARE(activated.count(), 1);
    }
};

QTEST_GUILESS_MAIN(NotifyChannelTest)
#include "tst_notify_channel.moc"
