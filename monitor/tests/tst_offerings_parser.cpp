// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DemoOfferingsServer.h"
#include "monitor/OfferingsParser.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOfferingsParser final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pages_giveTickerListInLinearTime_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tickerList");
        QTest::addColumn<QString>("lastEntry");
        const auto row = [](const char* name, const QString& page, const QString& list, const QString& last) {
            QTest::newRow(name) << page << list << last;
        };
        const QString go = u"&Ipo_OfferType=1><IMG SRC=/images/go.gif></A>"_s;
        const QString closed = u"&Ipo_OfferType=1><IMG SRC=/images/closed.gif></A>"_s;
        const QString image = u"&Ipo_OfferType=1 IMG SRC=/images/"_s;
        row("no offering marker", u"<HTML><BODY>No offerings.</BODY></HTML>"_s, u" "_s, u" "_s);
        row("open offering", u"x?Ipo_Symbol=ABCD"_s + go, u" ABCD (go-now)  "_s, u"ABCD (go-now)"_s);
        row("fourth character digit is dropped", u"Ipo_Symbol=XYZ2"_s + closed, u" XYZ (closed)  "_s,
            u"XYZ (closed)"_s);
        row("markers in other case", u"ipo_symbol=abcd&IPO_OFFERTYPE=1 img src=/IMAGES/Go_Now.GIF"_s,
            u" abcd (go-now)  "_s, u"abcd (go-now)"_s);
        // An offer type before the offering, or an image before the offer type, does not count.
        row("markers only in the wrong order",
            u"Ipo_OfferType=1 IMG SRC=/images/go.gif Ipo_Symbol=ABCD IMG SRC=/images/go.gif Ipo_OfferType=1"_s,
            u" ABCD  "_s, u"ABCD"_s);
        row("no status image anywhere", u"Ipo_Symbol=ABCD&Ipo_OfferType=1 Ipo_Symbol=EFGH&Ipo_OfferType=2"_s,
            u" ABCD  EFGH  "_s, u"EFGH"_s);
        row("logo is open", u"Ipo_Symbol=ABCD"_s + image + u"logo.gif"_s, u" ABCD (go-now)  "_s, u"ABCD (go-now)"_s);
        row("empty image name is closed, go after the dot does not count", u"Ipo_Symbol=ABCD"_s + image + u".gif go"_s,
            u" ABCD (closed)  "_s, u"ABCD (closed)"_s);
        row("status taken from a later offering's image",
            u"Ipo_Symbol=AAAA&Ipo_OfferType=1 <TD>n/a</TD> Ipo_Symbol=BBBB"_s + go,
            u" AAAA (go-now)  BBBB (go-now)  "_s, u"BBBB (go-now)"_s);
        row("sorted, last entry in page order", u"Ipo_Symbol=ZZZZ"_s + go + u"Ipo_Symbol=AAAA"_s + closed,
            u" AAAA (closed)  ZZZZ (go-now)  "_s, u"AAAA (closed)"_s);
        row("sorted without regard to case, ties in page order",
            u"Ipo_Symbol=bbbb&Ipo_Symbol=Cccc&Ipo_Symbol=aaaa&Ipo_Symbol=AAAA&"_s, u" aaaa  AAAA  bbbb  Cccc  "_s,
            u"AAAA"_s);
        row("duplicates kept", u"Ipo_Symbol=ABCD"_s.append(go).repeated(2), u" ABCD (go-now)  ABCD (go-now)  "_s,
            u"ABCD (go-now)"_s);

        // Each layout sends one of the lookups far ahead, or to the end, for every offering: a parse
        // that searches the far stretch once per offering takes minutes here.
        constexpr int Count = 100000;
        const QString offering = u"<TR><TD><A HREF=x?Ipo_Symbol=ABCD&Ipo_OfferType=1>x</A>\n"_s.repeated(Count);
        const QString plain = u" "_s + u"ABCD  "_s.repeated(Count);
        row("100000 without offer type", u"<A HREF=x?Ipo_Symbol=ABCD&x=1>x</A>\n"_s.repeated(Count), plain, u"ABCD"_s);
        row("100000 without status image", offering, plain, u"ABCD"_s);
        row("100000, one image at the end, no dot", offering + u"IMG SRC=/images/go"_s, plain, u"ABCD"_s);
        row("100000, one image at the end, far dot",
            offering + u"IMG SRC=/images/"_s + QString(1000000, u'x') + u".gif"_s,
            u" "_s + u"ABCD (closed)  "_s.repeated(Count), u"ABCD (closed)"_s);
        row("100000 dotless images, go. at the end",
            u"Ipo_Symbol=ABCD&Ipo_OfferType=1 IMG SRC=/images/x_"_s.repeated(Count) + u"go."_s,
            u" "_s + u"ABCD (go-now)  "_s.repeated(Count), u"ABCD (go-now)"_s);
    }
    void pages_giveTickerListInLinearTime()
    {
        QFETCH(QString, page);
        QElapsedTimer timer;
        timer.start();
        const ParsedOfferings parsed = parseOfferings(page);
        QVERIFY2(timer.elapsed() < 5000, QByteArray::number(timer.elapsed()).append(" ms").constData());
        QTEST(parsed.tickerList, "tickerList");
        QTEST(parsed.lastEntry, "lastEntry");
    }

    // The --demo page tells the story its server documents, round after round ("-" marks a closed offering).
    void demoPages_tellTheDocumentedStory()
    {
        const QStringList story = u"AURX BLFN CDGE,AURX BLFN CDGE,AURX BLFN CDGE DRWD,AURX -BLFN CDGE DRWD,"
                                  "AURX CDGE DRWD,ELMT FRXL GLNT,ELMT FRXL GLNT,ELMT FRXL GLNT HRBR,"
                                  "ELMT -FRXL GLNT HRBR,ELMT GLNT HRBR,AURX BLFN CDGE,AURX BLFN CDGE"_s.split(u',');
        for (qsizetype fetch = 0; fetch < story.size(); ++fetch) {
            QString list = u" "_s;
            for (const QString& symbol : story[fetch].split(u' '))
                list += symbol.startsWith(u'-') ? symbol.mid(1) + u" (closed)  "_s : symbol + u" (go-now)  "_s;
            QCOMPARE(parseOfferings(QString::fromLatin1(DemoOfferingsServer::page(int(fetch) + 1))).tickerList, list);
        }
    }
};

QTEST_GUILESS_MAIN(TestOfferingsParser)
#include "tst_offerings_parser.moc"
