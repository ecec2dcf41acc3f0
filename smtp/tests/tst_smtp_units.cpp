// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ListSplitter.h"
#include "MessageWriter.h"
#include "SmtpReply.h"
#include "TestLists.h"
#include "smtp/Base64.h"
#include "smtp/ComponentRegistry.h"
#include "smtp/ComponentServer.h"
#include "smtp/Smtp.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using ByteList = QList<QByteArray>;

// The control's pieces that need no connection: Base64, list splitting, reply
// assembly and the text put on the wire.
class TestSmtpUnits final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encode_agreesWithQtAndDecodeReversesIt();
    void decode_stopsAtFirstByteOutsideAlphabet_data();
    void decode_stopsAtFirstByteOutsideAlphabet();
    void shifts_multiplyAndDivideWithOverflowRefused_data();
    void shifts_multiplyAndDivideWithOverflowRefused();
    void splitList_keepsEntriesAsGivenInOrder_data();
    void splitList_keepsEntriesAsGivenInOrder();
    void replies_areAssembledBeforeTheirCodeIsRead_data();
    void replies_areAssembledBeforeTheirCodeIsRead();
    void replies_endlessLine_isGivenUpAsGarbage();
    void wireText_endsLinesWithCrLfAndStuffsDots_data();
    void wireText_endsLinesWithCrLfAndStuffsDots();
    void extractFileName_cutsAtBothSeparators_data();
    void extractFileName_cutsAtBothSeparators();
    void headerValues_followRfc5322();
    void classFactory_servesEveryClassOfTheLibrary_data();
    void classFactory_servesEveryClassOfTheLibrary();
    void base64ByProgId_codesThroughTheMetaObject();
};

// Every length up to 200 covers each padding case, every character of the
// alphabet and the 57-byte group that makes one 76-character mail line.
void TestSmtpUnits::encode_agreesWithQtAndDecodeReversesIt()
{
    const Base64 codec;
    QByteArray bytes;
    for (int length = 0; length <= 200; ++length) {
        const QByteArray encoded = codec.Encode(bytes);
        QCOMPARE(encoded, bytes.toBase64());
        if (length > 0)
            QCOMPARE(codec.Decode(encoded).value_or("<refused>"), bytes);
        bytes.append(char(QRandomGenerator::global()->bounded(256)));
    }
}

void TestSmtpUnits::decode_stopsAtFirstByteOutsideAlphabet_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("short group of two") << QByteArray("YW") << true << QByteArray("a");
    QTest::newRow("short group of one") << QByteArray("Y") << true << QByteArray();
    QTest::newRow("line break ends it") << QByteArray("YWJj\r\nYWJj") << true << QByteArray("abc");
    QTest::newRow("tab ends it") << QByteArray("YWJjZA\tYWJj") << true << QByteArray("abcd");
    QTest::newRow("leading blanks skipped") << QByteArray("   YWJj") << true << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("blanks only") << QByteArray("    ") << true << QByteArray();
    QTest::newRow("starts with pad") << QByteArray("=YWJj") << false << QByteArray();
    QTest::newRow("tab after blanks") << QByteArray("  \tYWJj") << false << QByteArray();
}

void TestSmtpUnits::decode_stopsAtFirstByteOutsideAlphabet()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, expected);
    QString error;
    const std::optional<QByteArray> decoded = Base64().Decode(input, &error);
    QCOMPARE(decoded.has_value(), accepted);
    QCOMPARE(error.isEmpty(), accepted);
    QCOMPARE(decoded.value_or(QByteArray()), expected);
}

void TestSmtpUnits::shifts_multiplyAndDivideWithOverflowRefused_data()
{
    QTest::addColumn<bool>("left");
    QTest::addColumn<int>("dw");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");
    QTest::newRow("shl 1 by 30") << true << 1 << 30 << true << 1073741824;
    QTest::newRow("shl 1 by 31 overflows") << true << 1 << 31 << false << 0;
    QTest::newRow("shl -1 by 31 fits") << true << -1 << 31 << true << std::numeric_limits<int>::min();
    QTest::newRow("shl 0 by 200") << true << 0 << 200 << true << 0;
    QTest::newRow("shr -5 by 1 truncates toward zero") << false << -5 << 1 << true << -2;
    QTest::newRow("shr by 30") << false << std::numeric_limits<int>::max() << 30 << true << 1;
    QTest::newRow("shr by 31 overflows") << false << 1 << 31 << false << 0;
}

void TestSmtpUnits::shifts_multiplyAndDivideWithOverflowRefused()
{
    QFETCH(bool, left);
    QFETCH(int, dw);
    QFETCH(int, n);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const std::optional<std::int32_t> result = left ? Base64::Shl(dw, std::uint8_t(n)) : Base64::Shr(dw, std::uint8_t(n));
    QCOMPARE(result.has_value(), fits);
    QCOMPARE(result.value_or(0), expected);
}

void TestSmtpUnits::splitList_keepsEntriesAsGivenInOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("overflow");
    QStringList withoutSender = numberedList(101).split(u';');
    withoutSender.removeOne(QStringLiteral("entry7"));
    QTest::newRow("trailing separator") << "a@x.org;b@y.org;" << "" << QStringList{"a@x.org", "b@y.org"} << false;
    QTest::newRow("blanks stay next to separators") << "a@x.org ; b@y.org" << "" << QStringList{"a@x.org ", " b@y.org"} << false;
    QTest::newRow("sender dropped") << "a@x.org;me@x.org;c@z.org" << "me@x.org" << QStringList{"a@x.org", "c@z.org"} << false;
    QTest::newRow("sender comparison is exact") << "Me@x.org" << "me@x.org" << QStringList{"Me@x.org"} << false;
    QTest::newRow("only the sender") << "me@x.org" << "me@x.org" << QStringList{} << false;
    QTest::newRow("empty entries dropped") << ";a@x.org;;b@y.org" << "" << QStringList{"a@x.org", "b@y.org"} << false;
    QTest::newRow("100 entries") << numberedList(100) << "" << numberedList(100).split(u';') << false;
    QTest::newRow("101 entries") << numberedList(101) << "" << numberedList(100).split(u';') << true;
    QTest::newRow("101 with the sender") << numberedList(101) << "entry7" << withoutSender << false;
}

void TestSmtpUnits::splitList_keepsEntriesAsGivenInOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, sender);
    QFETCH(QStringList, expected);
    QFETCH(bool, overflow);
    const SplitResult result = splitList(text, Smtp::MaxListEntries, sender);
    QCOMPARE(result.entries, expected);
    QCOMPARE(result.overflow, overflow);
}

void TestSmtpUnits::replies_areAssembledBeforeTheirCodeIsRead_data()
{
    QTest::addColumn<ByteList>("segments");
    QTest::addColumn<ByteList>("replies");
    QTest::addColumn<QList<int>>("codes");
    QTest::newRow("split in the code") << ByteList{"2", "50 ok", "\r\n"} << ByteList{"250 ok\r\n"} << QList<int>{250};
    QTest::newRow("split between CR and LF") << ByteList{"354 go\r", "\n"} << ByteList{"354 go\r\n"} << QList<int>{354};
    QTest::newRow("multi-line at once") << ByteList{"250-first\r\n250-second\r\n250 last\r\n"}
                                        << ByteList{"250-first\r\n250-second\r\n250 last\r\n"} << QList<int>{250};
    QTest::newRow("multi-line line by line") << ByteList{"250-first\r\n", "250 last\r\n"}
                                             << ByteList{"250-first\r\n250 last\r\n"} << QList<int>{250};
    QTest::newRow("bare code") << ByteList{"250\r\n"} << ByteList{"250\r\n"} << QList<int>{250};
    QTest::newRow("bare LF") << ByteList{"220 hi\n"} << ByteList{"220 hi\n"} << QList<int>{220};
    QTest::newRow("two replies in one segment")
        << ByteList{"250 ok\r\n221 bye\r\n"} << ByteList{"250 ok\r\n", "221 bye\r\n"} << QList<int>{250, 221};
    QTest::newRow("garbage") << ByteList{"hello there\r\n"} << ByteList{"hello there\r\n"} << QList<int>{0};
    QTest::newRow("digits glued to text") << ByteList{"250ok\r\n"} << ByteList{"250ok\r\n"} << QList<int>{0};
    QTest::newRow("incomplete") << ByteList{"250-first\r\n", "250 la"} << ByteList{} << QList<int>{};
}

void TestSmtpUnits::replies_areAssembledBeforeTheirCodeIsRead()
{
    QFETCH(ByteList, segments);
    QFETCH(ByteList, replies);
    QFETCH(QList<int>, codes);
    ReplyAssembler assembler;
    ByteList gotReplies;
    QList<int> gotCodes;
    for (const QByteArray& segment : segments) {
        for (const SmtpReply& reply : assembler.feed(segment)) {
            gotReplies.append(reply.text);
            gotCodes.append(reply.code);
        }
    }
    QCOMPARE(gotReplies, replies);
    QCOMPARE(gotCodes, codes);
}

void TestSmtpUnits::replies_endlessLine_isGivenUpAsGarbage()
{
    ReplyAssembler assembler;
    QList<SmtpReply> replies;
    for (int i = 0; i < 20 && replies.isEmpty(); ++i)
        replies = assembler.feed(QByteArray(4096, 'x'));
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().code, 0);
    QVERIFY(!assembler.hasPartial());
}

void TestSmtpUnits::wireText_endsLinesWithCrLfAndStuffsDots_data()
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

void TestSmtpUnits::wireText_endsLinesWithCrLfAndStuffsDots()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QCOMPARE(MessageWriter::wireText(text), wire);
}

void TestSmtpUnits::extractFileName_cutsAtBothSeparators_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("drive and folders") << "C:\\data\\reports\\q1.pdf" << "q1.pdf";
    QTest::newRow("unix path") << "/home/user/private/q1.pdf" << "q1.pdf";
    QTest::newRow("mixed") << "/mnt/c\\x\\y.txt" << "y.txt";
    QTest::newRow("bare name") << "notes.txt" << "notes.txt";
}

void TestSmtpUnits::extractFileName_cutsAtBothSeparators()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(MessageWriter::extractFileName(path), name);
}

void TestSmtpUnits::headerValues_followRfc5322()
{
    const QString date = MessageWriter::dateValue();
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^(\w{3}, )?\d{2} \w{3} \d{4} \d{2}:\d{2}:\d{2} [+-]\d{4}$)")).match(date).hasMatch(), qPrintable(date));
    const QString id = MessageWriter::messageIdValue(QStringLiteral("alerts@broker.example.com"));
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^<[0-9a-f-]{36}@broker\.example\.com>$)")).match(id).hasMatch(), qPrintable(id));
    QVERIFY(id != MessageWriter::messageIdValue(QStringLiteral("alerts@broker.example.com")));
    // A sender without a usable domain still gives a valid identifier.
    for (const char* sender : {"no-at-sign", "a@bad domain>"})
        QVERIFY(MessageWriter::messageIdValue(QLatin1String(sender)).endsWith(u"@localhost>"));
}

void TestSmtpUnits::classFactory_servesEveryClassOfTheLibrary_data()
{
    QTest::addColumn<QByteArray>("progId");
    QTest::addColumn<QByteArray>("className"); // empty: not served
    QTest::newRow("control") << QByteArray(SMTP_PROGID) << QByteArray("Smtp");
    QTest::newRow("codec") << QByteArray(BASE64_PROGID) << QByteArray("Base64Component");
    QTest::newRow("unknown") << QByteArray("DazoDarozeREdorovu.Nothing") << QByteArray();
}

void TestSmtpUnits::classFactory_servesEveryClassOfTheLibrary()
{
    QFETCH(QByteArray, progId);
    QFETCH(QByteArray, className);
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCOMPARE(DllRegisterServer(), COMPONENT_OK);
    QCOMPARE(ComponentRegistry::libraryFor(QString::fromLatin1(progId)).isEmpty(), className.isEmpty());
    const ComponentClassObject* classObject = nullptr;
    if (className.isEmpty()) {
        QCOMPARE(DllGetClassObject(progId.constData(), &classObject), COMPONENT_E_CLASSNOTAVAILABLE);
        QVERIFY(!classObject);
        return;
    }
    QCOMPARE(DllGetClassObject(progId.constData(), &classObject), COMPONENT_OK);
    std::unique_ptr<QObject> instance(classObject->createInstance(nullptr));
    QVERIFY(instance);
    QCOMPARE(instance->metaObject()->className(), className);
    QCOMPARE(DllCanUnloadNow(), COMPONENT_FALSE);
    instance.reset();
    QCOMPARE(DllCanUnloadNow(), COMPONENT_OK);
    QCOMPARE(DllUnregisterServer(), COMPONENT_OK);
    QVERIFY(ComponentRegistry::libraryFor(QString::fromLatin1(progId)).isEmpty());
}

void TestSmtpUnits::base64ByProgId_codesThroughTheMetaObject()
{
    const ComponentClassObject* classObject = nullptr;
    QCOMPARE(DllGetClassObject(BASE64_PROGID, &classObject), COMPONENT_OK);
    const std::unique_ptr<QObject> codec(classObject->createInstance(nullptr));
    // A host without the header finds the signal by its signature.
    const QMetaObject* meta = codec->metaObject();
    QSignalSpy errors(codec.get(), meta->method(meta->indexOfSignal("Error(QString)")));
    QByteArray bytes;
    QVERIFY(
        QMetaObject::invokeMethod(codec.get(), "Encode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, "abcd")));
    QCOMPARE(bytes, QByteArray("YWJjZA=="));
    QVERIFY(
        QMetaObject::invokeMethod(codec.get(), "Decode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, bytes)));
    QCOMPARE(bytes, QByteArray("abcd"));
    int shifted = 0;
    QVERIFY(QMetaObject::invokeMethod(codec.get(), "Shl", Q_RETURN_ARG(int, shifted), Q_ARG(int, 3), Q_ARG(int, 4)));
    QCOMPARE(shifted, 48);
    QCOMPARE(errors.size(), 0);
    QVERIFY(QMetaObject::invokeMethod(codec.get(), "Decode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, "!x")));
    QCOMPARE(errors.size(), 1);
}

QTEST_GUILESS_MAIN(TestSmtpUnits)
#include "tst_smtp_units.moc"
