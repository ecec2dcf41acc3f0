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
    // The help file of the folder current at the moment of the click, not at load, goes to the
    // viewer as one argument, blanks and all.
    void help_logsThenOpensHelpFileOfCurrentDirectory()
    {
        QTemporaryDir work;
        const QString record = work.filePath(QStringLiteral("launches.txt"));
        const QString current = work.filePath(QStringLiteral("my offer watch"));
        QFile viewer(work.filePath(QStringLiteral("xdg-open")));
        QVERIFY(QDir().mkpath(current));
        QVERIFY(QFile(current + QStringLiteral("/Offerwatch.txt")).open(QIODevice::WriteOnly));
        QVERIFY(viewer.open(QIODevice::WriteOnly));
        viewer.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$*\" >> '%1'\n").arg(record).toUtf8());
        QVERIFY(viewer.setPermissions(viewer.permissions() | QFileDevice::ExeOwner));
        viewer.close();
        qputenv("PATH", work.path().toUtf8() + ':' + qgetenv("PATH"));

        const QString buildInfo = QStringLiteral(" Build 180 – Ünïcode");
        QStringList logged;
        FrmAbout about(buildInfo, [&logged](const QString& message) { logged << message; });
        about.show();
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label2"))->text(), buildInfo);
        QCOMPARE(about.pos(), QPoint(0, 0));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current));
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(logged, QStringList{QStringLiteral("about: Offerwatch.txt")});
        const auto launches = [&record] {
            QFile file(record);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(launches(), QStringLiteral("1|%1/Offerwatch.txt\n").arg(current), 20000);
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
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frm_about.moc"
