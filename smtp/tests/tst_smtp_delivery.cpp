// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpTestKit.h"
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/TestCertificates.h"

#include <QRegularExpression>

using SizeList = QList<int>;
using Reply = FakeSmtpServer::Reply;

namespace {
const QString Password = QStringLiteral("Pa55-w0rd:s3cret");
const QString Body = QStringLiteral("IPO: test - this is the message body");
const QString Accented = QStringLiteral("Soci\u00e9t\u00e9 G\u00e9n\u00e9rale Mini\u00e8re SA \u65e5\u672c =");
// Real servers on loopback, started once; Stalling stands for a scripted one that takes the
// connection, then never answers the client's TLS hello.
enum Server { Plain, StartTlsLogin, TlsLoginOnly, StartTlsOtherCa, Stalling };
const char* const Securities[] = {"none", "starttls", "tls", "starttls"};

// The password as typed, in AUTH LOGIN's Base64 or inside AUTH PLAIN's.
bool leaksPassword(const QStringList& texts, const QString& password)
{
    const QString text = texts.join(QLatin1Char('\n'));
    const QByteArray plain = QByteArray("\0joe\0", 5) + password.toUtf8();
    return text.contains(password) || text.contains(QString::fromLatin1(password.toUtf8().toBase64())) ||
           text.contains(QString::fromLatin1(plain.toBase64()));
}

// Compares a parsed mail's text and attachments with what was sent.
void checkMail(const QJsonObject& mail, const QString& text, const QStringList& files, const QStringList& hashes)
{
    QCOMPARE(mail[u"text"].toString(), text);
    const QJsonArray parts = mail[u"parts"].toArray();
    QCOMPARE(parts.size(), files.size());
    for (int i = 0; i < parts.size(); ++i) {
        QCOMPARE(parts[i][u"filename"].toString(), QFileInfo(files[i]).fileName());
        QCOMPARE(parts[i][u"disposition"].toString(), QLatin1String(files.size() == 1 ? "inline" : "attachment"));
        QCOMPARE(parts[i][u"sha256"].toString(), hashes[i]);
    }
}
} // namespace

// Mail sent to real servers, plain and over TLS, read back by Python's email package.
class TestSmtpDelivery final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_trusted.generate(), qPrintable(m_trusted.errorString()));
        QVERIFY2(m_other.generate(), qPrintable(m_other.errorString()));
        const QString login = QStringLiteral("joe:") + Password;
        const AiosmtpdServer::Options options[Stalling] = {
            {},
            {"starttls", m_trusted.serverCertificatePath(), m_trusted.serverKeyPath(), login, false},
            {"implicit", m_trusted.serverCertificatePath(), m_trusted.serverKeyPath(), login, true, true},
            {"starttls", m_other.serverCertificatePath(), m_other.serverKeyPath(), {}, false},
        };
        for (int i = 0; i < Stalling; ++i)
            QVERIFY2(m_servers[i].start(options[i]), qPrintable(m_servers[i].errorString()));
    }

    // One connection carries every copy.
    void mail_arrivesDecodingToWhatWasSent_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");     // as decoded
        QTest::addColumn<QString>("encoding"); // the text's transfer encoding, "" for none named
        QTest::addColumn<SizeList>("sizes");   // of the attachments
        const auto row = [](const char* name, Server server, const QString& subject, const QString& message,
                            const QString& text, const char* encoding, const SizeList& sizes) {
            QTest::newRow(name) << int(server) << subject << message << text << QString::fromLatin1(encoding) << sizes;
        };
        const QString subject = QStringLiteral("IPO: test - this is the subject");
        const QString text = Body + QStringLiteral("\r\n");
        QStringList entries;
        for (int i = 0; i < 100; ++i)
            entries << QStringLiteral("0001%1-26-%2 (S-1)").arg(i, 6, 10, QLatin1Char('0')).arg(i);
        const QString list = QLatin1Char('"') + entries.join(QStringLiteral("  ")) + QLatin1Char('"');
        row("100 entries on one line", Plain, "IPO: ", list, list + "\r\n", "quoted-printable", {});
        row("accented subject and text", Plain, "IPO: " + Accented + " \U0001F4C8 " + Accented,
            Accented + "\n. " + Accented, Accented + "\r\n. " + Accented + "\r\n", "quoted-printable", {});
        // 6 MB is more than what the writer queues before waiting for the connection.
        row("0, 1, 57, 58 and 6000000 bytes", Plain, subject, Body, text, "7bit", {0, 1, 57, 58, 6000000});
        // Text outside ASCII goes as 8bit only to a server that offers 8BITMIME.
        row("STARTTLS, AUTH PLAIN", StartTlsLogin, subject, Accented, Accented + "\r\n", "8bit", {300000, 58});
        row("implicit TLS, AUTH LOGIN only, no 8BITMIME", TlsLoginOnly, subject, Accented, Accented + "\r\n",
            "quoted-printable", {58});
    }
    void mail_arrivesDecodingToWhatWasSent()
    {
        QFETCH(int, server);
        QFETCH(QString, subject);
        QFETCH(QString, message);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(SizeList, sizes);
        QStringList files;
        QStringList hashes;
        for (int size : sizes)
            files << randomFile(m_files, QStringLiteral("%1-%2.bin").arg(server).arg(files.size()), size, &hashes);
        AiosmtpdServer& sink = m_servers[server];
        qsizetype before = sink.messages().size();
        Smtp control;
        prepare(control, Server(server));
        control.setSubject(subject);
        control.setMessage(message);
        const QString copies = server == Plain ? QString() : QStringLiteral("copy@example.org");
        control.setCCAddress(copies);
        control.setAttachmentFile(files.join(QLatin1Char(';')));
        SmtpEventLog log(control);
        control.setSendMail(true);
        QVERIFY(log.waitFor(QStringLiteral("Disconnected"), 60000));
        QCOMPARE(log.withPrefix(QStringLiteral("Error:")), QStringList());
        QCOMPARE(log.withPrefix(QStringLiteral("Status:Connecting to ")).size(), 1);
        QVERIFY(!leaksPassword(log.events, Password));
        const QString auth = QLatin1String(server == Plain ? "" : server == TlsLoginOnly ? "LOGIN" : "PLAIN");
        QVERIFY(
            auth.isEmpty() ||
            log.events.contains(QStringLiteral("Status:AUTH %1\r\n").arg(auth == u"LOGIN" ? auth : auth + " ****")));

        const QStringList recipients =
            QStringList{QStringLiteral("investor@example.org")} + copies.split(u';', Qt::SkipEmptyParts);
        QVERIFY(sink.waitForMessages(int(before + recipients.size()), 10000));
        for (const QString& recipient : recipients) {
            const AiosmtpdServer::Message received = sink.messages().at(before++);
            QCOMPARE(received.mailFrom + u' ' + received.rcptTos.join(u',') + u' ' + received.auth,
                     "alerts@example.org " + recipient + u' ' + auth);
            QCOMPARE(received.tls, server != Plain);
            const QJsonObject mail = parsedMail(received.path);
            QCOMPARE(mail[u"to"].toString(), recipient);
            QCOMPARE(mail[u"cc"].toString(), copies);
            QCOMPARE(mail[u"subject"].toString(), subject);
            QCOMPARE(mail[u"encoding"].toString(), encoding);
            QVERIFY(!mail[u"date"].toString().isEmpty());
            QVERIFY(mail[u"message_id"].toString().endsWith(QLatin1String("@example.org>")));
            checkMail(mail, text, files, hashes);
        }
    }

    // Mail in ASCII whose lines fit is, but for its Date and Message-ID, the one it always was.
    void legacyMail_isByteForByteAsBefore()
    {
        const QByteArray bytes[] = {"abc", QByteArray(58, 'x')};
        QStringList files{m_files.filePath(QStringLiteral("a.txt")), m_files.filePath(QStringLiteral("b.bin"))};
        for (int i = 0; i < 2; ++i) {
            QFile file(files[i]);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes[i]) == bytes[i].size());
        }
        QFile expected(QStringLiteral(SMTP_TESTS_DIR "/legacy_mail.eml"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        const QByteArray mail = expected.readAll();
        const qsizetype before = m_servers[Plain].messages().size();
        Smtp control;
        prepare(control, Plain);
        control.setSubject(QStringLiteral("IPO: test"));
        control.setAttachmentFile(files.join(QLatin1Char(';')));
        control.setSendMail(true);
        control.setSendMail(false); // clearing the flag does not stop a running send
        QVERIFY(m_servers[Plain].waitForMessages(int(before) + 1, 20000));
        static const QRegularExpression volatileLines(QStringLiteral("^(Date|Message-ID): [^\\r]*\\r\\n"),
                                                      QRegularExpression::MultilineOption);
        QCOMPARE(QString::fromLatin1(m_servers[Plain].messages().at(before).content).remove(volatileLines).toLatin1(),
                 mail);
        // The prelude, from the MIME version to the host's text, is put in front of that text.
        const qsizetype prelude = mail.indexOf("MIME-Version");
        QCOMPARE(control.Message(),
                 QString::fromLatin1(mail.mid(prelude, mail.indexOf(Body.toLatin1()) + Body.size() - prelude)));
    }

    void refused_endsThroughErrorAndNothingIsSent_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("password"); // "" for the server's own
        QTest::addColumn<QString>("caFile");   // "" for the system's trust store only
        QTest::addColumn<QString>("error");
        const QString ca = m_trusted.caPath();
        const auto row = [](const char* name, Server server, const char* security, const QString& password,
                            const QString& caFile, const QString& error) {
            QTest::newRow(name) << int(server) << QString::fromLatin1(security) << password << caFile << error;
        };
        const QString untrusted =
            QStringLiteral("The SMTP server's certificate is not trusted (unknown issuer); if the "
                           "server uses your own CA, point SSL_CERT_FILE at its certificate (");
        const QString notPem = QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py");
        const QString stalled =
            QStringLiteral("The TLS handshake with the SMTP server did not finish within 1 seconds");
        row("unknown CA", StartTlsOtherCa, "starttls", {}, ca,
            untrusted + "The issuer certificate of a locally looked up certificate");
        row("system trust store only", TlsLoginOnly, "tls", {}, {}, untrusted);
        row("wrong password", StartTlsLogin, "starttls", "wrong-" + Password, ca,
            "The SMTP server refused the login : 535 5.7.8 Authentication credentials invalid: check the user name; "
            "many providers need an app password");
        row("no STARTTLS offered", Plain, "starttls", {}, ca,
            "The SMTP server does not offer STARTTLS; the mail is not sent");
        row("implicit TLS to a plain server", Plain, "tls", {}, ca,
            "The TLS handshake with the SMTP server failed: the server did not answer TLS on port ");
        row("CaFile not PEM", StartTlsLogin, "starttls", {}, notPem,
            "CaFile \"" + notPem + "\" holds no readable PEM certificate");
        // A caFile of "SSL_CERT_FILE=..." sets that variable instead.
        row("SSL_CERT_FILE not PEM", StartTlsLogin, "starttls", {}, "SSL_CERT_FILE=" + notPem,
            "SSL_CERT_FILE \"" + notPem + "\" holds no readable PEM certificate; the mail is not sent");
        row("handshake stalls, implicit TLS", Stalling, "tls", {}, ca, stalled);
        row("handshake stalls after STARTTLS", Stalling, "starttls", {}, ca, stalled);
    }
    void refused_endsThroughErrorAndNothingIsSent()
    {
        QFETCH(int, server);
        QFETCH(QString, security);
        QFETCH(QString, password);
        QFETCH(QString, caFile);
        QFETCH(QString, error);
        FakeSmtpServer stalling;
        stalling.setScript(security == u"tls"
                               ? QList<Reply>{Reply::silent()}
                               : QList<Reply>{Reply::text("220 fake\r\n"), Reply::text("250-fake\r\n250 STARTTLS\r\n"),
                                              Reply::text("220 go ahead\r\n"), Reply::silent()});
        QVERIFY(stalling.listen());
        const bool real = server != Stalling;
        const qsizetype before = real ? m_servers[server].messages().size() : 0;
        Smtp control;
        prepare(control, Server(server), security, real ? 0 : stalling.port());
        const bool fromEnvironment = caFile.startsWith(u"SSL_CERT_FILE=");
        qputenv("SSL_CERT_FILE", fromEnvironment ? caFile.section(u'=', 1).toUtf8() : QByteArray());
        control.setCaFile(fromEnvironment ? QString() : caFile);
        control.setTlsHandshakeTimeout(1);
        if (!password.isEmpty())
            control.setPassword(password);
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

    // The example host exits 1 when the server fails it, 0 once the mail is accepted.
    void smtpsend_exitStatusTellsWhetherDelivered()
    {
        QProcess smtpsend;
        const auto run = [&](quint16 port, const QStringList& arguments, const QByteArray& text) {
            smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                           QStringList{"--server", QStringLiteral("127.0.0.1:%1").arg(port), "--from",
                                       "alerts@example.org", "--to", "investor@example.org"} +
                               arguments);
            smtpsend.write(text);
            smtpsend.closeWriteChannel();
            // The event loop keeps a scripted server answering while smtpsend runs.
            return QTest::qWaitFor([&] { return smtpsend.state() == QProcess::NotRunning; }, 60000)
                       ? smtpsend.exitCode()
                       : -1;
        };
        FakeSmtpServer silent;
        silent.setScript({Reply::silent()});
        QVERIFY(silent.listen());
        QCOMPARE(run(silent.port(), {"--timeout", "1"}, {}), 1);
        QVERIFY(smtpsend.readAllStandardError().contains("No reply"));

        AiosmtpdServer& sink = m_servers[Plain];
        const qsizetype before = sink.messages().size();
        QStringList hashes;
        const QStringList files{randomFile(m_files, QStringLiteral("send.dat"), 1234, &hashes)};
        QCOMPARE(run(sink.port(), {"--attach", files[0]}, "One file.\n"), 0);
        QVERIFY(sink.waitForMessages(int(before) + 1, 10000));
        checkMail(parsedMail(sink.messages().at(before).path), QStringLiteral("One file.\r\n\r\n"), files, hashes);
    }

private:
    // Set up for one of the servers, with its security and, where it wants one, the login.
    void prepare(Smtp& control, Server server, const QString& security = {}, quint16 port = 0) const
    {
        control.setMailServerDomain(QStringLiteral("127.0.0.1"));
        control.setMailServerPort(port ? port : m_servers[server].port());
        control.setMailFrom(QStringLiteral("alerts@example.org"));
        control.setMailTo(QStringLiteral("investor@example.org"));
        control.setMessage(Body);
        control.setSecurity(security.isEmpty() ? QLatin1String(Securities[server]) : security);
        control.setCaFile(m_trusted.caPath());
        control.setReplyTimeout(15);
        if (server == StartTlsLogin || server == TlsLoginOnly) {
            control.setUserName(QStringLiteral("joe"));
            control.setPassword(Password);
        }
    }

    TestCertificates m_trusted;
    TestCertificates m_other;
    AiosmtpdServer m_servers[Stalling];
    QTemporaryDir m_files;
};

QTEST_GUILESS_MAIN(TestSmtpDelivery)
#include "tst_smtp_delivery.moc"
