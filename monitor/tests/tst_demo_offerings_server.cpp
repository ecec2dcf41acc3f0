// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DemoOfferingsServer.h"
#include "platform/NetworkPageClient.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

class TestDemoOfferingsServer final : public QObject {
    Q_OBJECT
    DemoOfferingsServer m_server;

    PageResult fetch()
    {
        NetworkPageClient client;
        QSignalSpy spy(&client, &PageClient::finished);
        client.fetch(m_server.url());
        return spy.wait(10'000) ? spy.takeFirst().at(0).value<PageResult>() : PageResult{};
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<PageResult>();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    }

    // What a reader of the markup sees at each fetch: every offering link with the status image of
    // its row ("-" for closed), and nothing else that looks like either.
    void pages_followTheDocumentedSequence()
    {
        const QStringList expected{
            "AURX BLFN CDGE", "AURX BLFN CDGE", "AURX BLFN CDGE DRWD", "AURX -BLFN CDGE DRWD", "AURX CDGE DRWD",
            "ELMT FRXL GLNT", "ELMT FRXL GLNT", "ELMT FRXL GLNT HRBR", "ELMT -FRXL GLNT HRBR", "ELMT GLNT HRBR",
            "AURX BLFN CDGE", "AURX BLFN CDGE"};
        static const QRegularExpression offering(
            QStringLiteral("Ipo_Symbol=(\\w{4})&Ipo_OfferType=[^>]*>.*?<IMG SRC=/images/(\\w+)\\.gif"),
            QRegularExpression::DotMatchesEverythingOption);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const PageResult result = fetch();
            QVERIFY2(result.ok, qPrintable(result.errorDescription));
            QCOMPARE(m_server.fetchCount(), i + 1);
            QStringList seen;
            for (auto it = offering.globalMatch(result.body); it.hasNext();) {
                const auto match = it.next();
                seen << (match.captured(2) == QLatin1String("go") ? QString() : QStringLiteral("-")) + match.captured(1);
            }
            QCOMPARE(seen.join(QLatin1Char(' ')), expected.at(i));
            QCOMPARE(result.body.count(QStringLiteral("Ipo_Symbol="), Qt::CaseInsensitive), seen.size());
            QCOMPARE(result.body.count(QStringLiteral("IMG SRC=/images/"), Qt::CaseInsensitive), seen.size());
        }
    }

};

QTEST_GUILESS_MAIN(TestDemoOfferingsServer)
#include "tst_demo_offerings_server.moc"
