#include "MessageWriter.h"
#include "SmtpReply.h"

#include <QRegularExpression>
#include <QTest>

using ByteList = QList<QByteArray>;
using IntList = QList<int>;

class TestSmtpWire final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replies_areAssembledBeforeTheirCodeIsRead_data();
    void replies_areAssembledBeforeTheirCodeIsRead();
    void replies_endlessLine_isGivenUpAsGarbage();
    void wireText_endsLinesWithCrLfAndStuffsDots_data();
    void wireText_endsLinesWithCrLfAndStuffsDots();
    void extractFileName_cutsAtBothSeparators_data();
    void extractFileName_cutsAtBothSeparators();
    void headerValues_followRfc5322();
};

void TestSmtpWire::replies_areAssembledBeforeTheirCodeIsRead_data()
{
    QTest::addColumn<ByteList>("segments");
    QTest::addColumn<ByteList>("texts");
    QTest::addColumn<IntList>("codes");
    QTest::newRow("one reply") << ByteList{"250 ok\r\n"} << ByteList{"250 ok\r\n"} << IntList{250};
    QTest::newRow("split in the code") << ByteList{"2", "50 ok", "\r\n"} << ByteList{"250 ok\r\n"} << IntList{250};
    QTest::newRow("split between CR and LF") << ByteList{"354 go\r", "\n"} << ByteList{"354 go\r\n"} << IntList{354};
    QTest::newRow("multi-line at once") << ByteList{"250-first\r\n250-second\r\n250 last\r\n"}
                                        << ByteList{"250-first\r\n250-second\r\n250 last\r\n"} << IntList{250};
    QTest::newRow("multi-line line by line") << ByteList{"250-first\r\n", "250 last\r\n"}
                                             << ByteList{"250-first\r\n250 last\r\n"} << IntList{250};
    QTest::newRow("bare code") << ByteList{"250\r\n"} << ByteList{"250\r\n"} << IntList{250};
    QTest::newRow("bare LF") << ByteList{"220 hi\n"} << ByteList{"220 hi\n"} << IntList{220};
    QTest::newRow("two replies in one segment")
        << ByteList{"250 ok\r\n221 bye\r\n"} << ByteList{"250 ok\r\n", "221 bye\r\n"} << IntList{250, 221};
    QTest::newRow("garbage") << ByteList{"hello there\r\n"} << ByteList{"hello there\r\n"} << IntList{0};
    QTest::newRow("digits glued to text") << ByteList{"250ok\r\n"} << ByteList{"250ok\r\n"} << IntList{0};
    QTest::newRow("incomplete") << ByteList{"250-first\r\n", "250 la"} << ByteList{} << IntList{};
}

void TestSmtpWire::replies_areAssembledBeforeTheirCodeIsRead()
{
    QFETCH(ByteList, segments);
    QFETCH(ByteList, texts);
    QFETCH(IntList, codes);
    ReplyAssembler assembler;
    ByteList gotTexts;
    IntList gotCodes;
    for (const QByteArray& segment : segments) {
        for (const SmtpReply& reply : assembler.feed(segment)) {
            gotTexts.append(reply.text);
            gotCodes.append(reply.code);
        }
    }
    QCOMPARE(gotTexts, texts);
    QCOMPARE(gotCodes, codes);
}

void TestSmtpWire::replies_endlessLine_isGivenUpAsGarbage()
{
    ReplyAssembler assembler;
    QList<SmtpReply> replies;
    const QByteArray chunk(4096, 'x');
    for (int i = 0; i < 20 && replies.isEmpty(); ++i)
        replies = assembler.feed(chunk);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().code, 0);
    QVERIFY(!assembler.hasPartial());
}

void TestSmtpWire::wireText_endsLinesWithCrLfAndStuffsDots_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("CR LF kept, none added") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("bare LF") << QStringLiteral("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("bare CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb");
    QTest::newRow("LF CR is two line ends") << QStringLiteral("a\n\rb") << QByteArray("a\r\n\r\nb");
    QTest::newRow("lone dot line") << QStringLiteral("a\r\n.\r\nb") << QByteArray("a\r\n..\r\nb");
    QTest::newRow("dot after bare LF") << QStringLiteral("a\n.\nb") << QByteArray("a\r\n..\r\nb");
    QTest::newRow("first line dot") << QStringLiteral(".x") << QByteArray("..x");
    QTest::newRow("dot inside a line") << QStringLiteral("a.b\r\n x.") << QByteArray("a.b\r\n x.");
    QTest::newRow("latin-1 bytes") << QStringLiteral("caf\u00e9") << QByteArray("caf\xe9");
}

void TestSmtpWire::wireText_endsLinesWithCrLfAndStuffsDots()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QCOMPARE(MessageWriter::wireText(text), wire);
}

void TestSmtpWire::extractFileName_cutsAtBothSeparators_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("drive and folders") << QStringLiteral("C:\\data\\reports\\q1.pdf") << QStringLiteral("q1.pdf");
    QTest::newRow("unix path") << QStringLiteral("/home/user/private/q1.pdf") << QStringLiteral("q1.pdf");
    QTest::newRow("mixed") << QStringLiteral("/mnt/c\\x\\y.txt") << QStringLiteral("y.txt");
    QTest::newRow("bare name") << QStringLiteral("notes.txt") << QStringLiteral("notes.txt");
}

void TestSmtpWire::extractFileName_cutsAtBothSeparators()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(MessageWriter::extractFileName(path), name);
}

void TestSmtpWire::headerValues_followRfc5322()
{
    const QRegularExpression date(QStringLiteral(R"(^(\w{3}, )?\d{2} \w{3} \d{4} \d{2}:\d{2}:\d{2} [+-]\d{4}$)"));
    QVERIFY2(date.match(MessageWriter::dateValue()).hasMatch(), qPrintable(MessageWriter::dateValue()));
    const QString id = MessageWriter::messageIdValue(QStringLiteral("alerts@broker.example.com"));
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^<[0-9a-f-]{36}@broker\.example\.com>$)")).match(id).hasMatch(),
             qPrintable(id));
    QVERIFY(MessageWriter::messageIdValue(QStringLiteral("no-at-sign")).endsWith(QLatin1String("@localhost>")));
    QVERIFY(MessageWriter::messageIdValue(QStringLiteral("a@bad domain>")).endsWith(QLatin1String("@localhost>")));
    QVERIFY(MessageWriter::messageIdValue(QStringLiteral("a@x.org")) != MessageWriter::messageIdValue(QStringLiteral("a@x.org")));
}

QTEST_GUILESS_MAIN(TestSmtpWire)
#include "tst_smtp_wire.moc"
