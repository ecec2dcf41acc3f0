// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DataFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class DataFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void locateIn_firstReadableFileWins_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("expected");
        QTest::newRow("current and installed") << QStringList{"current", "installed"} << QStringList{} << "current";
        QTest::newRow("only installed") << QStringList{"installed", "program"} << QStringList{} << "installed";
        QTest::newRow("a folder of that name") << QStringList{"program"} << QStringList{"current"} << "program";
        QTest::newRow("nowhere") << QStringList{} << QStringList{"installed"} << QString();
    }

    void locateIn_firstReadableFileWins()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QStringList searched;
        for (const QString& name : {u"current"_qs, u"installed"_qs, u"program"_qs}) {
            QVERIFY(QDir(root.path()).mkpath(name + (folders.contains(name) ? u"/Offerwatch.txt"_qs : QString())));
            QFile file(root.filePath(name + u"/Offerwatch.txt"_qs));
            QVERIFY(!files.contains(name) || file.open(QIODevice::WriteOnly));
            searched << root.filePath(name);
        }
        const QString found = DataFiles::locateIn(QStringLiteral("Offerwatch.txt"), searched);
        QCOMPARE(found, expected.isEmpty() ? QString() : root.filePath(expected + QStringLiteral("/Offerwatch.txt")));
    }
};

QTEST_GUILESS_MAIN(DataFilesTest)
#include "tst_data_files.moc"
