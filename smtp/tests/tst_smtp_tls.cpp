// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpEventLog.h"
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/TestCertificates.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using Reply = FakeSmtpServer::Reply;
using Script = QList<Reply>;

namespace {
const QString Password = QStringLiteral("Pa55-w0rd:s3cret");
// Real servers on loopback, one of each kind, started once.
enum Server { StartTlsLogin, TlsLoginOnly, StartTlsOtherCa, PlainOnly, ServerCount };
// A scripted server that takes the connection, then never answers the client's TLS hello.
const Script StallingServer{Reply::text("220 fake\r\n"), Reply::text("250-fake\r\n250 STARTTLS\r\n"),
                            Reply::text("220 go ahead\r\n"), Reply::silent()};

// The password as typed, in AUTH LOGIN's Base64 or inside AUTH PLAIN's.
bool leaksPassword(const QStringList& texts, const QString& password)
{
    const QString text = texts.join(QLatin1Char('\n'));
    const QByteArray plain = QByteArray("\0joe\0", 5) + password.toUtf8();
    return text.contains(password) || text.contains(QString::fromLatin1(password.toUtf8().toBase64())) ||
           text.contains(QString::fromLatin1(plain.toBase64()));
}

// "name sha256" of each attachment as Python's email package decodes it, after the text and the CC line.
QStringList decoded(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py"), path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {QString::fromLatin1(python.readAllStandardError())};
    const QJsonObject mail = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    QStringList result{mail[u"text"].toString(), mail[u"cc"].toString()};
    for (const QJsonValue part : mail[u"parts"].toArray())
        result.append(part[u"filename"].toString() + u' ' + part[u"sha256"].toString());
    return result;
}
} // namespace

class TestSmtpTls final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tlsServer_copiesAndAttachmentsArriveIntact_data();
    void tlsServer_copiesAndAttachmentsArriveIntact();
    void refused_endsThroughErrorAndNothingIsSent_data();
    void refused_endsThroughErrorAndNothingIsSent();

private:
    void prepare(Smtp& control, quint16 port, const QString& security) const;

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

void TestSmtpTls::prepare(Smtp& control, quint16 port, const QString& security) const
{
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(port);
    control.setMailFrom(QStringLiteral("alerts@example.org"));
    control.setMailTo(QStringLiteral("investor@example.org"));
    control.setMessage(QStringLiteral("Body"));
    control.setSecurity(security);
    control.setCaFile(m_trusted.caPath());
    control.setReplyTimeout(15);
}

void TestSmtpTls::tlsServer_copiesAndAttachmentsArriveIntact_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("auth"); // the method the server saw
    QTest::newRow("STARTTLS, AUTH PLAIN") << int(StartTlsLogin) << "starttls"
                                          << "PLAIN";
    QTest::newRow("implicit TLS, AUTH LOGIN only") << int(TlsLoginOnly) << "tls"
                                                   << "LOGIN";
}

void TestSmtpTls::tlsServer_copiesAndAttachmentsArriveIntact()
{
    QFETCH(int, server);
    QFETCH(QString, security);
    QFETCH(QString, auth);
    // Text outside ASCII goes as 8bit to a server that offers 8BITMIME.
    const QString text = QStringLiteral("Soci\u00e9t\u00e9 G\u00e9n\u00e9rale \u65e5\u672c");
    QStringList files;
    QStringList expected{text + QStringLiteral("\r\n"), QStringLiteral("copy@example.org")};
    for (const int size : {300000, 58}) {
        QByteArray bytes(size, Qt::Uninitialized);
        std::generate(bytes.begin(), bytes.end(), [] { return char(QRandomGenerator::global()->bounded(256)); });
        QFile file(m_files.filePath(QStringLiteral("%1-%2.bin").arg(security).arg(size)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == size);
        files.append(file.fileName());
        expected.append(QFileInfo(file).fileName() + u' ' +
                        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }
    AiosmtpdServer& sink = m_servers[server];
    qsizetype before = sink.messages().size();
    Smtp control;
    prepare(control, sink.port(), security);
    control.setUserName(QStringLiteral("joe"));
    control.setPassword(Password);
    control.setCCAddress(QStringLiteral("copy@example.org"));
    control.setAttachmentFile(files.join(QLatin1Char(';')));
    control.setMessage(text);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Disconnected"), 30000));
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")), QStringList());
    QCOMPARE(log.mainEvents().count(QStringLiteral("Sent")), 2);
    QVERIFY(!leaksPassword(log.events, Password));
    QVERIFY(log.events.contains(auth == u"PLAIN" ? QStringLiteral("Status:AUTH PLAIN ****\r\n")
                                                 : QStringLiteral("Status:AUTH LOGIN\r\n")));

    QVERIFY(sink.waitForMessages(int(before) + 2, 10000));
    for (const QString& recipient : {QStringLiteral("investor@example.org"), QStringLiteral("copy@example.org")}) {
        const AiosmtpdServer::Message message = sink.messages().at(before++);
        QCOMPARE(message.rcptTos, QStringList{recipient});
        QVERIFY(message.tls);
        QCOMPARE(message.auth, auth);
        QCOMPARE(decoded(message.path), expected);
        QVERIFY(message.content.contains("charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n"));
    }
}

void TestSmtpTls::refused_endsThroughErrorAndNothingIsSent_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("password"); // with user "joe" when not empty
    QTest::addColumn<QString>("caFile");   // "" for the system's trust store only
    QTest::addColumn<QString>("error");
    const QString ca = m_trusted.caPath();
    const QString untrusted = QStringLiteral("The SMTP server's certificate is not trusted (unknown issuer); if the "
                                             "server uses your own CA, point SSL_CERT_FILE at its certificate (");
    QTest::newRow("unknown CA") << int(StartTlsOtherCa) << "starttls"
                                << "" << ca << untrusted + "The issuer certificate of a locally looked up certificate";
    QTest::newRow("system trust store only") << int(TlsLoginOnly) << "tls" << Password << "" << untrusted;
    QTest::newRow("wrong password") << int(StartTlsLogin) << "starttls" << "wrong-" + Password << ca
                                    << "The SMTP server refused the login : 535 5.7.8 Authentication credentials "
                                       "invalid: check the user name; many providers need an app password";
    QTest::newRow("no STARTTLS offered") << int(PlainOnly) << "starttls"
                                         << "" << ca << "The SMTP server does not offer STARTTLS; the mail is not sent";
    QTest::newRow("implicit TLS to a plain server")
        << int(PlainOnly) << "tls"
        << "" << ca << "The TLS handshake with the SMTP server failed: the server did not answer TLS on port ";
    QTest::newRow("CaFile not PEM") << int(StartTlsLogin) << "starttls" << Password << SMTP_TESTS_DIR "/mime_parts.py"
                                    << "CaFile \"" SMTP_TESTS_DIR "/mime_parts.py\" holds no readable PEM certificate";
    // A caFile of "SSL_CERT_FILE=..." sets that variable instead.
    QTest::newRow("SSL_CERT_FILE not PEM") << int(StartTlsLogin) << "starttls" << Password
                                           << "SSL_CERT_FILE=" SMTP_TESTS_DIR "/mime_parts.py"
                                           << "SSL_CERT_FILE \"" SMTP_TESTS_DIR "/mime_parts.py\" holds no readable "
                                              "PEM certificate; the mail is not sent";
    const QString stalled = QStringLiteral("The TLS handshake with the SMTP server did not finish within 1 seconds");
    QTest::newRow("handshake stalls, implicit TLS") << int(ServerCount) << "tls"
                                                    << "" << ca << stalled;
    QTest::newRow("handshake stalls after STARTTLS") << int(ServerCount) << "starttls"
                                                     << "" << ca << stalled;
}

void TestSmtpTls::refused_endsThroughErrorAndNothingIsSent()
{
    QFETCH(int, server);
    QFETCH(QString, security);
    QFETCH(QString, password);
    QFETCH(QString, caFile);
    QFETCH(QString, error);
    FakeSmtpServer stalling; // the row's server is ServerCount
    stalling.setScript(security == u"tls" ? Script{Reply::silent()} : StallingServer);
    QVERIFY(stalling.listen());
    const bool real = server < ServerCount;
    const qsizetype before = real ? m_servers[server].messages().size() : 0;
    Smtp control;
    prepare(control, real ? m_servers[server].port() : stalling.port(), security);
    const bool fromEnvironment = caFile.startsWith(u"SSL_CERT_FILE=");
    qputenv("SSL_CERT_FILE", fromEnvironment ? caFile.section(u'=', 1).toUtf8() : QByteArray());
    control.setCaFile(fromEnvironment ? QString() : caFile);
    if (!real)
        control.setTlsHandshakeTimeout(1);
    if (!password.isEmpty()) {
        control.setUserName(QStringLiteral("joe"));
        control.setPassword(password);
    }
    SmtpEventLog log(control);
    control.setSendMail(true);
    QVERIFY(log.waitFor(QStringLiteral("Error:"), 10000));
    QTest::qWait(300);
    const QStringList errors = log.withPrefix(QStringLiteral("Error:"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(error), qPrintable(errors.first()));
    QVERIFY(!log.mainEvents().contains(QStringLiteral("Sent")));
    QVERIFY(!control.SendMail());
    QVERIFY(!leaksPassword(log.events, password.isEmpty() ? Password : password));
    if (real)
        QCOMPARE(m_servers[server].messages().size(), before);
}

QTEST_GUILESS_MAIN(TestSmtpTls)
#include "tst_smtp_tls.moc"
