#include "SmtpEventLog.h"
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/TestCertificates.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using Reply = FakeSmtpServer::Reply;
using Script = QList<Reply>;
Q_DECLARE_METATYPE(FakeSmtpServer::Reply)

namespace {
const QString Password = QStringLiteral("Pa55-w0rd:s3cret");
// Real servers on loopback, one per kind, started once.
enum Server { StartTlsLogin, TlsLoginOnly, StartTlsOtherCa, PlainOnly, ServerCount };

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Every form in which the password could leak into a text.
bool leaksPassword(const QStringList& events, const QString& password)
{
    const QByteArray plain = "\0joe\0" + password.toUtf8();
    const QStringList forms{password, QString::fromLatin1(password.toUtf8().toBase64()),
                            QString::fromLatin1(QByteArray(plain.constData(), plain.size()).toBase64())};
    for (const QString& event : events) {
        for (const QString& form : forms) {
            if (event.contains(form))
                return true;
        }
    }
    return false;
}
} // namespace

class TestSmtpTls final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tlsServer_mailWithCopiesAndAttachmentsArrivesIntact_data();
    void tlsServer_mailWithCopiesAndAttachmentsArrivesIntact();
    void refusedSecurity_endsThroughErrorAndNothingIsSent_data();
    void refusedSecurity_endsThroughErrorAndNothingIsSent();
    void stalledHandshake_endsAtTheHandshakeLimit_data();
    void stalledHandshake_endsAtTheHandshakeLimit();
    void smtpsend_passwordFromEnvironmentOrFile_delivers_data();
    void smtpsend_passwordFromEnvironmentOrFile_delivers();

private:
    void prepare(Smtp& control, Server server, const QString& security) const;

    TestCertificates m_trusted;
    TestCertificates m_other;
    AiosmtpdServer m_servers[ServerCount];
    QTemporaryDir m_files;
};

void TestSmtpTls::initTestCase()
{
    QVERIFY2(m_trusted.generate(), qPrintable(m_trusted.errorString()));
    QVERIFY2(m_other.generate(), qPrintable(m_other.errorString()));
    const QString login = QStringLiteral("joe:") + Password;
    const AiosmtpdServer::Options options[ServerCount] = {
        {"starttls", m_trusted.serverCertificatePath(), m_trusted.serverKeyPath(), login, false},
        {"implicit", m_trusted.serverCertificatePath(), m_trusted.serverKeyPath(), login, true},
        {"starttls", m_other.serverCertificatePath(), m_other.serverKeyPath(), {}, false},
        {},
    };
    for (int i = 0; i < ServerCount; ++i)
        QVERIFY2(m_servers[i].start(options[i]), qPrintable(m_servers[i].errorString()));
}

void TestSmtpTls::prepare(Smtp& control, Server server, const QString& security) const
{
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(m_servers[server].port());
    control.setMailFrom(QStringLiteral("alerts@example.org"));
    control.setMailTo(QStringLiteral("investor@example.org"));
    control.setSubject(QStringLiteral("IPO: test"));
    control.setMessage(QStringLiteral("Body"));
    control.setSecurity(security);
    control.setCaFile(m_trusted.caPath());
    control.setReplyTimeout(15);
}

void TestSmtpTls::tlsServer_mailWithCopiesAndAttachmentsArrivesIntact_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("auth"); // the method the server saw
    QTest::newRow("STARTTLS, AUTH PLAIN") << int(StartTlsLogin) << "starttls"
                                          << "PLAIN";
    QTest::newRow("implicit TLS, AUTH LOGIN only") << int(TlsLoginOnly) << "tls"
                                                   << "LOGIN";
}

void TestSmtpTls::tlsServer_mailWithCopiesAndAttachmentsArrivesIntact()
{
    QFETCH(int, server);
    QFETCH(QString, security);
    QFETCH(QString, auth);
    QStringList files;
    QStringList hashes;
    for (const int size : {300000, 58}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(QRandomGenerator::global()->bounded(256));
        QFile file(m_files.filePath(QStringLiteral("%1-%2.bin").arg(security).arg(size)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == size);
        files.append(file.fileName());
        hashes.append(sha256(bytes));
    }
    AiosmtpdServer& sink = m_servers[server];
    const qsizetype before = sink.messages().size();
    Smtp control;
    prepare(control, Server(server), security);
    control.setUserName(QStringLiteral("joe"));
    control.setPassword(Password);
    control.setCCAddress(QStringLiteral("copy@example.org"));
    control.setAttachmentFile(files.join(QLatin1Char(';')));
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected"), 30000));
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")), QStringList());
    QCOMPARE(log.mainEvents().count(QStringLiteral("Sent")), 2);
    QVERIFY(!leaksPassword(log.events, Password));
    QVERIFY(log.events.contains(auth == u"PLAIN" ? QStringLiteral("Status:AUTH PLAIN ****\r\n")
                                                 : QStringLiteral("Status:AUTH LOGIN\r\n")));

    QVERIFY(sink.waitForMessages(int(before) + 2, 10000));
    const QStringList recipients{QStringLiteral("investor@example.org"), QStringLiteral("copy@example.org")};
    for (int i = 0; i < 2; ++i) {
        const AiosmtpdServer::Message message = sink.messages().at(before + i);
        QCOMPARE(message.rcptTos, QStringList{recipients[i]});
        QVERIFY(message.tls);
        QCOMPARE(message.auth, auth);
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py"), message.path});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject mail = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        QCOMPARE(mail[u"cc"].toString(), QStringLiteral("copy@example.org"));
        QCOMPARE(mail[u"text"].toString(), QStringLiteral("Body\r\n"));
        const QJsonArray parts = mail[u"parts"].toArray();
        QCOMPARE(parts.size(), 2);
        for (int p = 0; p < 2; ++p) {
            QCOMPARE(parts[p][u"filename"].toString(), QFileInfo(files[p]).fileName());
            QCOMPARE(parts[p][u"sha256"].toString(), hashes[p]);
        }
    }
}

void TestSmtpTls::refusedSecurity_endsThroughErrorAndNothingIsSent_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("error");
    const QString ca = QStringLiteral("trusted");
    QTest::newRow("certificate of an unknown CA")
        << int(StartTlsOtherCa) << "starttls"
        << "" << ca
        << "The SMTP server's certificate is not trusted: The issuer certificate of a locally looked up certificate";
    QTest::newRow("only the system's trust store") << int(TlsLoginOnly) << "tls" << Password << ""
                                                   << "The SMTP server's certificate is not trusted: ";
    QTest::newRow("wrong password") << int(StartTlsLogin) << "starttls"
                                    << "wrong-" + Password << ca << "The SMTP server refused the login : 535 ";
    QTest::newRow("STARTTLS not offered")
        << int(PlainOnly) << "starttls"
        << "" << ca << "The SMTP server does not offer STARTTLS; the mail is not sent";
    QTest::newRow("implicit TLS to a plain server") << int(PlainOnly) << "tls"
                                                    << "" << ca << "The TLS handshake with the SMTP server failed: ";
    QTest::newRow("login required, none given") << int(StartTlsLogin) << "starttls"
                                                << "" << ca << "Error from SMTP Server : 530 ";
    QTest::newRow("CaFile without a certificate")
        << int(StartTlsLogin) << "starttls" << Password << SMTP_TESTS_DIR "/mime_parts.py"
        << "holds no readable PEM certificate";
}

void TestSmtpTls::refusedSecurity_endsThroughErrorAndNothingIsSent()
{
    QFETCH(int, server);
    QFETCH(QString, security);
    QFETCH(QString, password);
    QFETCH(QString, caFile);
    QFETCH(QString, error);
    const int before = int(m_servers[server].messages().size());
    Smtp control;
    prepare(control, Server(server), security);
    control.setCaFile(caFile == u"trusted" ? m_trusted.caPath() : caFile);
    if (!password.isEmpty()) {
        control.setUserName(QStringLiteral("joe"));
        control.setPassword(password);
    }
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Error:"), 20000));
    QTest::qWait(300);
    const QStringList errors = log.withPrefix(QStringLiteral("Error:"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(error), qPrintable(errors.first()));
    QVERIFY(!log.mainEvents().contains(QStringLiteral("Sent")));
    QVERIFY(!control.SendMail());
    QVERIFY(!leaksPassword(log.events, password.isEmpty() ? Password : password));
    QCOMPARE(m_servers[server].messages().size(), before);
}

void TestSmtpTls::stalledHandshake_endsAtTheHandshakeLimit_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<Script>("script");
    QTest::newRow("implicit TLS") << "tls" << Script{Reply::silent()};
    QTest::newRow("STARTTLS") << "starttls"
                              << Script{Reply::text("220 fake ready\r\n"), Reply::text("250-fake\r\n250 STARTTLS\r\n"),
                                        Reply::text("220 go ahead\r\n"), Reply::silent()};
}

// The server takes the connection, then never answers the client's hello.
void TestSmtpTls::stalledHandshake_endsAtTheHandshakeLimit()
{
    QFETCH(QString, security);
    QFETCH(Script, script);
    FakeSmtpServer server;
    server.setScript(script);
    QVERIFY(server.listen());
    Smtp control;
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(server.port());
    control.setMailFrom(QStringLiteral("a@example.org"));
    control.setMailTo(QStringLiteral("b@example.org"));
    control.setSecurity(security);
    control.setTlsHandshakeTimeout(1);
    SmtpEventLog log(control);
    QElapsedTimer clock;
    clock.start();
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Error:"), 5000));
    QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")),
             QStringList{QStringLiteral("The TLS handshake with the SMTP server did not finish within 1 seconds")});
    QVERIFY(!log.mainEvents().contains(QStringLiteral("Sent")));
}

void TestSmtpTls::smtpsend_passwordFromEnvironmentOrFile_delivers_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QStringList>("arguments");
    QFile file(m_files.filePath(QStringLiteral("password")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Password.toUtf8() + "\n") > 0);
    QTest::newRow("STARTTLS, --password-env")
        << int(StartTlsLogin) << QStringList{"--tls", "starttls", "--password-env", "SMTP_TEST_PW"};
    QTest::newRow("implicit TLS, --password-file")
        << int(TlsLoginOnly) << QStringList{"--tls", "tls", "--password-file", file.fileName()};
}

void TestSmtpTls::smtpsend_passwordFromEnvironmentOrFile_delivers()
{
    QFETCH(int, server);
    QFETCH(QStringList, arguments);
    const int before = int(m_servers[server].messages().size());
    QProcess smtpsend;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SMTP_TEST_PW"), Password);
    smtpsend.setProcessEnvironment(environment);
    smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                   QStringList{"--server", QStringLiteral("127.0.0.1:%1").arg(m_servers[server].port()), "--from",
                               "a@example.org", "--to", "b@example.org", "--user", "joe", "--cafile",
                               m_trusted.caPath(), "--verbose"} +
                       arguments);
    smtpsend.write("Sent by smtpsend.\n");
    smtpsend.closeWriteChannel();
    QVERIFY(smtpsend.waitForFinished(60000));
    const QString output = QString::fromLatin1(smtpsend.readAllStandardError());
    QVERIFY2(smtpsend.exitCode() == 0, qPrintable(output));
    QVERIFY(!leaksPassword({output}, Password));
    QVERIFY(m_servers[server].waitForMessages(before + 1, 10000));
    QVERIFY(m_servers[server].messages().at(before).tls);
}

QTEST_GUILESS_MAIN(TestSmtpTls)
#include "tst_smtp_tls.moc"
