#include "about/FrmAbout.h"
#include "monitor/Monitor.h"
#include "monitor/WindowManager.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
#include "testsupport/LogLines.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString BuildInfo = QStringLiteral(" Last Compile: April 2, 2000 - Build 179");

QStringList recordedLaunches(const QString& record)
{
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

FrmAbout* openAboutBox()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<FrmAbout*>(window))
            return about;
    }
    return nullptr;
}
} // namespace

class FrmAboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void load_showsBuildLineAndNamesAtTopLeft_data();
    void load_showsBuildLineAndNamesAtTopLeft();
    void help_logsThenOpensHelpFileOfCurrentDirectory_data();
    void help_logsThenOpensHelpFileOfCurrentDirectory();
    void ok_unloadsBox_nextAboutLoadsItAgain();

private:
    QTemporaryDir m_bin;
    QString m_record;
    QByteArray m_oldPath;
    QString m_oldCurrent;
};

void FrmAboutTest::initTestCase()
{
    // A viewer that writes down how it was called: argument count, then each argument.
    QVERIFY(m_bin.isValid());
    m_record = m_bin.filePath(QStringLiteral("launches.txt"));
    QFile fake(m_bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$*\" >> '%1'\n").arg(m_record).toUtf8());
    fake.close();
    QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
    m_oldPath = qgetenv("PATH");
    qputenv("PATH", m_bin.path().toUtf8() + ':' + m_oldPath);
    m_oldCurrent = QDir::currentPath();
}

void FrmAboutTest::cleanupTestCase()
{
    qputenv("PATH", m_oldPath);
    QDir::setCurrent(m_oldCurrent);
}

void FrmAboutTest::load_showsBuildLineAndNamesAtTopLeft_data()
{
    QTest::addColumn<QString>("buildInfo");
    QTest::newRow("the program's build line") << BuildInfo;
    QTest::newRow("empty") << QString();
    QTest::newRow("other text") << QStringLiteral(" Build 180 – Ünïcode");
}

void FrmAboutTest::load_showsBuildLineAndNamesAtTopLeft()
{
    QFETCH(QString, buildInfo);
    FrmAbout about(buildInfo, nullptr);
    about.show();
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label2"))->text(), buildInfo);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Offerwatch"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral(" Offerwatch  V2.0"));
    QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Label6"))->text().isEmpty());
    // 7212 by 3456 twips at 15 twips to the pixel.
    QCOMPARE(about.size(), QSize(481, 230));
    QCOMPARE(about.pos(), QPoint(0, 0));
    // Label1 is the frame's shadow: the same size, 8 pixels right and down, below it.
    const QRect shadow = about.findChild<QLabel*>(QStringLiteral("Label1"))->geometry();
    const QRect frame = about.findChild<QWidget*>(QStringLiteral("Frame1"))->geometry();
    QCOMPARE(shadow.topLeft(), frame.topLeft() + QPoint(8, 8));
    QCOMPARE(shadow.width(), frame.width());
}

void FrmAboutTest::help_logsThenOpensHelpFileOfCurrentDirectory_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("helpFilePresent");
    QTest::newRow("help file present") << QStringLiteral("run") << true;
    QTest::newRow("help file missing") << QStringLiteral("empty") << false;
    QTest::newRow("blanks in the path") << QStringLiteral("my offer watch") << true;
}

void FrmAboutTest::help_logsThenOpensHelpFileOfCurrentDirectory()
{
    QFETCH(QString, folder);
    QFETCH(bool, helpFilePresent);
    QFile::remove(m_record);
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkpath(folder));
    const QString current = work.filePath(folder);
    if (helpFilePresent) {
        QFile help(QDir(current).filePath(QStringLiteral("Offerwatch.txt")));
        QVERIFY(help.open(QIODevice::WriteOnly));
    }

    QStringList logged;
    FrmAbout about(BuildInfo, [&logged](const QString& message) { logged << message; });
    about.show();
    // The directory of the moment of the click counts, not the one at load.
    QVERIFY(QDir::setCurrent(current));
    QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);

    QCOMPARE(logged, QStringList{QStringLiteral("about: Offerwatch.txt")});
    const QString expected = QStringLiteral("1|") + QDir::currentPath() + QStringLiteral("/Offerwatch.txt");
    QTRY_COMPARE_WITH_TIMEOUT(recordedLaunches(m_record), QStringList{expected}, 20000);
    QVERIFY(about.isVisible());
    QVERIFY(QDir::setCurrent(m_oldCurrent));
}

void FrmAboutTest::ok_unloadsBox_nextAboutLoadsItAgain()
{
    QTemporaryDir dir;
    FakeClock clock;
    FakePageClient client;
    Monitor monitor(clock, client);
    WindowManager windows(true);
    int loads = 0;
    windows.setAboutBoxFactory([&monitor, &loads] {
        ++loads;
        auto* about = new FrmAbout(monitor.state().BuildInfo,
                                   [&monitor](const QString& message) { monitor.LogAction(message); });
        about->setAttribute(Qt::WA_DeleteOnClose);
        return about;
    });
    monitor.setWindowHost(&windows);
    monitor.Form_Load(dir.path());

    monitor.mnuAbout_Click();
    monitor.mnuAbout_Click();
    QCOMPARE(loads, 1);
    QPointer<FrmAbout> about = openAboutBox();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("Label2"))->text(), BuildInfo);

    QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QTRY_VERIFY(!about);
    monitor.mnuAbout_Click();
    QCOMPARE(loads, 2);

    QFile::remove(m_record);
    const QString current = QDir::currentPath();
    FrmAbout* again = openAboutBox();
    QVERIFY(again);
    QTest::mouseClick(again->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QStringList lines = screenMessages(*monitor.actionLog().screen());
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({QStringLiteral("menu: about"), QStringLiteral("about: Offerwatch.txt")}));
    QTRY_COMPARE_WITH_TIMEOUT(recordedLaunches(m_record),
                              QStringList{QStringLiteral("1|") + current + QStringLiteral("/Offerwatch.txt")},
                              20000);
    windows.unloadAllWindows();
}

QTEST_MAIN(FrmAboutTest)
#include "tst_frm_about.moc"
