// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Settings.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0;
}
} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"Offerwatch/Offerwatch.ini"_s);
    }

    void roundTrip_keepsGroupsEmptyTextsAndSignalsChanges()
    {
        {
            Settings settings(m_path);
            QVERIFY(settings.loadProblem().isEmpty());
            QSignalSpy changed(&settings, &Settings::changed);
            settings.setText(Setting::SmtpTo, u"pager@example.com"_s);
            settings.setText(Setting::SmtpFrom, QString());
            settings.setText(Setting::WatchUrl, u"https://example.com/a b?c=1;d"_s);
            settings.setText(Setting::SmtpTo, u"pager@example.com"_s); // unchanged: no signal
            QCOMPARE(changed.count(), 3);
        }
        const QByteArray file = readAll(m_path);
        QVERIFY(file.startsWith("[General]\n") && file.contains("SMTP.to=pager@example.com\n"));
        QVERIFY(file.contains("[Watch]\n"));
        Settings again(m_path);
        QCOMPARE(again.text(Setting::SmtpTo), u"pager@example.com"_s);
        QCOMPARE(again.text(Setting::SmtpFrom), QString());
        QCOMPARE(again.text(Setting::WatchUrl), u"https://example.com/a b?c=1;d"_s);
        QVERIFY(!again.contains(Setting::MapiTo));
        // Typed reads: what is no "on", "off" or count reads as the key's default.
        again.setText(Setting::WatchFailAlert, u"-4"_s);
        again.setText(Setting::MailAtStart, u"yes"_s);
        QCOMPARE(again.count(Setting::WatchFailAlert), 3);
        QVERIFY(!again.isOn(Setting::MailAtStart));
    }

    // A file the program cannot trust gives the defaults and says why; writing back what
    // was read leaves it alone, and a real change keeps it beside the new file. A FIFO or
    // a device in its place is not even opened, for it would block.
    void badFile_givesDefaultsAndIsKeptUntilARealChange_data()
    {
        QTest::addColumn<QByteArray>("content"); // "FIFO" for one
        QTest::addColumn<QString>("reason");
        QTest::newRow("unclosed section") << QByteArray("[General\nSMTP.to=a@b\n") << u"damaged"_s;
        QTest::newRow("binary") << QByteArray("SMTP.to=a@b\n\0\1\2", 15) << u"not a text file"_s;
        QTest::newRow("not UTF-8") << QByteArray("[General]\nSMTP.to=\xff\xfe\n") << u"not UTF-8"_s;
        QTest::newRow("huge") << QByteArray(2 * 1024 * 1024, 'x') << u"larger than 1 MiB"_s;
        QTest::newRow("FIFO") << QByteArray("FIFO") << u"not a regular file"_s;
    }
    void badFile_givesDefaultsAndIsKeptUntilARealChange()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const bool fifo = content == "FIFO";
        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        QVERIFY(fifo ? ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0 : writeFile(m_path, content));
        QElapsedTimer timer;
        timer.start();
        Settings settings(m_path);
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY2(settings.loadProblem().contains(reason) && settings.loadProblem().contains(m_path),
                 qPrintable(settings.loadProblem()));
        QCOMPARE(settings.text(Setting::SmtpTo), Setting::SmtpTo.defaultValue.toString());
        if (fifo)
            return;
        settings.setText(Setting::SmtpTo, Setting::SmtpTo.defaultValue.toString());
        QCOMPARE(readAll(m_path), content);
        settings.setText(Setting::SmtpTo, u"me@example.com"_s);
        QCOMPARE(readAll(m_path + u".damaged"_s), content);
        QCOMPARE(Settings(m_path).text(Setting::SmtpTo), u"me@example.com"_s);
    }

    // A folder that is a file stands for any place the file cannot be written (root writes
    // read-only files).
    void unwritable_failedSaveIsReportedAndHoldsForTheRun()
    {
        QVERIFY(writeFile(QFileInfo(m_path).path(), "not a folder"));
        Settings settings(m_path);
        QVERIFY(settings.loadProblem().isEmpty());
        QSignalSpy failed(&settings, &Settings::saveFailed);
        settings.setText(Setting::SmtpTo, u"c@d"_s);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.first().first().toString().contains(u"not saved"_s));
        QCOMPARE(settings.text(Setting::SmtpTo), u"c@d"_s);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
