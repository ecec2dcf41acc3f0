#include "monitor/OfferingsParser.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

namespace {

// The parse as first written for the main window: copy the rest of the page after each
// offering and search it again from the start, and let a sorted list insert each entry after
// those that compare equal. Slow, but plainly right, which is what the fast parser is held to.
ParsedOfferings referenceParse(const QString& page)
{
    ParsedOfferings result;
    QStringList sorted;
    QString rest = page;
    for (;;) {
        const qsizetype h = rest.indexOf(QLatin1String("Ipo_Symbol="), 0, Qt::CaseInsensitive);
        if (h < 0)
            break;
        QString entry = rest.mid(h + 11, 4);
        if (!entry.isEmpty() && entry.back() >= u'0' && entry.back() <= u'9')
            entry.chop(1);
        const qsizetype j = rest.indexOf(QLatin1String("Ipo_OfferType="), h, Qt::CaseInsensitive);
        if (j >= 0) {
            const qsizetype k = rest.indexOf(QLatin1String("IMG SRC=/images/"), j, Qt::CaseInsensitive);
            if (k >= 0) {
                const qsizetype l = rest.indexOf(u'.', k);
                if (l >= 0) {
                    const QString name = rest.mid(k + 16, l - k - 16);
                    entry += name.contains(QLatin1String("go"), Qt::CaseInsensitive) ? QStringLiteral(" (go-now)")
                                                                                     : QStringLiteral(" (closed)");
                }
            }
        }
        result.lastEntry = entry;
        qsizetype at = 0;
        while (at < sorted.size() && QString::compare(sorted.at(at), entry, Qt::CaseInsensitive) <= 0)
            ++at;
        sorted.insert(at, entry);
        rest = rest.mid(h + 1);
    }
    for (const QString& entry : std::as_const(sorted))
        result.tickerList += entry + QStringLiteral("  ");
    return result;
}

// Pages made of marker pieces in mixed case, status words, dots and filler, so that markers
// are missing, repeated, far apart and cut off at the end of the page in every combination.
QString randomPage(QRandomGenerator& random)
{
    static const QStringList pieces = {
        QStringLiteral("Ipo_Symbol="),      QStringLiteral("IPO_SYMBOL="),      QStringLiteral("ipo_symbol="),
        QStringLiteral("Ipo_OfferType="),   QStringLiteral("ipo_OFFERTYPE="),   QStringLiteral("IMG SRC=/images/"),
        QStringLiteral("img src=/IMAGES/"), QStringLiteral("."),                QStringLiteral("go"),
        QStringLiteral("Go"),               QStringLiteral("g"),                QStringLiteral("o"),
        QStringLiteral("lo"),               QStringLiteral("zz"),               QStringLiteral("AB"),
        QStringLiteral("b"),                QStringLiteral("7"),                QStringLiteral("&"),
        QStringLiteral(" "),                QStringLiteral("<TD>"),             QStringLiteral("Ä"),
        QStringLiteral("Ipo_Sym"),          QStringLiteral("IMG SRC=/ima"),
    };
    QString page;
    const int count = random.bounded(40);
    for (int i = 0; i < count; ++i)
        page += pieces.at(random.bounded(int(pieces.size())));
    return page;
}

QString repeated(const QString& text, int times)
{
    QString result;
    result.reserve(text.size() * times);
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

} // namespace

class TestOfferingsParser final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pages_giveTickerList_data();
    void pages_giveTickerList();
    void randomPages_matchStraightforwardParse();
    void farOrMissingStatusMarkers_parseInLinearTime_data();
    void farOrMissingStatusMarkers_parseInLinearTime();
};

void TestOfferingsParser::pages_giveTickerList_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("tickerList");
    QTest::addColumn<QString>("lastEntry");

    const QString go = QStringLiteral("&Ipo_OfferType=1\"><IMG SRC=/images/go.gif></A>");
    const QString closed = QStringLiteral("&Ipo_OfferType=1\"><IMG SRC=/images/closed.gif></A>");

    QTest::newRow("empty page") << QString() << " " << " ";
    QTest::newRow("no offering marker") << "<HTML><BODY>No offerings today.</BODY></HTML>" << " " << " ";
    QTest::newRow("open offering") << "<A HREF=\"x?Ipo_Symbol=ABCD" + go << " ABCD (go-now)  " << "ABCD (go-now)";
    QTest::newRow("fourth character digit is dropped")
        << "Ipo_Symbol=XYZ2" + closed << " XYZ (closed)  " << "XYZ (closed)";
    QTest::newRow("fourth character not a digit stays") << "Ipo_Symbol=AB&C&x" << " AB&C  " << "AB&C";
    QTest::newRow("five letters cut to four") << "Ipo_Symbol=ABCDE" + go << " ABCD (go-now)  " << "ABCD (go-now)";
    QTest::newRow("marker at the very end of the page") << "<A HREF=x?Ipo_Symbol=" << "   " << "";
    QTest::newRow("marker near the end, short digit entry") << "Ipo_Symbol=A1" << " A  " << "A";
    QTest::newRow("markers in other case")
        << "ipo_symbol=abcd&IPO_OFFERTYPE=1 img src=/IMAGES/Go_Now.GIF" << " abcd (go-now)  " << "abcd (go-now)";
    QTest::newRow("no offer type anywhere after the offering")
        << "Ipo_Symbol=ABCD&x=1 IMG SRC=/images/go.gif" << " ABCD  " << "ABCD";
    QTest::newRow("offer type only before the offering")
        << "Ipo_OfferType=1 IMG SRC=/images/go.gif Ipo_Symbol=ABCD" << " ABCD  " << "ABCD";
    QTest::newRow("image only before the offer type")
        << "Ipo_Symbol=ABCD IMG SRC=/images/go.gif Ipo_OfferType=1" << " ABCD  " << "ABCD";
    QTest::newRow("no status image anywhere")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 Ipo_Symbol=EFGH&Ipo_OfferType=2" << " ABCD  EFGH  " << "EFGH";
    QTest::newRow("image name without a dot after it")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/go" << " ABCD  " << "ABCD";
    QTest::newRow("logo counts as open")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/logo.gif" << " ABCD (go-now)  " << "ABCD (go-now)";
    QTest::newRow("empty image name is closed")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/.gif go" << " ABCD (closed)  " << "ABCD (closed)";
    QTest::newRow("go after the dot does not count")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/closed.gif go.gif" << " ABCD (closed)  "
        << "ABCD (closed)";
    QTest::newRow("go split by the dot does not count")
        << "Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/xg.ogif" << " ABCD (closed)  " << "ABCD (closed)";
    QTest::newRow("status taken from a later offering's image")
        << "Ipo_Symbol=AAAA&Ipo_OfferType=1 <TD>n/a</TD> Ipo_Symbol=BBBB" + go << " AAAA (go-now)  BBBB (go-now)  "
        << "BBBB (go-now)";
    QTest::newRow("each offering its own image")
        << "Ipo_Symbol=AAAA" + closed + "Ipo_Symbol=BBBB" + go << " AAAA (closed)  BBBB (go-now)  "
        << "BBBB (go-now)";
    QTest::newRow("ZZZZ before AAAA is sorted, last entry in page order")
        << "Ipo_Symbol=ZZZZ" + go + "Ipo_Symbol=AAAA" + closed << " AAAA (closed)  ZZZZ (go-now)  "
        << "AAAA (closed)";
    QTest::newRow("sorted without regard to case")
        << "Ipo_Symbol=bbbb&Ipo_Symbol=Cccc&Ipo_Symbol=AAAA&" << " AAAA  bbbb  Cccc  " << "AAAA";
    QTest::newRow("shorter symbol sorts first") << "Ipo_Symbol=ABCD&Ipo_Symbol=ABC1&" << " ABC  ABCD  " << "ABC";
    QTest::newRow("duplicates kept") << "Ipo_Symbol=ABCD" + go + "Ipo_Symbol=ABCD" + go
                                     << " ABCD (go-now)  ABCD (go-now)  " << "ABCD (go-now)";
    QTest::newRow("equal in all but case keep page order")
        << "Ipo_Symbol=abcd&Ipo_Symbol=ABCD&Ipo_Symbol=Abcd&" << " abcd  ABCD  Abcd  " << "Abcd";
    QTest::newRow("characters beyond ASCII pass through")
        << QStringLiteral("Ipo_Symbol=ÄÖÜ9") + closed << QStringLiteral(" ÄÖÜ (closed)  ")
        << QStringLiteral("ÄÖÜ (closed)");
}

void TestOfferingsParser::pages_giveTickerList()
{
    QFETCH(QString, page);
    QFETCH(QString, tickerList);
    QFETCH(QString, lastEntry);

    const ParsedOfferings parsed = parseOfferings(page);
    QCOMPARE(parsed.tickerList, tickerList);
    QCOMPARE(parsed.lastEntry, lastEntry);
}

void TestOfferingsParser::randomPages_matchStraightforwardParse()
{
    QRandomGenerator random(20000402);
    for (int round = 0; round < 20000; ++round) {
        const QString page = randomPage(random);
        const ParsedOfferings expected = referenceParse(page);
        const ParsedOfferings parsed = parseOfferings(page);
        const QByteArray context = "page: \"" + page.toUtf8() + '"';
        QVERIFY2(parsed.tickerList == expected.tickerList,
                 (context + " gave \"" + parsed.tickerList.toUtf8() + "\" instead of \""
                  + expected.tickerList.toUtf8() + '"')
                     .constData());
        QVERIFY2(parsed.lastEntry == expected.lastEntry, context.constData());
    }
}

void TestOfferingsParser::farOrMissingStatusMarkers_parseInLinearTime_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("offerings");
    QTest::addColumn<QString>("suffix");

    constexpr int Count = 100000;
    const QString offering = QStringLiteral("<TR><TD><A HREF=\"x?Ipo_Symbol=ABCD&Ipo_OfferType=1\">ABCD</A></TD></TR>\n");
    const QString noOfferType = QStringLiteral("<TR><TD><A HREF=\"x?Ipo_Symbol=ABCD&x=1\">ABCD</A></TD></TR>\n");

    QTest::newRow("no offer type anywhere") << repeated(noOfferType, Count) << Count << QString();
    QTest::newRow("no status image anywhere") << repeated(offering, Count) << Count << QString();
    QTest::newRow("one image at the end without a dot")
        << repeated(offering, Count) + "IMG SRC=/images/go" << Count << QString();
    QTest::newRow("one image at the end, name runs to a far dot")
        << repeated(offering, Count) + "IMG SRC=/images/" + repeated(QStringLiteral("x"), 1000000) + ".gif"
        << Count << QStringLiteral(" (closed)");
    QTest::newRow("images without dots, go and a dot only at the end")
        << repeated(QStringLiteral("Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/x_"), Count) + "go."
        << Count << QStringLiteral(" (go-now)");
}

void TestOfferingsParser::farOrMissingStatusMarkers_parseInLinearTime()
{
    QFETCH(QString, page);
    QFETCH(int, offerings);
    QFETCH(QString, suffix);

    QElapsedTimer timer;
    timer.start();
    const ParsedOfferings parsed = parseOfferings(page);
    const qint64 elapsed = timer.elapsed();

    const QString entry = QStringLiteral("ABCD") + suffix;
    QCOMPARE(parsed.tickerList.size(), 1 + offerings * (entry.size() + 2));
    QVERIFY(parsed.tickerList.startsWith(QStringLiteral(" ") + entry + QStringLiteral("  ")));
    QCOMPARE(parsed.lastEntry, entry);
    // A parse that searches the far stretch once per offering takes minutes here.
    QVERIFY2(elapsed < 5000, QByteArray::number(elapsed).append(" ms").constData());
}

QTEST_GUILESS_MAIN(TestOfferingsParser)
#include "tst_offerings_parser.moc"
