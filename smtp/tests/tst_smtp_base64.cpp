#include "smtp/Base64.h"

#include <QRandomGenerator>
#include <QTest>

class TestBase64 final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encode_givesStandardAlphabetWithPadding_data();
    void encode_givesStandardAlphabetWithPadding();
    void encode_fiftySevenBytesGiveOneLineOf76();
    void encode_agreesWithQtForEveryLengthUpTo200();
    void decode_stopsAtFirstByteOutsideAlphabet_data();
    void decode_stopsAtFirstByteOutsideAlphabet();
    void decode_textStartingOutsideAlphabet_isRefusedWithReason();
    void decode_reversesEncode();
    void shifts_multiplyAndDivideWithOverflowRefused_data();
    void shifts_multiplyAndDivideWithOverflowRefused();
};

void TestBase64::encode_givesStandardAlphabetWithPadding_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("a") << QByteArray("a") << QByteArray("YQ==");
    QTest::newRow("ab") << QByteArray("ab") << QByteArray("YWI=");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("YWJj");
    QTest::newRow("abcd") << QByteArray("abcd") << QByteArray("YWJjZA==");
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\xfd\x00", 4) << QByteArray("//79AA==");
    QTest::newRow("all 6-bit values")
        << QByteArray::fromHex("00108310518720928b30d38f41149351559761969b71d79f8218a39259a7a29aabb2dbafc31cb3d35db7e39ebbf3dfbf")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

void TestBase64::encode_givesStandardAlphabetWithPadding()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(Base64().Encode(input), expected);
}

void TestBase64::encode_fiftySevenBytesGiveOneLineOf76()
{
    QByteArray group(57, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(group.data()), 14);
    const QByteArray line = Base64().Encode(group);
    QCOMPARE(line.size(), 76);
    QVERIFY(!line.contains('\n') && !line.contains('='));
}

void TestBase64::encode_agreesWithQtForEveryLengthUpTo200()
{
    const Base64 codec;
    QByteArray bytes;
    for (int length = 0; length <= 200; ++length) {
        QCOMPARE(codec.Encode(bytes), bytes.toBase64());
        bytes.append(char(QRandomGenerator::global()->bounded(256)));
    }
}

void TestBase64::decode_stopsAtFirstByteOutsideAlphabet_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("whole group") << QByteArray("YWJj") << QByteArray("abc");
    QTest::newRow("one pad") << QByteArray("YWI=") << QByteArray("ab");
    QTest::newRow("two pads") << QByteArray("YQ==") << QByteArray("a");
    QTest::newRow("two characters") << QByteArray("YW") << QByteArray("a");
    QTest::newRow("one character") << QByteArray("Y") << QByteArray();
    QTest::newRow("line break ends it") << QByteArray("YWJj\r\nYWJj") << QByteArray("abc");
    QTest::newRow("leading blanks") << QByteArray("   YWJj") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("blanks only") << QByteArray("    ") << QByteArray();
    QTest::newRow("tab is not a blank") << QByteArray("YWJjZA\tYWJj") << QByteArray("abcd");
}

void TestBase64::decode_stopsAtFirstByteOutsideAlphabet()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    const std::optional<QByteArray> decoded = Base64().Decode(input);
    QVERIFY(decoded.has_value());
    QCOMPARE(*decoded, expected);
}

void TestBase64::decode_textStartingOutsideAlphabet_isRefusedWithReason()
{
    for (const QByteArray& input : {QByteArray("=YWJj"), QByteArray("  \tYWJj"), QByteArray("\r\n")}) {
        QString error;
        QVERIFY2(!Base64().Decode(input, &error).has_value(), input.constData());
        QVERIFY(!error.isEmpty());
    }
}

void TestBase64::decode_reversesEncode()
{
    const Base64 codec;
    for (int length = 1; length <= 120; ++length) {
        QByteArray bytes(length, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(QRandomGenerator::global()->bounded(256));
        QCOMPARE(codec.Decode(codec.Encode(bytes)).value_or("<refused>"), bytes);
    }
}

void TestBase64::shifts_multiplyAndDivideWithOverflowRefused_data()
{
    QTest::addColumn<bool>("left");
    QTest::addColumn<int>("dw");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");
    QTest::newRow("shl 255 by 6") << true << 255 << 6 << true << 16320;
    QTest::newRow("shl 1 by 30") << true << 1 << 30 << true << 1073741824;
    QTest::newRow("shl 1 by 31 overflows") << true << 1 << 31 << false << 0;
    QTest::newRow("shl -1 by 31 fits") << true << -1 << 31 << true << std::numeric_limits<int>::min();
    QTest::newRow("shl 0 by 200") << true << 0 << 200 << true << 0;
    QTest::newRow("shr 255 by 2") << false << 255 << 2 << true << 63;
    QTest::newRow("shr -5 by 1 truncates toward zero") << false << -5 << 1 << true << -2;
    QTest::newRow("shr by 30") << false << std::numeric_limits<int>::max() << 30 << true << 1;
    QTest::newRow("shr by 31 overflows") << false << 1 << 31 << false << 0;
}

void TestBase64::shifts_multiplyAndDivideWithOverflowRefused()
{
    QFETCH(bool, left);
    QFETCH(int, dw);
    QFETCH(int, n);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const std::optional<std::int32_t> result = left ? Base64::Shl(dw, std::uint8_t(n)) : Base64::Shr(dw, std::uint8_t(n));
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, expected);
}

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_smtp_base64.moc"
