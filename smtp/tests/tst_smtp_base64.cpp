#include "smtp/Base64.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}
} // namespace

class TestBase64 final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encode_givesStandardAlphabetWithPadding_data();
    void encode_givesStandardAlphabetWithPadding();
    void encode_agreesWithQtAndDecodeReversesIt();
    void decode_stopsAtFirstByteOutsideAlphabet_data();
    void decode_stopsAtFirstByteOutsideAlphabet();
    void shifts_multiplyAndDivideWithOverflowRefused_data();
    void shifts_multiplyAndDivideWithOverflowRefused();
};

void TestBase64::encode_givesStandardAlphabetWithPadding_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("two pads") << QByteArray("abcd") << QByteArray("YWJjZA==");
    QTest::newRow("one pad") << QByteArray("ab") << QByteArray("YWI=");
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

// Every length up to 200 covers each padding case and the 57-byte group that
// makes one 76-character mail line.
void TestBase64::encode_agreesWithQtAndDecodeReversesIt()
{
    const Base64 codec;
    for (int length = 0; length <= 200; ++length) {
        const QByteArray bytes = randomBytes(length);
        const QByteArray encoded = codec.Encode(bytes);
        QCOMPARE(encoded, bytes.toBase64());
        if (length > 0)
            QCOMPARE(codec.Decode(encoded).value_or("<refused>"), bytes);
    }
}

void TestBase64::decode_stopsAtFirstByteOutsideAlphabet_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("two pads") << QByteArray("YQ==") << true << QByteArray("a");
    QTest::newRow("short group of two") << QByteArray("YW") << true << QByteArray("a");
    QTest::newRow("short group of one") << QByteArray("Y") << true << QByteArray();
    QTest::newRow("line break ends it") << QByteArray("YWJj\r\nYWJj") << true << QByteArray("abc");
    QTest::newRow("tab ends it") << QByteArray("YWJjZA\tYWJj") << true << QByteArray("abcd");
    QTest::newRow("leading blanks skipped") << QByteArray("   YWJj") << true << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("blanks only") << QByteArray("    ") << true << QByteArray();
    QTest::newRow("starts with pad") << QByteArray("=YWJj") << false << QByteArray();
    QTest::newRow("tab after blanks") << QByteArray("  \tYWJj") << false << QByteArray();
    QTest::newRow("line break only") << QByteArray("\r\n") << false << QByteArray();
}

void TestBase64::decode_stopsAtFirstByteOutsideAlphabet()
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
    QCOMPARE(result.value_or(0), expected);
}

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_smtp_base64.moc"
