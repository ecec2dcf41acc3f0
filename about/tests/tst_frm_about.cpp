// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/FrmAbout.h"
#include "monitor/widgets/WindowManager.h"

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
        const QString current = work.filePath(QStringLiteral("my offer watch"));
        QVERIFY(QDir().mkpath(current) &&
                QFile(current + QStringLiteral("/Offerwatch.txt")).open(QIODevice::WriteOnly));
        QFile viewer(work.filePath(QStringLiteral("xdg-open")));
        QVERIFY(viewer.open(QIODevice::WriteOnly));
        viewer.write("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$*\" >> \"$0.txt\"\n");
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
        const auto launches = [&viewer] {
            QFile record(viewer.fileName() + QStringLiteral(".txt"));
            return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(launches(), QStringLiteral("1|%1/Offerwatch.txt\n").arg(current), 20000);
        QVERIFY(about.isVisible());
    }

    // The menu opens one box however often it is chosen; OK unloads it and the next choice loads it again.
    void menu_opensOneBox_okUnloadsIt_nextMenuLoadsItAgain()
    {
        WindowManager windows(true);
        QPointer<FrmAbout> about;
        int loads = 0;
        windows.setAboutBoxFactory([&] {
            ++loads;
            about = new FrmAbout(QStringLiteral(" Build 1"), nullptr);
            about->setAttribute(Qt::WA_DeleteOnClose);
            return about.data();
        });
        windows.showAboutBox();
        windows.showAboutBox();
        QVERIFY(loads == 1 && about && about->isVisible());
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QTRY_VERIFY(!about);
        windows.showAboutBox();
        QCOMPARE(loads, 2);
        windows.unloadAllWindows();
    }
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frm_about.moc"
