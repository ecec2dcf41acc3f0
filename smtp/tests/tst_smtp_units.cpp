// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ListSplitter.h"
#include "MessageWriter.h"
#include "SmtpReply.h"
#include "SmtpTestKit.h"
#include "smtp/Base64.h"
#include "smtp/ComponentRegistry.h"
#include "smtp/ComponentServer.h"

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

    // Blanks before the first group are skipped; a byte outside the alphabet ends the text, or, first, refuses it.
    void decode_stopsAtFirstByteOutsideAlphabet()
    {
        const std::pair<QByteArray, std::optional<QByteArray>> cases[] = {
            {"YW", "a"},        {"Y", ""},    {"YWJj\r\nYWJj", "abc"}, {"YWJjZA\tYWJj", "abcd"},
            {"   YWJj", "abc"}, {"    ", ""}, {"=YWJj", {}},           {"  \tYWJj", {}}};
        for (const auto& [input, expected] : cases) {
            QString error;
            QCOMPARE(Base64().Decode(input, &error), expected);
            QCOMPARE(error.isEmpty(), expected.has_value());
        }
    }

    void splitList_keepsEntriesAsGivenInOrder()
    {
        QStringList withoutSender = numberedList(101).split(u';');
        withoutSender.removeOne(QStringLiteral("entry7"));
        const struct {
            QString text, sender;
            QStringList expected;
            bool overflow;
        } cases[] = {{"a@x.org ; b@y.org", "", {"a@x.org ", " b@y.org"}, false}, // blanks stay next to separators
                     {"a@x.org;me@x.org;c@z.org", "me@x.org", {"a@x.org", "c@z.org"}, false},
                     {"Me@x.org", "me@x.org", {"Me@x.org"}, false}, // the sender is compared exactly
                     {"me@x.org", "me@x.org", {}, false},
                     {";a@x.org;;b@y.org;", "", {"a@x.org", "b@y.org"}, false},
                     {numberedList(100), "", numberedList(100).split(u';'), false},
                     {numberedList(101), "", numberedList(100).split(u';'), true},
                     {numberedList(101), "entry7", withoutSender, false}};
        for (const auto& c : cases) {
            const SplitResult result = splitList(c.text, Smtp::MaxListEntries, c.sender);
            QCOMPARE(result.entries, c.expected);
            QCOMPARE(result.overflow, c.overflow);
        }
    }

    // A reply counts once it is complete; a line that never ends is given up as garbage.
    void replies_areAssembledBeforeTheirCodeIsRead_data()
    {
        QTest::addColumn<ByteList>("segments");
        QTest::addColumn<ByteList>("replies"); // "*": any text
        QTest::addColumn<QList<int>>("codes");
        const ByteList multiLine{"250-first\r\n250-second\r\n250 last\r\n"};
        QTest::newRow("split in the code")
            << ByteList{"2", "50 ok", "\r\n"} << ByteList{"250 ok\r\n"} << QList<int>{250};
        QTest::newRow("split between CR and LF")
            << ByteList{"354 go\r", "\n"} << ByteList{"354 go\r\n"} << QList<int>{354};
        QTest::newRow("multi-line at once") << multiLine << multiLine << QList<int>{250};
        QTest::newRow("multi-line line by line")
            << ByteList{"250-first\r\n", "250 last\r\n"} << ByteList{"250-first\r\n250 last\r\n"} << QList<int>{250};
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

    void wireText_endsLinesWithCrLfAndStuffsDots()
    {
        const std::pair<QString, QByteArray> cases[] = {{"a\r\nb", "a\r\nb"},
                                                        {"a\nb\n", "a\r\nb\r\n"},
                                                        {"a\rb", "a\r\nb"},
                                                        {"a\n\rb", "a\r\n\r\nb"},
                                                        {"a\r\n.\r\nb", "a\r\n..\r\nb"},
                                                        {"a\n.\nb", "a\r\n..\r\nb"},
                                                        {".x", "..x"},
                                                        {"a.b\r\n x.", "a.b\r\n x."},
                                                        {QStringLiteral("caf\u00e9"), "caf\xe9"}};
        for (const auto& [text, wire] : cases)
            QCOMPARE(MessageWriter::wireText(text), wire);
    }

    // The library registers every class it serves and creates each by its ProgID; a host without the header
    // finds the codec's methods and signal by their signatures.
    void classFactory_servesEveryClassOfTheLibrary()
    {
        const QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCOMPARE(DllRegisterServer(), COMPONENT_OK);
        const ComponentClassObject* classObject = nullptr;
        QCOMPARE(DllGetClassObject("DazoDarozeREdorovu.Nothing", &classObject), COMPONENT_E_CLASSNOTAVAILABLE);
        QVERIFY(!classObject);
        for (const auto& [progId, className] : {std::pair(SMTP_PROGID, "Smtp"), {BASE64_PROGID, "Base64Component"}}) {
            QVERIFY(!ComponentRegistry::libraryFor(QLatin1String(progId)).isEmpty());
            QCOMPARE(DllGetClassObject(progId, &classObject), COMPONENT_OK);
            const std::unique_ptr<QObject> instance(classObject->createInstance(nullptr));
            QCOMPARE(instance->metaObject()->className(), className);
            QCOMPARE(DllCanUnloadNow(), COMPONENT_FALSE);
        }
        QCOMPARE(DllCanUnloadNow(), COMPONENT_OK);
        QCOMPARE(DllUnregisterServer(), COMPONENT_OK);
        QVERIFY(ComponentRegistry::libraryFor(QStringLiteral(SMTP_PROGID)).isEmpty());

        const std::unique_ptr<QObject> codec(classObject->createInstance(nullptr));
        QSignalSpy errors(codec.get(),
                          codec->metaObject()->method(codec->metaObject()->indexOfSignal("Error(QString)")));
        QByteArray bytes;
        QVERIFY(QMetaObject::invokeMethod(codec.get(), "Encode", Q_RETURN_ARG(QByteArray, bytes),
                                          Q_ARG(QByteArray, "abcd")));
        QCOMPARE(bytes, QByteArray("YWJjZA=="));
        QVERIFY(
            QMetaObject::invokeMethod(codec.get(), "Decode", Q_RETURN_ARG(QByteArray, bytes), Q_ARG(QByteArray, "!x")));
        QCOMPARE(errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSmtpUnits)
#include "tst_smtp_units.moc"
