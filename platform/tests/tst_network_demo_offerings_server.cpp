#include "monitor/DemoOfferingsServer.h"
#include "platform/NetworkPageClient.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

namespace {

struct Snapshot {
    QStringList open;
    QStringList closed;
    QString title;
};

// What a reader of the page's markup sees: each offering link with the status
// image that follows it in its row.
Snapshot snapshotOf(const QString& page)
{
    Snapshot snapshot;
    static const QRegularExpression offering(
        QStringLiteral("Ipo_Symbol=(\\w{4})&Ipo_OfferType=[^>]*>.*?<IMG SRC=/images/(\\w+)\\.gif"),
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = offering.globalMatch(page); it.hasNext();) {
        const auto match = it.next();
        (match.captured(2) == QLatin1String("go") ? snapshot.open : snapshot.closed).append(match.captured(1));
    }
    static const QRegularExpression title(QStringLiteral("<TITLE>(.*)</TITLE>"));
    snapshot.title = title.match(page).captured(1);
    return snapshot;
}

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

private Q_SLOTS:
    void initTestCase();
    void pages_followTheDocumentedSequence();
    void otherClients_seeThePageWithoutMovingItOn();
    void badRequests_getAnErrorAndTheServerGoesOn_data();
    void badRequests_getAnErrorAndTheServerGoesOn();
    void concurrentPartialRequests_areEachAnswered();

private:
    DemoOfferingsServer m_server;
};

void TestDemoOfferingsServer::initTestCase()
{
    qRegisterMetaType<PageResult>();
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    QCOMPARE(m_server.url().path(), QStringLiteral("/cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings"));
    QCOMPARE(m_server.url().host(), QStringLiteral("127.0.0.1"));
}

void TestDemoOfferingsServer::pages_followTheDocumentedSequence()
{
    struct Expected {
        QStringList open;
        QStringList closed;
    };
    const QString a = QStringLiteral("AURX"), b = QStringLiteral("BLFN"), c = QStringLiteral("CDGE"),
                  d = QStringLiteral("DRWD"), e = QStringLiteral("ELMT"), f = QStringLiteral("FRXL"),
                  g = QStringLiteral("GLNT"), h = QStringLiteral("HRBR");
    const QList<Expected> expected = {
        {{a, b, c}, {}},    {{a, b, c}, {}},    {{a, b, c, d}, {}}, {{a, c, d}, {b}}, {{a, c, d}, {}},
        {{e, f, g}, {}},    {{e, f, g}, {}},    {{e, f, g, h}, {}}, {{e, g, h}, {f}}, {{e, g, h}, {}},
        {{a, b, c}, {}},    {{a, b, c}, {}},
    };

    NetworkPageClient client;
    QSignalSpy spy(&client, &PageClient::finished);
    QString previous;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        client.fetch(m_server.url());
        QVERIFY(spy.wait(10'000));
        const auto result = spy.takeFirst().at(0).value<PageResult>();
        QVERIFY2(result.ok, qPrintable(result.errorDescription));
        QCOMPARE(result.responseCode, 200);
        QCOMPARE(m_server.fetchCount(), i + 1);

        const Snapshot snapshot = snapshotOf(result.body);
        const QString fetch = QStringLiteral("fetch %1").arg(i + 1);
        QVERIFY2(snapshot.open == expected.at(i).open, qPrintable(fetch + QLatin1String(" open: ")
                                                                  + snapshot.open.join(QLatin1Char(' '))));
        QVERIFY2(snapshot.closed == expected.at(i).closed, qPrintable(fetch));
        // Every offering carries its own status image and nothing else uses the markers.
        QCOMPARE(result.body.count(QStringLiteral("Ipo_Symbol="), Qt::CaseInsensitive),
                 expected.at(i).open.size() + expected.at(i).closed.size());
        QCOMPARE(result.body.count(QStringLiteral("IMG SRC=/images/"), Qt::CaseInsensitive),
                 expected.at(i).open.size() + expected.at(i).closed.size());
        QCOMPARE(snapshot.title, QStringLiteral("Current IPO Offerings (demo)"));
        if (i == 1)
            QCOMPARE(snapshotOf(previous).open, snapshot.open);
        previous = result.body;
    }
}

void TestDemoOfferingsServer::otherClients_seeThePageWithoutMovingItOn()
{
    const int before = m_server.fetchCount();
    const QByteArray answer = exchange(m_server.url(),
        {"GET /cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings HTTP/1.1\r\nHost: 127.0.0.1\r\n"
         "User-Agent: Mozilla/5.0 (X11; Linux x86_64)\r\n\r\n"});
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.left(80).constData());
    QCOMPARE(m_server.fetchCount(), before);
    QVERIFY(answer.endsWith(DemoOfferingsServer::page(before)));
}

void TestDemoOfferingsServer::badRequests_getAnErrorAndTheServerGoesOn_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("statusLine");

    static const char garbage[] = "\x00\xff\x13\x37 junk\r\n\r\n";
    QTest::newRow("binary garbage") << QList<QByteArray>{QByteArray(garbage, sizeof garbage - 1)}
                                    << QByteArray("HTTP/1.1 400 ");
    QTest::newRow("no version") << QList<QByteArray>{"GET /\r\n\r\n"} << QByteArray("HTTP/1.1 400 ");
    QTest::newRow("post") << QList<QByteArray>{"POST /cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings HTTP/1.1\r\n\r\n"}
                          << QByteArray("HTTP/1.1 405 ");
    QTest::newRow("other path") << QList<QByteArray>{"GET /favicon.ico HTTP/1.1\r\n\r\n"}
                                << QByteArray("HTTP/1.1 404 ");
    QTest::newRow("head without end") << QList<QByteArray>{QByteArray(20 * 1024, 'A')}
                                      << QByteArray("HTTP/1.1 431 ");
    QTest::newRow("request in pieces, bare line feeds")
        << QList<QByteArray>{"GE", "T /images/go.gif HT", "TP/1.0\n", "\n"} << QByteArray("HTTP/1.1 200 ");
}

void TestDemoOfferingsServer::badRequests_getAnErrorAndTheServerGoesOn()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, statusLine);

    const int before = m_server.fetchCount();
    const QByteArray answer = exchange(m_server.url(), pieces);
    QVERIFY2(answer.startsWith(statusLine), answer.left(80).constData());
    QCOMPARE(m_server.fetchCount(), before);

    NetworkPageClient client;
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(m_server.url());
    QVERIFY(spy.wait(10'000));
    QVERIFY(spy.takeFirst().at(0).value<PageResult>().ok);
}

void TestDemoOfferingsServer::concurrentPartialRequests_areEachAnswered()
{
    const QByteArray request = "GET /images/closed.gif HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    QList<QTcpSocket*> sockets;
    QList<QByteArray> answers(5);
    for (int i = 0; i < 5; ++i) {
        auto* socket = new QTcpSocket(this);
        connect(socket, &QTcpSocket::readyRead, this, [socket, &answers, i] { answers[i] += socket->readAll(); });
        socket->connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_server.url().port()));
        sockets.append(socket);
    }
    for (QTcpSocket* socket : sockets) {
        QTRY_COMPARE(socket->state(), QAbstractSocket::ConnectedState);
        socket->write(request.left(20));
    }
    QTest::qWait(50);
    for (qsizetype i = sockets.size() - 1; i >= 0; --i)
        sockets.at(i)->write(request.mid(20));
    for (qsizetype i = 0; i < sockets.size(); ++i) {
        QTRY_COMPARE(sockets.at(i)->state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(answers.at(i).startsWith("HTTP/1.1 200 OK\r\n"), answers.at(i).left(80).constData());
        QVERIFY(answers.at(i).contains("CLOSED"));
    }
    qDeleteAll(sockets);
}

QTEST_GUILESS_MAIN(TestDemoOfferingsServer)
#include "tst_network_demo_offerings_server.moc"
