// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpEventLog.h"
#include "testsupport/AiosmtpdServer.h"
#include "testsupport/FakeSmtpServer.h"
#include "testsupport/ManualPage.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using SizeList = QList<int>;
using Reply = FakeSmtpServer::Reply;
Q_DECLARE_METATYPE(FakeSmtpServer::Reply)

namespace {
// What Python's email package makes of a saved message; nothing if it finds the message defective.
QJsonObject parsed(const AiosmtpdServer::Message& message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py"), message.path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Writes a file of random bytes; its path, or nothing on failure.
QString randomFile(const QTemporaryDir& dir, const QString& name, int size, QStringList* hashes)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    hashes->append(sha256(bytes));
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == size ? file.fileName() : QString();
}

// Compares a parsed mail's text and attachments with what was sent.
void checkMail(const QJsonObject& mail, const QString& text, const QStringList& files, const QStringList& hashes)
{
    QCOMPARE(mail[u"text"].toString(), text);
    const QJsonArray parts = mail[u"parts"].toArray();
    QCOMPARE(parts.size(), files.size());
    for (int i = 0; i < parts.size(); ++i) {
        const QJsonObject part = parts[i].toObject();
        QCOMPARE(part[u"filename"].toString(), QFileInfo(files[i]).fileName());
        QCOMPARE(part[u"disposition"].toString(), QLatin1String(files.size() == 1 ? "inline" : "attachment"));
        QCOMPARE(part[u"sha256"].toString(), hashes[i]);
    }
}

const QString Body = QStringLiteral("IPO: test - this is the message body");
const QString Text = Body + QStringLiteral("\r\n");
} // namespace

class TestSmtpDelivery final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void mail_arrivesDecodingToWhatWasSent_data();
    void mail_arrivesDecodingToWhatWasSent();
    void attachments_decodeToTheOriginalBytes_data();
    void attachments_decodeToTheOriginalBytes();
    void copyRecipients_oneConnectionAndOneDecodableCopyEach();
    void smtpsend_exitStatusTellsWhetherDelivered();
    void smtpsend_hostileServer_failsWithinReplyTimeout_data();
    void smtpsend_hostileServer_failsWithinReplyTimeout();
    void smtpsend_helpNamesProgramAndListsTheDocumentedOptions();

private:
    void prepare(Smtp& control) const;
    bool send(Smtp& control, int copies = 1);

    AiosmtpdServer m_server;
    QTemporaryDir m_files;
    std::unique_ptr<SmtpEventLog> m_log; // of the last send
    int m_seen = 0;                      // messages of earlier test functions
};

void TestSmtpDelivery::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    QVERIFY(m_files.isValid());
}

void TestSmtpDelivery::prepare(Smtp& control) const
{
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailServerPort(m_server.port());
    control.setMailFrom(QStringLiteral("alerts@example.org"));
    control.setMailTo(QStringLiteral("investor@example.org"));
    control.setSubject(QStringLiteral("IPO: test - this is the subject"));
    control.setMessage(Body);
}

bool TestSmtpDelivery::send(Smtp& control, int copies)
{
    m_log = std::make_unique<SmtpEventLog>(control);
    control.setSendMail(true);
    if (!m_log->waitFor(QStringLiteral("Disconnected"), 30000)) {
        qWarning() << m_log->mainEvents();
        return false;
    }
    m_seen += copies;
    return m_server.waitForMessages(m_seen, 10000) && m_log->withPrefix(QStringLiteral("Error:")).isEmpty();
}

void TestSmtpDelivery::mail_arrivesDecodingToWhatWasSent_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");     // as decoded
    QTest::addColumn<QString>("encoding"); // the text's transfer encoding, "" for none named
    // The first body line looks like a header; dot lines and bare line ends follow.
    QTest::newRow("ASCII, dot lines and bare line ends")
        << "IPO: test - this is the subject" << Body + "\n.\n..two\r\nmiddle . dot\r.\r\nend"
        << Body + "\r\n.\r\n..two\r\nmiddle . dot\r\n.\r\nend\r\n" << "";
    QStringList entries;
    for (int i = 0; i < 100; ++i)
        entries << QStringLiteral("0001%1-26-%2 (S-1)").arg(i, 6, 10, QLatin1Char('0')).arg(i);
    const QString list = QLatin1Char('"') + entries.join(QStringLiteral("  ")) + QLatin1Char('"');
    QTest::newRow("100 entries on one line") << "IPO: " << list << list + "\r\n"
                                             << "quoted-printable";
    const QString accented = QStringLiteral("Soci\u00e9t\u00e9 G\u00e9n\u00e9rale Mini\u00e8re SA \u65e5\u672c =");
    QTest::newRow("accented subject and text") << "IPO: " + accented + " \U0001F4C8 " + accented
                                               << accented + "\n. " + accented << accented + "\r\n. " + accented + "\r\n"
                                               << "quoted-printable";
}

void TestSmtpDelivery::mail_arrivesDecodingToWhatWasSent()
{
    QFETCH(QString, subject);
    QFETCH(QString, message);
    QFETCH(QString, text);
    QFETCH(QString, encoding);
    Smtp control;
    prepare(control);
    control.setSubject(subject);
    control.setMessage(message);
    QVERIFY(send(control));
    const AiosmtpdServer::Message received = m_server.messages().at(m_seen - 1);
    QCOMPARE(received.mailFrom, QStringLiteral("alerts@example.org"));
    QCOMPARE(received.rcptTos, QStringList{QStringLiteral("investor@example.org")});
    const QJsonObject mail = parsed(received);
    QCOMPARE(mail[u"subject"].toString(), subject);
    QCOMPARE(mail[u"encoding"].toString(), encoding);
    QVERIFY(!mail[u"date"].toString().isEmpty());
    QVERIFY(mail[u"message_id"].toString().endsWith(QLatin1String("@example.org>")));
    checkMail(mail, text, {}, {});
    // A mail in ASCII whose lines fit is the one it always was.
    if (encoding.isEmpty())
        QVERIFY(received.content.contains("\r\nSubject:" + subject.toLatin1() + "\r\nDate: "));
}

void TestSmtpDelivery::attachments_decodeToTheOriginalBytes_data()
{
    QTest::addColumn<SizeList>("sizes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty file") << SizeList{0} << Body;
    QTest::newRow("1 byte") << SizeList{1} << Body;
    QTest::newRow("57 bytes") << SizeList{57} << Body;
    QTest::newRow("58 bytes") << SizeList{58} << Body;
    QTest::newRow("100000 bytes") << SizeList{100000} << Body;
    QTest::newRow("57 and 58 bytes") << SizeList{57, 58} << Body;
    QTest::newRow("0, 1 and 100000 bytes") << SizeList{0, 1, 100000} << Body;
    // Larger than what the writer queues before waiting for the connection.
    QTest::newRow("6 MB and 1 byte") << SizeList{6000000, 1} << Body;
    QTest::newRow("text outside ASCII") << SizeList{58} << QStringLiteral("Soci\u00e9t\u00e9 \u65e5\u672c");
}

void TestSmtpDelivery::attachments_decodeToTheOriginalBytes()
{
    QFETCH(SizeList, sizes);
    QFETCH(QString, message);
    QStringList files;
    QStringList hashes;
    for (int i = 0; i < sizes.size(); ++i)
        files.append(randomFile(m_files, QStringLiteral("%1-%2.bin").arg(m_seen).arg(i), sizes[i], &hashes));
    Smtp control;
    prepare(control);
    control.setMessage(message);
    control.setAttachmentFile(files.join(QLatin1Char(';')));
    QVERIFY(send(control));
    checkMail(parsed(m_server.messages().at(m_seen - 1)), message + QStringLiteral("\r\n"), files, hashes);
}

// The sender in the copy list gets no copy of its own.
void TestSmtpDelivery::copyRecipients_oneConnectionAndOneDecodableCopyEach()
{
    QStringList hashes;
    const QString file = randomFile(m_files, QStringLiteral("copied.bin"), 5000, &hashes);
    const QString copyList = QStringLiteral("first@example.org;alerts@example.org;second@example.org");
    Smtp control;
    prepare(control);
    control.setCCAddress(copyList);
    control.setAttachmentFile(file);
    QVERIFY(send(control, 3));
    const QString busy = QStringLiteral("BusyState(true)");
    const QString sent = QStringLiteral("Sent");
    QCOMPARE(m_log->mainEvents(), (QStringList{busy, busy, sent, busy, busy, sent, busy, busy, sent,
                                              QStringLiteral("BusyState(false)"), QStringLiteral("Disconnected")}));
    QCOMPARE(m_log->withPrefix(QStringLiteral("Status:Connecting to ")).size(), 1);
    QCOMPARE(control.MailTo(), QStringLiteral("second@example.org"));
    QCOMPARE(m_server.messages().size(), m_seen);
    const QStringList recipients{QStringLiteral("investor@example.org"), QStringLiteral("first@example.org"),
                                 QStringLiteral("second@example.org")};
    for (int i = 0; i < 3; ++i) {
        const AiosmtpdServer::Message message = m_server.messages().at(m_seen - 3 + i);
        QCOMPARE(message.rcptTos, QStringList{recipients[i]});
        const QJsonObject mail = parsed(message);
        QCOMPARE(mail[u"to"].toString(), recipients[i]);
        QCOMPARE(mail[u"cc"].toString(), copyList);
        checkMail(mail, Text, {file}, hashes);
    }
}

// The example host exits 0 only when every copy was accepted.
void TestSmtpDelivery::smtpsend_exitStatusTellsWhetherDelivered()
{
    QProcess smtpsend;
    const auto run = [&](const QStringList& arguments, const QByteArray& text) {
        smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                       QStringList{"--server", QStringLiteral("127.0.0.1:%1").arg(m_server.port()), "--from",
                                   "alerts@example.org", "--to", "investor@example.org"} + arguments);
        smtpsend.write(text);
        smtpsend.closeWriteChannel();
        return smtpsend.waitForFinished(60000) ? smtpsend.exitCode() : -1;
    };
    QCOMPARE(run({"--attach", m_files.filePath(QStringLiteral("does-not-exist"))}, {}), 1);
    QVERIFY(smtpsend.readAllStandardError().contains("Error occured during encoding process"));
    QTest::qWait(300);
    QCOMPARE(m_server.messages().size(), m_seen);

    QStringList hashes;
    const QStringList files{randomFile(m_files, QStringLiteral("send-1.dat"), 1234, &hashes),
                            randomFile(m_files, QStringLiteral("send-2.dat"), 57 * 3, &hashes)};
    QCOMPARE(run({"--cc", "copy@example.org", "--attach", files[0], "--attach", files[1], "--timeout", "20"}, "Two files.\n"), 0);
    m_seen += 2;
    QVERIFY(m_server.waitForMessages(m_seen, 10000));
    const QStringList recipients{QStringLiteral("investor@example.org"), QStringLiteral("copy@example.org")};
    for (int i = 0; i < 2; ++i) {
        const AiosmtpdServer::Message message = m_server.messages().at(m_seen - 2 + i);
        QCOMPARE(message.rcptTos, QStringList{recipients[i]});
        checkMail(parsed(message), QStringLiteral("Two files.\r\n\r\n"), files, hashes);
    }
}

void TestSmtpDelivery::smtpsend_hostileServer_failsWithinReplyTimeout_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("goodbye instead of greeting")
        << 0 << Reply::text("221 bye\r\n") << "a@b.org" << QByteArray("221 bye");
    QTest::newRow("greeting again after HELO")
        << 1 << Reply::text("220 again\r\n") << "a@b.org" << QByteArray("220 again");
    QTest::newRow("greeting a byte a second")
        << 0 << Reply::trickle("220 slow\r\n", 1000) << "a@b.org" << QByteArray("No reply");
    QTest::newRow("parameter in the recipient")
        << 0 << Reply::text("220 ok\r\n") << "c@d> NOTIFY=NEVER" << QByteArray("contains \">\"");
}

void TestSmtpDelivery::smtpsend_hostileServer_failsWithinReplyTimeout()
{
    QFETCH(int, entry);
    QFETCH(Reply, reply);
    QFETCH(QString, to);
    QFETCH(QByteArray, error);
    QList<Reply> script = FakeSmtpServer::happyScript();
    script[entry] = reply;
    FakeSmtpServer server;
    server.setScript(script);
    QVERIFY(server.listen());
    QProcess smtpsend;
    smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                   {"--server", QStringLiteral("127.0.0.1:%1").arg(server.port()), "--from", "a@b.org", "--to", to,
                    "--timeout", "1"});
    smtpsend.closeWriteChannel();
    QElapsedTimer clock;
    clock.start();
    // The event loop keeps the fake server answering while smtpsend runs.
    QVERIFY(QTest::qWaitFor([&] { return smtpsend.state() == QProcess::NotRunning; }, 5000));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(smtpsend.exitCode(), 1);
    QVERIFY(smtpsend.readAllStandardError().contains(error));
    QVERIFY(!server.received(0).contains("NOTIFY"));
}

// The manual page and --help are two lists of one set of options; neither may drift.
void TestSmtpDelivery::smtpsend_helpNamesProgramAndListsTheDocumentedOptions()
{
    const QString program = qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend");
    QProcess smtpsend;
    smtpsend.start(program, {QStringLiteral("--help")});
    QVERIFY(smtpsend.waitForFinished(15000));
    QCOMPARE(smtpsend.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(smtpsend.readAllStandardOutput());
    QCOMPARE(help.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Usage: smtpsend [options] < message"));

    QSet<QString> documented;
    for (const QString& tag : ManualPage::tags(ManualPage::read(QStringLiteral("smtpsend.1")), QStringLiteral("OPTIONS")))
        documented.unite(ManualPage::longOptions(tag));
    QVERIFY(!documented.isEmpty());
    QCOMPARE(ManualPage::optionsInHelp(help), documented);

    smtpsend.start(program, {QStringLiteral("--version")});
    QVERIFY(smtpsend.waitForFinished(15000));
    QCOMPARE(smtpsend.exitCode(), 0);
    QVERIFY(QRegularExpression(QStringLiteral(R"(^smtpsend \d+\.\d+\.\d+ \(smtp library 1\.\d+\.\d+\)\n$)"))
                .match(QString::fromLocal8Bit(smtpsend.readAllStandardOutput()))
                .hasMatch());

    smtpsend.start(program, {QStringLiteral("--bogus")});
    QVERIFY(smtpsend.waitForFinished(15000));
    QCOMPARE(smtpsend.exitCode(), 2);
    QVERIFY(smtpsend.readAllStandardError().contains("bogus"));
}

QTEST_GUILESS_MAIN(TestSmtpDelivery)
#include "tst_smtp_delivery.moc"
