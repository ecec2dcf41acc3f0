// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ListSplitter.h"
#include "MessageWriter.h"
#include "SmtpReply.h"
#include "SmtpTestKit.h"
#include "smtp/Base64.h"
#include "smtp/ComponentRegistry.h"
#include "smtp/ComponentServer.h"

#include <QRegularExpression>
#include <QSignalSpy>

using ByteList = QList<QByteArray>;

// The control's pieces that need no connection: Base64, list splitting, reply
// assembly, the text put on the wire and the library's class factory.
class TestSmtpUnits final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every length up to 200 covers each padding case, every character of the
    // alphabet and the 57-byte group that makes one 76-character mail line.
    void encode_agreesWithQtAndDecodeReversesIt()
    {
        QByteArray bytes;
        for (int length = 0; length <= 200; ++length) {
            const QByteArray encoded = Base64().Encode(bytes);
            QCOMPARE(encoded, bytes.toBase64());
            if (length > 0)
                QCOMPARE(Base64().Decode(encoded).value_or("<refused>"), bytes);
            bytes.append(char(QRandomGenerator::global()->bounded(256)));
        }
    }

    void decode_stopsAtFirstByteOutsideAlphabet_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("short group of two") << QByteArray("YW") << true << QByteArray("a");
        QTest::newRow("short group of one") << QByteArray("Y") << true << QByteArray();
        QTest::newRow("line break ends it") << QByteArray("YWJj\r\nYWJj") << true << QByteArray("abc");
        QTest::newRow("tab ends it") << QByteArray("YWJjZA\tYWJj") << true << QByteArray("abcd");
        QTest::newRow("leading blanks skipped") << QByteArray("   YWJj") << true << QByteArray("abc");
        QTest::newRow("blanks only") << QByteArray("    ") << true << QByteArray();
        QTest::newRow("starts with pad") << QByteArray("=YWJj") << false << QByteArray();
        QTest::newRow("tab after blanks") << QByteArray("  \tYWJj") << false << QByteArray();
    }
    void decode_stopsAtFirstByteOutsideAlphabet()
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

    void shifts_multiplyAndDivideWithOverflowRefused_data()
    {
        QTest::addColumn<bool>("left");
        QTest::addColumn<int>("dw");
        QTest::addColumn<int>("n");
        QTest::addColumn<QVariant>("expected"); // none: refused
        QTest::newRow("shl 1 by 30") << true << 1 << 30 << QVariant(1073741824);
        QTest::newRow("shl 1 by 31 overflows") << true << 1 << 31 << QVariant();
        QTest::newRow("shl -1 by 31 fits") << true << -1 << 31 << QVariant(std::numeric_limits<int>::min());
        QTest::newRow("shl 0 by 200") << true << 0 << 200 << QVariant(0);
        QTest::newRow("shr -5 by 1 truncates toward zero") << false << -5 << 1 << QVariant(-2);
        QTest::newRow("shr by 30") << false << std::numeric_limits<int>::max() << 30 << QVariant(1);
        QTest::newRow("shr by 31 overflows") << false << 1 << 31 << QVariant();
    }
    void shifts_multiplyAndDivideWithOverflowRefused()
    {
        QFETCH(bool, left);
        QFETCH(int, dw);
        QFETCH(int, n);
        QFETCH(QVariant, expected);
        const std::optional<std::int32_t> result = left ? Base64::Shl(dw, std::uint8_t(n)) : Base64::Shr(dw, std::uint8_t(n));
        QCOMPARE(result ? QVariant(*result) : QVariant(), expected);
    }

    void splitList_keepsEntriesAsGivenInOrder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("overflow");
        QStringList withoutSender = numberedList(101).split(u';');
        withoutSender.removeOne(QStringLiteral("entry7"));
        QTest::newRow("blanks stay next to separators") << "a@x.org ; b@y.org" << "" << QStringList{"a@x.org ", " b@y.org"} << false;
        QTest::newRow("sender dropped") << "a@x.org;me@x.org;c@z.org" << "me@x.org" << QStringList{"a@x.org", "c@z.org"} << false;
        QTest::newRow("sender comparison is exact") << "Me@x.org" << "me@x.org" << QStringList{"Me@x.org"} << false;
        QTest::newRow("only the sender") << "me@x.org" << "me@x.org" << QStringList{} << false;
        QTest::newRow("empty entries dropped") << ";a@x.org;;b@y.org;" << "" << QStringList{"a@x.org", "b@y.org"} << false;
        QTest::newRow("100 entries") << numberedList(100) << "" << numberedList(100).split(u';') << false;
        QTest::newRow("101 entries") << numberedList(101) << "" << numberedList(100).split(u';') << true;
        QTest::newRow("101 with the sender") << numberedList(101) << "entry7" << withoutSender << false;
    }
    void splitList_keepsEntriesAsGivenInOrder()
    {
        QFETCH(QString, text);
        QFETCH(QString, sender);
        QFETCH(QStringList, expected);
        QFETCH(bool, overflow);
        const SplitResult result = splitList(text, Smtp::MaxListEntries, sender);
        QCOMPARE(result.entries, expected);
        QCOMPARE(result.overflow, overflow);
    }

    // A reply counts once it is complete; a line that never ends is given up as garbage.
    void replies_areAssembledBeforeTheirCodeIsRead_data()
    {
        QTest::addColumn<ByteList>("segments");
        QTest::addColumn<ByteList>("replies"); // "*": any text
        QTest::addColumn<QList<int>>("codes");
        const ByteList multiLine{"250-first\r\n250-second\r\n250 last\r\n"};
        QTest::newRow("split in the code") << ByteList{"2", "50 ok", "\r\n"} << ByteList{"250 ok\r\n"} << QList<int>{250};
        QTest::newRow("split between CR and LF") << ByteList{"354 go\r", "\n"} << ByteList{"354 go\r\n"} << QList<int>{354};
        QTest::newRow("multi-line at once") << multiLine << multiLine << QList<int>{250};
        QTest::newRow("multi-line line by line") << ByteList{"250-first\r\n", "250 last\r\n"}
                                                 << ByteList{"250-first\r\n250 last\r\n"} << QList<int>{250};
        QTest::newRow("bare code") << ByteList{"250\r\n"} << ByteList{"250\r\n"} << QList<int>{250};
        QTest::newRow("bare LF") << ByteList{"220 hi\n"} << ByteList{"220 hi\n"} << QList<int>{220};
        QTest::newRow("two replies in one segment")
            << ByteList{"250 ok\r\n221 bye\r\n"} << ByteList{"250 ok\r\n", "221 bye\r\n"} << QList<int>{250, 221};
        QTest::newRow("garbage") << ByteList{"hello there\r\n"} << ByteList{"hello there\r\n"} << QList<int>{0};
        QTest::newRow("digits glued to text") << ByteList{"250ok\r\n"} << ByteList{"250ok\r\n"} << QList<int>{0};
        QTest::newRow("incomplete") << ByteList{"250-first\r\n", "250 la"} << ByteList{} << QList<int>{};
        QTest::newRow("endless line") << ByteList(16, QByteArray(4096, 'x')) << ByteList{"*"} << QList<int>{0};
    }
    void replies_areAssembledBeforeTheirCodeIsRead()
    {
        QFETCH(ByteList, segments);
        QFETCH(ByteList, replies);
        QFETCH(QList<int>, codes);
        ReplyAssembler assembler;
        ByteList gotReplies;
        QList<int> gotCodes;
        for (const QByteArray& segment : segments) {
            for (const SmtpReply& reply : assembler.feed(segment)) {
                gotReplies.append(replies.value(0) == "*" ? "*" : reply.text);
                gotCodes.append(reply.code);
            }
        }
        QCOMPARE(gotReplies, replies);
        QCOMPARE(gotCodes, codes);
        QCOMPARE(assembler.hasPartial(), replies.isEmpty());
    }

    void wireText_endsLinesWithCrLfAndStuffsDots_data()
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
    void wireText_endsLinesWithCrLfAndStuffsDots()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(MessageWriter::wireText(text), wire);
    }

    void extractFileName_cutsAtBothSeparators()
    {
        for (const char* path : {"C:\\data\\reports\\q1.pdf", "/home/user/private/q1.pdf", "/mnt/c\\x\\q1.pdf", "q1.pdf"})
            QCOMPARE(MessageWriter::extractFileName(QString::fromLatin1(path)), QStringLiteral("q1.pdf"));
    }

    void headerValues_followRfc5322()
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

    void classFactory_servesEveryClassOfTheLibrary_data()
    {
        QTest::addColumn<QByteArray>("progId");
        QTest::addColumn<QByteArray>("className"); // empty: not served
        QTest::newRow("control") << QByteArray(SMTP_PROGID) << QByteArray("Smtp");
        QTest::newRow("codec") << QByteArray(BASE64_PROGID) << QByteArray("Base64Component");
        QTest::newRow("unknown") << QByteArray("DazoDarozeREdorovu.Nothing") << QByteArray();
    }
    void classFactory_servesEveryClassOfTheLibrary()
    {
        QFETCH(QByteArray, progId);
        QFETCH(QByteArray, className);
        const QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCOMPARE(DllRegisterServer(), COMPONENT_OK);
        QCOMPARE(ComponentRegistry::libraryFor(QString::fromLatin1(progId)).isEmpty(), className.isEmpty());
        const ComponentClassObject* classObject = nullptr;
        QCOMPARE(DllGetClassObject(progId.constData(), &classObject),
                 className.isEmpty() ? COMPONENT_E_CLASSNOTAVAILABLE : COMPONENT_OK);
        QCOMPARE(classObject == nullptr, className.isEmpty());
        if (!classObject)
            return;
        std::unique_ptr<QObject> instance(classObject->createInstance(nullptr));
        QCOMPARE(instance->metaObject()->className(), className);
        QCOMPARE(DllCanUnloadNow(), COMPONENT_FALSE);
        instance.reset();
        QCOMPARE(DllCanUnloadNow(), COMPONENT_OK);
        QCOMPARE(DllUnregisterServer(), COMPONENT_OK);
        QVERIFY(ComponentRegistry::libraryFor(QString::fromLatin1(progId)).isEmpty());
    }

    // A host without the header finds the codec's methods and signal by their signatures.
    void base64ByProgId_codesThroughTheMetaObject()
    {
        const ComponentClassObject* classObject = nullptr;
        QCOMPARE(DllGetClassObject(BASE64_PROGID, &classObject), COMPONENT_OK);
        const std::unique_ptr<QObject> codec(classObject->createInstance(nullptr));
        QSignalSpy errors(codec.get(), codec->metaObject()->method(codec->metaObject()->indexOfSignal("Error(QString)")));
        QByteArray bytes;
        int shifted = 0;
        QVERIFY(QMetaObject::invokeMethod(codec.get(), "Encode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, "abcd")));
        QCOMPARE(bytes, QByteArray("YWJjZA=="));
        QVERIFY(QMetaObject::invokeMethod(codec.get(), "Decode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, bytes)));
        QVERIFY(QMetaObject::invokeMethod(codec.get(), "Shl", Q_RETURN_ARG(int, shifted), Q_ARG(int, 3), Q_ARG(int, 4)));
        QCOMPARE(bytes + QByteArray::number(shifted), QByteArray("abcd48"));
        QCOMPARE(errors.size(), 0);
        QVERIFY(QMetaObject::invokeMethod(codec.get(), "Decode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, "!x")));
        QCOMPARE(errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSmtpUnits)
#include "tst_smtp_units.moc"
