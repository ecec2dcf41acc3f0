// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/AppIcon.h"
#include "about/FrmAbout.h"
#include "monitor/Monitor.h"
#include "monitor/widgets/WindowManager.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class FrmAboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // A viewer that writes down how it was called: argument count, then the arguments.
        QVERIFY(m_bin.isValid());
        QFile fake(m_bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$*\" >> '%1'\n").arg(m_record).toUtf8());
        QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
        qputenv("PATH", m_bin.path().toUtf8() + ':' + m_oldPath);
    }

    void cleanupTestCase() { qputenv("PATH", m_oldPath); }
    // The help test moves into a folder of its own; every test starts from where the run began.
    void cleanup() { QVERIFY(QDir::setCurrent(m_oldCurrent)); }

    void help_logsThenOpensHelpFileOfCurrentDirectory_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("blanks in the path") << QStringLiteral("my offer watch");
    }

    void help_logsThenOpensHelpFileOfCurrentDirectory()
    {
        QFETCH(QString, folder);
        QFile::remove(m_record);
        QTemporaryDir work;
        const QString current = work.filePath(folder);
        QVERIFY(QDir().mkpath(current));
        QVERIFY(QFile(current + QStringLiteral("/Offerwatch.txt")).open(QIODevice::WriteOnly));

        const QString buildInfo = QStringLiteral(" Build 180 – Ünïcode");
        QStringList logged;
        FrmAbout about(buildInfo, [&logged](const QString& message) { logged << message; });
        about.show();
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label2"))->text(), buildInfo);
        QCOMPARE(about.pos(), QPoint(0, 0));
        // The directory of the moment of the click counts, not the one at load.
        QVERIFY(QDir::setCurrent(current));
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(logged, QStringList{QStringLiteral("about: Offerwatch.txt")});
        const QString launch = QStringLiteral("1|") + QDir::currentPath() + QStringLiteral("/Offerwatch.txt");
        QTRY_COMPARE_WITH_TIMEOUT(recordedLaunches(), QStringList{launch}, 20000);
        QVERIFY(about.isVisible());
    }

    void menu_opensOneBox_okUnloadsIt_nextMenuLoadsItAgain()
    {
        FakeClock clock;
        FakePageClient client;
        Monitor monitor(clock, client);
        WindowManager windows(true);
        QPointer<FrmAbout> about;
        int loads = 0;
        windows.setAboutBoxFactory([&] {
            ++loads;
            about = new FrmAbout(monitor.state().BuildInfo, nullptr);
            about->setAttribute(Qt::WA_DeleteOnClose);
            return about.data();
        });
        monitor.setWindowHost(&windows);

        monitor.mnuAbout_Click();
        monitor.mnuAbout_Click();
        QCOMPARE(loads, 1);
        QVERIFY(about && about->isVisible());
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QTRY_VERIFY(!about);
        monitor.mnuAbout_Click();
        QCOMPARE(loads, 2);
        windows.unloadAllWindows();
    }

    // The window list picks the size it needs; a missing one is scaled from a far one and blurs.
    void appIcon_holdsEverySizeOfTheIconTheme()
    {
        const QList<QSize> expected{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
        QList<QSize> sizes = appIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(sizes, expected);
    }

private:
    QStringList recordedLaunches() const
    {
        QFile file(m_record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_bin;
    const QString m_record = m_bin.filePath(QStringLiteral("launches.txt"));
    const QByteArray m_oldPath = qgetenv("PATH");
    const QString m_oldCurrent = QDir::currentPath();
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frm_about.moc"
