// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DemoOfferingsServer.h"
#include "platform/NetworkPageClient.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

namespace {
// Sends a request in pieces over a raw connection and returns the whole answer.
QByteArray exchange(const QUrl& url, const QList<QByteArray>& pieces)
{
    QTcpSocket socket;
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { answer += socket.readAll(); });
    socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
        return "no connection";
    for (const QByteArray& piece : pieces) {
        socket.write(piece);
        QTest::qWait(20);
    }
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 5000))
        answer += "\n(the server did not close the connection)";
    return answer;
}
} // namespace

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

    // Only the program's own fetch moves the sequence on; other clients (a browser, a bad
    // request) get their answer and the server goes on.
    void otherRequests_areAnsweredWithoutMovingThePagesOn_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QByteArray>("statusLine");
        static const char garbage[] = "\x00\xff\x13\x37 junk\r\n\r\n";
        QTest::newRow("a browser's page request")
            << QList<QByteArray>{"GET /cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                 "User-Agent: Mozilla/5.0 (X11; Linux x86_64)\r\n\r\n"}
            << QByteArray("HTTP/1.1 200 ");
        QTest::newRow("binary garbage") << QList<QByteArray>{QByteArray(garbage, sizeof garbage - 1)}
                                        << QByteArray("HTTP/1.1 400 ");
        QTest::newRow("post") << QList<QByteArray>{"POST /cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings HTTP/1.1\r\n\r\n"}
                              << QByteArray("HTTP/1.1 405 ");
        QTest::newRow("other path") << QList<QByteArray>{"GET /favicon.ico HTTP/1.1\r\n\r\n"} << QByteArray("HTTP/1.1 404 ");
        QTest::newRow("head without end") << QList<QByteArray>{QByteArray(20 * 1024, 'A')} << QByteArray("HTTP/1.1 431 ");
        QTest::newRow("request in pieces, bare line feeds")
            << QList<QByteArray>{"GE", "T /images/go.gif HT", "TP/1.0\n", "\n"} << QByteArray("HTTP/1.1 200 ");
    }
    void otherRequests_areAnsweredWithoutMovingThePagesOn()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, statusLine);
        const int before = m_server.fetchCount();
        const QByteArray answer = exchange(m_server.url(), pieces);
        QVERIFY2(answer.startsWith(statusLine), answer.left(80).constData());
        QCOMPARE(m_server.fetchCount(), before);
        QVERIFY(fetch().ok);
    }
};

QTEST_GUILESS_MAIN(TestDemoOfferingsServer)
#include "tst_demo_offerings_server.moc"
