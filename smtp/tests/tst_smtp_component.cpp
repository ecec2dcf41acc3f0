#include "platform/ComponentFactory.h"
#include "platform/SmtpControl.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {
const QString ProgId = QStringLiteral("DazoDarozeREdorovu.Smtp");

QString registryFile(const QTemporaryDir& home)
{
    return home.filePath(QStringLiteral("ComponentRegistry/components.ini"));
}

QString builtLibrary()
{
    return qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/libsmtp.so.1");
}
} // namespace

class TestSmtpComponent final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void unregistered_isFoundNextToProgramRegisteredAndCreated();
    void registered_isCreatedFromRegistryPath();
    void staleRegistryPath_fallsBackToSearch();
    void failures_giveClearErrors_data();
    void failures_giveClearErrors();
    void adapter_forwardsPropertiesMethodsAndEvents();
    void adapter_refusesObjectWithoutTheInterface();

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestSmtpComponent::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestSmtpComponent::cleanup()
{
    m_config.reset();
}

void TestSmtpComponent::unregistered_isFoundNextToProgramRegisteredAndCreated()
{
    QVERIFY(!QFile::exists(registryFile(*m_config)));
    QString error;
    std::unique_ptr<QObject> control(ComponentFactory().create(ProgId, nullptr, &error));
    QVERIFY2(control, qPrintable(error));
    QCOMPARE(control->metaObject()->className(), "Smtp");
    const QSettings registry(registryFile(*m_config), QSettings::IniFormat);
    QCOMPARE(registry.value(ProgId + QStringLiteral("/Library")).toString(),
             QFileInfo(builtLibrary()).canonicalFilePath());
}

void TestSmtpComponent::registered_isCreatedFromRegistryPath()
{
    // Registered to the built library while the search finds nothing.
    {
        QSettings registry(registryFile(*m_config), QSettings::IniFormat);
        registry.setValue(ProgId + QStringLiteral("/Library"), builtLibrary());
    }
    QString error;
    std::unique_ptr<QObject> control(ComponentFactory({m_config->path()}).create(ProgId, nullptr, &error));
    QVERIFY2(control, qPrintable(error));
}

void TestSmtpComponent::staleRegistryPath_fallsBackToSearch()
{
    {
        QSettings registry(registryFile(*m_config), QSettings::IniFormat);
        registry.setValue(ProgId + QStringLiteral("/Library"), m_config->filePath(QStringLiteral("gone/libsmtp.so.1")));
    }
    QString error;
    std::unique_ptr<QObject> control(
        ComponentFactory({qEnvironmentVariable("OFFERWATCH_BIN_DIR")}).create(ProgId, nullptr, &error));
    QVERIFY2(control, qPrintable(error));
    const QSettings registry(registryFile(*m_config), QSettings::IniFormat);
    QCOMPARE(registry.value(ProgId + QStringLiteral("/Library")).toString(),
             QFileInfo(builtLibrary()).canonicalFilePath());
}

void TestSmtpComponent::failures_giveClearErrors_data()
{
    QTest::addColumn<QString>("progId");
    QTest::addColumn<QString>("libraryContent"); // placed in the search folder; empty: none
    QTest::addColumn<QString>("expected");       // part of the error
    QTest::newRow("unknown ProgID") << QStringLiteral("Nobody.Nothing") << QString()
                                    << QStringLiteral("Nobody.Nothing is not registered");
    QTest::newRow("library missing") << ProgId << QString() << QStringLiteral("its library was not found");
    QTest::newRow("library broken") << ProgId << QStringLiteral("not an ELF file") << QStringLiteral("Cannot load");
}

void TestSmtpComponent::failures_giveClearErrors()
{
    QFETCH(QString, progId);
    QFETCH(QString, libraryContent);
    QFETCH(QString, expected);
    QTemporaryDir searchDir;
    if (!libraryContent.isEmpty()) {
        QFile fake(searchDir.filePath(QStringLiteral("libsmtp.so.1")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write(libraryContent.toLatin1());
    }
    QString error;
    QObject* object = ComponentFactory({searchDir.path()}).create(progId, nullptr, &error);
    QVERIFY(!object);
    QVERIFY2(error.contains(expected), qPrintable(error));
    SmtpControl control;
    QVERIFY(!control.isBound());
    control.setMailTo(QStringLiteral("x@y.org"));
    QCOMPARE(control.mailTo(), QString());
}

void TestSmtpComponent::adapter_forwardsPropertiesMethodsAndEvents()
{
    SmtpControl control;
    QString error;
    QVERIFY2(control.create(&error), qPrintable(error));
    QSignalSpy errors(&control, &SmtpControl::error);
    QSignalSpy notices(&control, &SmtpControl::propertyChanged);
    QSignalSpy busy(&control, &SmtpControl::busyState);

    control.setMailTo(QStringLiteral("   "));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().first().toString(), QStringLiteral("Please fill MailTo property"));
    control.setSubject(QStringLiteral("S"));
    control.setAttachmentFile(QStringLiteral(" /tmp/x "));
    control.setMailServerPort(2525);
    QCOMPARE(control.subject(), QStringLiteral("S"));
    QCOMPARE(control.attachmentFile(), QStringLiteral("/tmp/x"));
    QCOMPARE(control.mailServerPort(), 2525);
    QCOMPARE(control.replyTimeout(), 300);
    QCOMPARE(notices.size(), 3);

    const QVariantMap bag = control.writeProperties();
    QCOMPARE(bag.value(QStringLiteral("Subject")).toString(), QStringLiteral("S"));
    QCOMPARE(bag.size(), 8);
    QVERIFY(control.readProperties({{QStringLiteral("MailFrom"), QStringLiteral("me@x.org")}}));
    QCOMPARE(control.mailFrom(), QStringLiteral("me@x.org"));
    QVERIFY(!control.readProperties({{QStringLiteral("SendMail"), QStringLiteral("maybe")}}));

    // A send to a closed port fails through the adapter's own signals.
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(1);
    control.setMailTo(QStringLiteral("x@y.org"));
    control.setSendMail(true);
    QCOMPARE(busy.size(), 1);
    QVERIFY(QTest::qWaitFor([&] { return errors.size() >= 3; }, 10000));
    QCOMPARE(control.sendMail(), false);

    QWidget host;
    QWidget* face = control.createFace(&host);
    QVERIFY(face);
    QCOMPARE(face->size(), QSize(36, 36));
    QCOMPARE(face->parentWidget(), &host);
}

void TestSmtpComponent::adapter_refusesObjectWithoutTheInterface()
{
    SmtpControl control;
    auto* stranger = new QObject;
    QString error;
    QVERIFY(!control.attach(stranger, &error));
    QVERIFY2(error.contains(QLatin1String("SendMail")), qPrintable(error));
    QVERIFY(!control.isBound());
    delete stranger;
}

QTEST_MAIN(TestSmtpComponent)
#include "tst_smtp_component.moc"
