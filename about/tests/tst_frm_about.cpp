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
