#include "SmtpEventLog.h"
#include "testsupport/AiosmtpdServer.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using SizeList = QList<int>;

namespace {
// What Python's email package makes of a saved message.
QJsonObject parsed(const AiosmtpdServer::Message& message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py"), message.path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}
} // namespace

class TestSmtpDelivery final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void plainMail_arrivesWithBodyAndHeaders();
    void attachments_decodeToTheOriginalBytes_data();
    void attachments_decodeToTheOriginalBytes();
    void copyRecipients_eachGetOneDecodableCopy();
    void dotLinesAndBareLineEnds_arriveUnchanged();
    void smtpsend_deliversAttachmentsAndCopies();
    void smtpsend_reportsFailureWithExitStatus();

private:
    void prepare(Smtp& control) const;
    bool send(Smtp& control, int copies = 1);

    AiosmtpdServer m_server;
    QTemporaryDir m_files;
    int m_seen = 0; // messages of earlier test functions
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
    control.setMessage(QStringLiteral("IPO: test - this is the message body"));
}

bool TestSmtpDelivery::send(Smtp& control, int copies)
{
    SmtpEventLog log(control);
    control.setSendMail(true);
    if (!log.waitFor(QStringLiteral("Disconnected"), 30000)) {
        qWarning() << log.mainEvents();
        return false;
    }
    m_seen += copies;
    return m_server.waitForMessages(m_seen, 10000) && log.withPrefix(QStringLiteral("Error:")).isEmpty();
}

void TestSmtpDelivery::plainMail_arrivesWithBodyAndHeaders()
{
    Smtp control;
    prepare(control);
    QVERIFY(send(control));
    const AiosmtpdServer::Message message = m_server.messages().at(m_seen - 1);
    QCOMPARE(message.mailFrom, QStringLiteral("alerts@example.org"));
    QCOMPARE(message.rcptTos, QStringList{QStringLiteral("investor@example.org")});
    const QJsonObject mail = parsed(message);
    QCOMPARE(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("IPO: test - this is the subject"));
    QCOMPARE(mail.value(QStringLiteral("text")).toString(), QStringLiteral("IPO: test - this is the message body\r\n"));
    QVERIFY(!mail.value(QStringLiteral("date")).toString().isEmpty());
    QVERIFY(mail.value(QStringLiteral("message_id")).toString().endsWith(QLatin1String("@example.org>")));
}

void TestSmtpDelivery::attachments_decodeToTheOriginalBytes_data()
{
    QTest::addColumn<SizeList>("sizes");
    QTest::newRow("empty file") << SizeList{0};
    QTest::newRow("1 byte") << SizeList{1};
    QTest::newRow("57 bytes") << SizeList{57};
    QTest::newRow("58 bytes") << SizeList{58};
    QTest::newRow("100000 bytes") << SizeList{100000};
    QTest::newRow("57 and 58 bytes") << SizeList{57, 58};
    QTest::newRow("0, 1 and 100000 bytes") << SizeList{0, 1, 100000};
    // Larger than what the writer queues before waiting for the connection.
    QTest::newRow("6 MB and 1 byte") << SizeList{6000000, 1};
}

void TestSmtpDelivery::attachments_decodeToTheOriginalBytes()
{
    QFETCH(SizeList, sizes);
    QStringList paths;
    QStringList hashes;
    for (int i = 0; i < sizes.size(); ++i) {
        const QByteArray bytes = randomBytes(sizes[i]);
        QFile file(m_files.filePath(QStringLiteral("%1-%2.bin").arg(QTest::currentDataTag()).arg(i).replace(QLatin1Char(' '), QLatin1Char('_')).replace(QLatin1Char(','), QLatin1Char('_'))));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        paths.append(file.fileName());
        hashes.append(sha256(bytes));
    }
    Smtp control;
    prepare(control);
    control.setAttachmentFile(paths.join(QLatin1Char(';')));
    QVERIFY(send(control));
    const QJsonObject mail = parsed(m_server.messages().at(m_seen - 1));
    QVERIFY(mail.value(QStringLiteral("multipart")).toBool());
    QCOMPARE(mail.value(QStringLiteral("text")).toString(), QStringLiteral("IPO: test - this is the message body\r\n"));
    const QJsonArray parts = mail.value(QStringLiteral("parts")).toArray();
    QCOMPARE(parts.size(), sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        const QJsonObject part = parts[i].toObject();
        QCOMPARE(part.value(QStringLiteral("filename")).toString(), QFileInfo(paths[i]).fileName());
        QCOMPARE(part.value(QStringLiteral("disposition")).toString(),
                 sizes.size() == 1 ? QStringLiteral("inline") : QStringLiteral("attachment"));
        QCOMPARE(part.value(QStringLiteral("size")).toInt(), sizes[i]);
        QCOMPARE(part.value(QStringLiteral("sha256")).toString(), hashes[i]);
    }
}

void TestSmtpDelivery::copyRecipients_eachGetOneDecodableCopy()
{
    const QByteArray bytes = randomBytes(5000);
    QFile file(m_files.filePath(QStringLiteral("copied.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    Smtp control;
    prepare(control);
    control.setCCAddress(QStringLiteral("first@example.org;alerts@example.org;second@example.org"));
    control.setAttachmentFile(file.fileName());
    QVERIFY(send(control, 3));
    const QList<AiosmtpdServer::Message> messages = m_server.messages().mid(m_seen - 3);
    const QStringList recipients{QStringLiteral("investor@example.org"), QStringLiteral("first@example.org"),
                                 QStringLiteral("second@example.org")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(messages[i].rcptTos, QStringList{recipients[i]});
        const QJsonObject mail = parsed(messages[i]);
        QCOMPARE(mail.value(QStringLiteral("to")).toString(), recipients[i]);
        QCOMPARE(mail.value(QStringLiteral("cc")).toString(),
                 QStringLiteral("first@example.org;alerts@example.org;second@example.org"));
        QCOMPARE(mail.value(QStringLiteral("prelude_count")).toInt(), 1);
        const QJsonArray parts = mail.value(QStringLiteral("parts")).toArray();
        QCOMPARE(parts.size(), 1);
        QCOMPARE(parts[0].toObject().value(QStringLiteral("sha256")).toString(), sha256(bytes));
    }
}

void TestSmtpDelivery::dotLinesAndBareLineEnds_arriveUnchanged()
{
    Smtp control;
    prepare(control);
    control.setMessage(QStringLiteral(".\n..two\r\nmiddle . dot\r.\r\nend"));
    QVERIFY(send(control));
    const QJsonObject mail = parsed(m_server.messages().at(m_seen - 1));
    QCOMPARE(mail.value(QStringLiteral("text")).toString(), QStringLiteral(".\r\n..two\r\nmiddle . dot\r\n.\r\nend\r\n"));
}

void TestSmtpDelivery::smtpsend_deliversAttachmentsAndCopies()
{
    QStringList paths;
    QStringList hashes;
    for (int size : {1234, 57 * 3}) {
        const QByteArray bytes = randomBytes(size);
        QFile file(m_files.filePath(QStringLiteral("send-%1.dat").arg(size)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        paths.append(file.fileName());
        hashes.append(sha256(bytes));
    }
    QProcess smtpsend;
    smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                   {QStringLiteral("--server"), QStringLiteral("127.0.0.1:%1").arg(m_server.port()),
                    QStringLiteral("--from"), QStringLiteral("alerts@example.org"), QStringLiteral("--to"),
                    QStringLiteral("investor@example.org"), QStringLiteral("--cc"), QStringLiteral("copy@example.org"),
                    QStringLiteral("--subject"), QStringLiteral("Report"), QStringLiteral("--attach"), paths[0],
                    QStringLiteral("--attach"), paths[1], QStringLiteral("--timeout"), QStringLiteral("20")});
    smtpsend.write("Two files.\n");
    smtpsend.closeWriteChannel();
    QVERIFY(smtpsend.waitForFinished(60000));
    QCOMPARE(smtpsend.exitCode(), 0);
    m_seen += 2;
    QVERIFY(m_server.waitForMessages(m_seen, 10000));
    const QList<AiosmtpdServer::Message> messages = m_server.messages().mid(m_seen - 2);
    QCOMPARE(messages[0].rcptTos, QStringList{QStringLiteral("investor@example.org")});
    QCOMPARE(messages[1].rcptTos, QStringList{QStringLiteral("copy@example.org")});
    for (const AiosmtpdServer::Message& message : messages) {
        const QJsonObject mail = parsed(message);
        QCOMPARE(mail.value(QStringLiteral("text")).toString(), QStringLiteral("Two files.\r\n\r\n"));
        const QJsonArray parts = mail.value(QStringLiteral("parts")).toArray();
        QCOMPARE(parts.size(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(parts[i].toObject().value(QStringLiteral("sha256")).toString(), hashes[i]);
    }
}

void TestSmtpDelivery::smtpsend_reportsFailureWithExitStatus()
{
    QProcess smtpsend;
    smtpsend.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/smtpsend"),
                   {QStringLiteral("--server"), QStringLiteral("127.0.0.1:%1").arg(m_server.port()),
                    QStringLiteral("--from"), QStringLiteral("alerts@example.org"), QStringLiteral("--to"),
                    QStringLiteral("investor@example.org"), QStringLiteral("--attach"),
                    m_files.filePath(QStringLiteral("does-not-exist"))});
    smtpsend.closeWriteChannel();
    QVERIFY(smtpsend.waitForFinished(30000));
    QCOMPARE(smtpsend.exitCode(), 1);
    QVERIFY(smtpsend.readAllStandardError().contains("Error occured during encoding process"));
    QTest::qWait(300);
    QCOMPARE(m_server.messages().size(), m_seen);
}

QTEST_GUILESS_MAIN(TestSmtpDelivery)
#include "tst_smtp_delivery.moc"
