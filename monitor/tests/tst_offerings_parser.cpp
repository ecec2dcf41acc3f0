// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/OfferingsParser.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>

namespace {
constexpr int Count = 100000;
} // namespace

class TestOfferingsParser final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pages_giveTickerList_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tickerList");
        QTest::addColumn<QString>("lastEntry");

        const QString go = QStringLiteral("&Ipo_OfferType=1><IMG SRC=/images/go.gif></A>");
        const QString closed = QStringLiteral("&Ipo_OfferType=1><IMG SRC=/images/closed.gif></A>");
        const QString image = QStringLiteral("&Ipo_OfferType=1 IMG SRC=/images/");

        QTest::newRow("no offering marker") << "<HTML><BODY>No offerings.</BODY></HTML>"
                                            << " "
                                            << " ";
        QTest::newRow("open offering") << "x?Ipo_Symbol=ABCD" + go << " ABCD (go-now)  "
                                       << "ABCD (go-now)";
        QTest::newRow("fourth character digit is dropped") << "Ipo_Symbol=XYZ2" + closed << " XYZ (closed)  "
                                                           << "XYZ (closed)";
        QTest::newRow("markers in other case") << "ipo_symbol=abcd&IPO_OFFERTYPE=1 img src=/IMAGES/Go_Now.GIF"
                                               << " abcd (go-now)  "
                                               << "abcd (go-now)";
        // An offer type before the offering, or an image before the offer type, does not count.
        QTest::newRow("markers only in the wrong order")
            << "Ipo_OfferType=1 IMG SRC=/images/go.gif Ipo_Symbol=ABCD IMG SRC=/images/go.gif Ipo_OfferType=1"
            << " ABCD  "
            << "ABCD";
        QTest::newRow("no status image anywhere") << "Ipo_Symbol=ABCD&Ipo_OfferType=1 Ipo_Symbol=EFGH&Ipo_OfferType=2"
                                                  << " ABCD  EFGH  "
                                                  << "EFGH";
        QTest::newRow("logo is open") << "Ipo_Symbol=ABCD" + image + "logo.gif"
                                      << " ABCD (go-now)  "
                                      << "ABCD (go-now)";
        QTest::newRow("empty image name is closed, go after the dot does not count")
            << "Ipo_Symbol=ABCD" + image + ".gif go"
            << " ABCD (closed)  "
            << "ABCD (closed)";
        QTest::newRow("status taken from a later offering's image")
            << "Ipo_Symbol=AAAA&Ipo_OfferType=1 <TD>n/a</TD> Ipo_Symbol=BBBB" + go << " AAAA (go-now)  BBBB (go-now)  "
            << "BBBB (go-now)";
        QTest::newRow("ZZZZ before AAAA is sorted, last entry in page order")
            << "Ipo_Symbol=ZZZZ" + go + "Ipo_Symbol=AAAA" + closed << " AAAA (closed)  ZZZZ (go-now)  "
            << "AAAA (closed)";
        QTest::newRow("sorted without regard to case, ties in page order")
            << "Ipo_Symbol=bbbb&Ipo_Symbol=Cccc&Ipo_Symbol=aaaa&Ipo_Symbol=AAAA&"
            << " aaaa  AAAA  bbbb  Cccc  "
            << "AAAA";
        QTest::newRow("duplicates kept") << "Ipo_Symbol=ABCD" + go + "Ipo_Symbol=ABCD" + go
                                         << " ABCD (go-now)  ABCD (go-now)  "
                                         << "ABCD (go-now)";
    }

    void pages_giveTickerList()
    {
        QFETCH(QString, page);
        const ParsedOfferings parsed = parseOfferings(page);
        QTEST(parsed.tickerList, "tickerList");
        QTEST(parsed.lastEntry, "lastEntry");
    }

    void farOrMissingStatusMarkers_parseInLinearTime_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("suffix");

        // Each layout sends one of the lookups far ahead, or to the end, for every offering.
        const QString offering = QStringLiteral("<TR><TD><A HREF=x?Ipo_Symbol=ABCD&Ipo_OfferType=1>x</A>\n");
        const QString noOfferType = QStringLiteral("<TR><TD><A HREF=x?Ipo_Symbol=ABCD&x=1>x</A>\n");
        const QString noDot = QStringLiteral("Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/x_");

        QTest::newRow("no offer type anywhere") << noOfferType.repeated(Count) << QString();
        QTest::newRow("no status image anywhere") << offering.repeated(Count) << QString();
        QTest::newRow("one image at the end, no dot") << offering.repeated(Count) + "IMG SRC=/images/go" << QString();
        QTest::newRow("one image at the end, far dot")
            << offering.repeated(Count) + "IMG SRC=/images/" + QString(1000000, u'x') + ".gif"
            << " (closed)";
        QTest::newRow("dotless images, go. at the end") << noDot.repeated(Count) + "go."
                                                        << " (go-now)";
    }

    void farOrMissingStatusMarkers_parseInLinearTime()
    {
        QFETCH(QString, page);
        QFETCH(QString, suffix);
        QElapsedTimer timer;
        timer.start();
        const ParsedOfferings parsed = parseOfferings(page);
        const qint64 elapsed = timer.elapsed();

        const QString entry = QStringLiteral("ABCD") + suffix;
        QCOMPARE(parsed.tickerList, QStringLiteral(" ") + (entry + QStringLiteral("  ")).repeated(Count));
        QCOMPARE(parsed.lastEntry, entry);
        // A parse that searches the far stretch once per offering takes minutes here.
        QVERIFY2(elapsed < 5000, QByteArray::number(elapsed).append(" ms").constData());
    }
};

QTEST_GUILESS_MAIN(TestOfferingsParser)
#include "tst_offerings_parser.moc"
