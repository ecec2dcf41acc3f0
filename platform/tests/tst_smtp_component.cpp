// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "platform/ComponentFactory.h"
#include "platform/SmtpControl.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// The program's side of the mail-sending control: finding and creating it by its
// ProgID, and the typed adapter in front of it.
class TestSmtpComponent final : public QObject {
    Q_OBJECT
    const QString ProgId = QString::fromLatin1(SmtpControl::ProgId);
    const QString BuiltLibrary = qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/libsmtp.so.1");
    std::unique_ptr<QTemporaryDir> m_config; // the per-user registry lives here

private Q_SLOTS:
    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    }

    void create_byProgId_data()
    {
        QTest::addColumn<QString>("progId");
        QTest::addColumn<QString>("registered"); // "built", "stale", "old" (built, in the old folder) or none
        QTest::addColumn<QString>("searchIn");   // "program" (the default), "bin" or "nowhere"
        QTest::addColumn<QByteArray>("fakeLibrary"); // placed where "nowhere" searches
        QTest::addColumn<QString>("error");          // part of the error; empty: created
        QTest::newRow("unregistered, found next to the program") << ProgId << "" << "program" << QByteArray() << "";
        QTest::newRow("registered, nowhere to search") << ProgId << "built" << "nowhere" << QByteArray() << "";
        QTest::newRow("registered in the old folder") << ProgId << "old" << "nowhere" << QByteArray() << "";
        QTest::newRow("stale registration, found by search") << ProgId << "stale" << "bin" << QByteArray() << "";
        QTest::newRow("unknown ProgID") << "Nobody.Nothing" << "" << "nowhere" << QByteArray() << "Nobody.Nothing is not registered";
        QTest::newRow("library missing") << ProgId << "" << "nowhere" << QByteArray() << "its library was not found";
        QTest::newRow("library broken") << ProgId << "" << "nowhere" << QByteArray("not an ELF file") << "Cannot load";
    }
    void create_byProgId()
    {
        QFETCH(QString, progId);
        QFETCH(QString, registered);
        QFETCH(QString, searchIn);
        QFETCH(QByteArray, fakeLibrary);
        QFETCH(QString, error);
        const QString key = ProgId + QStringLiteral("/Library");
        const QString registryFile = m_config->filePath(QStringLiteral("Offerwatch/components.ini"));
        const QString oldRegistryFile = m_config->filePath(QStringLiteral("ComponentRegistry/components.ini"));
        if (!registered.isEmpty()) {
            QSettings(registered == u"old" ? oldRegistryFile : registryFile, QSettings::IniFormat)
                .setValue(key, registered == u"stale" ? m_config->filePath(QStringLiteral("gone/libsmtp.so.1")) : BuiltLibrary);
        }
        QFile fake(m_config->filePath(QStringLiteral("libsmtp.so.1")));
        QVERIFY(fakeLibrary.isEmpty() || (fake.open(QIODevice::WriteOnly) && fake.write(fakeLibrary) == fakeLibrary.size()));
        fake.close();
        const ComponentFactory factory = searchIn == u"program"
            ? ComponentFactory()
            : ComponentFactory({searchIn == u"bin" ? qEnvironmentVariable("OFFERWATCH_BIN_DIR") : m_config->path()});
        QString got;
        std::unique_ptr<QObject> control(factory.create(progId, nullptr, &got));
        QVERIFY2(error.isEmpty() == bool(control) && got.contains(error), qPrintable(got));
        if (!control)
            return;
        QCOMPARE(control->metaObject()->className(), "Smtp");
        // A library found by search is registered for the next start, in the current folder only.
        const QSettings registry(registryFile, QSettings::IniFormat);
        QCOMPARE(QFileInfo(registry.value(key).toString()).canonicalFilePath(), QFileInfo(BuiltLibrary).canonicalFilePath());
        QVERIFY(!QFileInfo::exists(oldRegistryFile));
    }

};

QTEST_MAIN(TestSmtpComponent)
#include "tst_smtp_component.moc"
