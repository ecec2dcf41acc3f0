#include "platform/NetworkPageClient.h"
#include "testsupport/PageServer.h"
#include "testsupport/TestCertificates.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using Delivery = PageResponse::Delivery;

namespace {

constexpr int WaitMs = 20'000;

// Runs one fetch to its end and returns what it reported.
PageResult fetchOnce(NetworkPageClient& client, const QUrl& url)
{
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(url);
    if (!spy.wait(WaitMs)) {
        PageResult none;
        none.errorDescription = QStringLiteral("no report within the test's wait");
        return none;
    }
    return spy.takeFirst().at(0).value<PageResult>();
}

QByteArray offeringsPage(qint64 size)
{
    const QByteArray row = "<TR><TD><A HREF=/cgi-bin/gx.cgi/Applogic+IPOInfo?Ipo_Symbol=ABCD&Ipo_OfferType=IPO>"
                           "ABCD</A></TD><TD><IMG SRC=/images/go.gif></TD></TR>\n";
    QByteArray page;
    page.reserve(size);
    while (page.size() + row.size() <= size)
        page += row;
    page += QByteArray(size - page.size(), ' ');
    return page;
}

} // namespace

class TestNetworkPageClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void page_isDecodedByItsCharset_data();
    void page_isDecodedByItsCharset();
    void httpStatus_isAPageNotAFailure_data();
    void httpStatus_isAPageNotAFailure();
    void transportFailure_isReportedWithQtNumber_data();
    void transportFailure_isReportedWithQtNumber();
    void untrustedCertificate_isRefusedBeforeTheRequest();
    void privateCa_isAcceptedOnceAdded();
    void bodyOverLimit_failsWithItsOwnDescription_data();
    void bodyOverLimit_failsWithItsOwnDescription();
    void stalledTransfer_timesOut();
    void truncatedBody_isAFailure();
    void binaryGarbage_isDecodedText();
    void tenMegabytePage_arrivesWhole();
    void redirect_followedOnlyWhenNotLessSafe_data();
    void redirect_followedOnlyWhenNotLessSafe();
    void secondFetch_abandonsFirst();
    void abort_reportsNothing();

private:
    TestCertificates m_certificates;
};

void TestNetworkPageClient::initTestCase()
{
    qRegisterMetaType<PageResult>();
    QVERIFY2(m_certificates.generate(), qPrintable(m_certificates.errorString()));
}

void TestNetworkPageClient::page_isDecodedByItsCharset_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString zurich = QStringLiteral("Z\u00fcrich \u20ac 5");
    QTest::newRow("utf-8") << QByteArray("text/html; charset=utf-8") << zurich.toUtf8() << zurich;
    QTest::newRow("iso-8859-1") << QByteArray("text/html; charset=ISO-8859-1") << QByteArray("Z\xfc" "rich \xa3")
                                << QStringLiteral("Z\u00fcrich \u00a3");
    QTest::newRow("quoted, upper case") << QByteArray("text/html;CHARSET=\"UTF-8\"") << zurich.toUtf8() << zurich;
    QTest::newRow("no charset means utf-8") << QByteArray("text/html") << zurich.toUtf8() << zurich;
    QTest::newRow("no content type") << QByteArray() << zurich.toUtf8() << zurich;
    QTest::newRow("unknown charset falls back to utf-8")
        << QByteArray("text/html; charset=x-no-such-charset") << QByteArray("Z\xc3\xbc" "rich \xff")
        << QStringLiteral("Z\u00fcrich \ufffd");
}

void TestNetworkPageClient::page_isDecodedByItsCharset()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    PageServer server;
    QVERIFY(server.listen());
    server.enqueue(PageResponse::page(bytes, contentType));
    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, expected);
    QCOMPARE(result.responseCode, 200);
    QCOMPARE(result.responseInfo, QStringLiteral("OK"));
    QCOMPARE(result.errorNumber, 0);
    QVERIFY(!client.isBusy());
    QCOMPARE(server.requestCount(), 1);
    QVERIFY(server.requests().first().contains("\r\nUser-Agent: Offerwatch/"));
}

void TestNetworkPageClient::httpStatus_isAPageNotAFailure_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("500 with a body") << 500 << QByteArray("Internal Server Error")
                                     << QByteArray("<html>Service down for maintenance</html>");
    QTest::newRow("503 with a body") << 503 << QByteArray("Service Unavailable") << QByteArray("try later");
    QTest::newRow("404 empty") << 404 << QByteArray("Not Found") << QByteArray();
    QTest::newRow("200 empty") << 200 << QByteArray("OK") << QByteArray();
}

void TestNetworkPageClient::httpStatus_isAPageNotAFailure()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);

    PageServer server;
    QVERIFY(server.listen());
    PageResponse response = PageResponse::page(body);
    response.status = status;
    response.reason = reason;
    server.enqueue(response);
    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, QString::fromUtf8(body));
    QCOMPARE(result.responseCode, status);
    QCOMPARE(result.responseInfo, QString::fromLatin1(reason));
}

void TestNetworkPageClient::transportFailure_isReportedWithQtNumber_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<int>("errorNumber");

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    QTest::newRow("connection refused") << QUrl(QStringLiteral("http://127.0.0.1:%1/page").arg(port))
                                        << int(QNetworkReply::ConnectionRefusedError);
    QTest::newRow("unresolvable host") << QUrl(QStringLiteral("https://offerings.offerwatch.invalid/page"))
                                       << int(QNetworkReply::HostNotFoundError);
    QTest::newRow("not a web address") << QUrl(QStringLiteral("ftp://127.0.0.1/page"))
                                       << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("local file") << QUrl(QStringLiteral("file:///etc/hostname"))
                                << int(QNetworkReply::ProtocolUnknownError);
}

void TestNetworkPageClient::transportFailure_isReportedWithQtNumber()
{
    QFETCH(QUrl, url);
    QFETCH(int, errorNumber);

    NetworkPageClient client;
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(url);
    QCOMPARE(spy.count(), 0); // never from inside fetch()
    QVERIFY(spy.wait(WaitMs));
    const auto result = spy.takeFirst().at(0).value<PageResult>();

    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, errorNumber);
    QVERIFY(!result.errorDescription.isEmpty());
    QCOMPARE(result.responseCode, 0);
    QVERIFY(result.body.isEmpty());
}

void TestNetworkPageClient::untrustedCertificate_isRefusedBeforeTheRequest()
{
    PageServer server;
    server.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
    QVERIFY(server.listen());
    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, int(QNetworkReply::SslHandshakeFailedError));
    QVERIFY(!result.errorDescription.isEmpty());
    QCOMPARE(server.requestCount(), 0);
}

void TestNetworkPageClient::privateCa_isAcceptedOnceAdded()
{
    PageServer server;
    server.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
    QVERIFY(server.listen());
    server.setDefaultResponse(PageResponse::page("secure page"));

    NetworkPageClient client;
    client.setExtraCaCertificates({m_certificates.caCertificate()});
    const PageResult result = fetchOnce(client, server.url());
    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, QStringLiteral("secure page"));

    // The extra CA adds to the system's trust; a client without it still refuses.
    NetworkPageClient plain;
    QCOMPARE(fetchOnce(plain, server.url()).errorNumber, int(QNetworkReply::SslHandshakeFailedError));
}

void TestNetworkPageClient::bodyOverLimit_failsWithItsOwnDescription_data()
{
    QTest::addColumn<int>("delivery");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("redirected");
    QTest::addColumn<bool>("ok");

    const qint64 limit = NetworkPageClient::DefaultBodyLimit;
    QTest::newRow("announced over the limit") << int(Delivery::AnnounceLength) << limit + 1 << false << false;
    QTest::newRow("announced over the limit after a redirect")
        << int(Delivery::AnnounceLength) << limit + 1 << true << false;
    QTest::newRow("chunked over the limit") << int(Delivery::Chunked) << limit + 1 << false << false;
    QTest::newRow("unannounced over the limit") << int(Delivery::CloseDelimited) << limit + 1 << false << false;
    QTest::newRow("chunked at the limit") << int(Delivery::Chunked) << limit << false << true;
    QTest::newRow("announced at the limit") << int(Delivery::Complete) << limit << false << true;
}

void TestNetworkPageClient::bodyOverLimit_failsWithItsOwnDescription()
{
    QFETCH(int, delivery);
    QFETCH(qint64, size);
    QFETCH(bool, redirected);
    QFETCH(bool, ok);

    PageServer server;
    QVERIFY(server.listen());
    if (redirected)
        server.enqueue(PageResponse::redirect(server.url(QStringLiteral("/elsewhere"))));
    PageResponse response = PageResponse::page("", "text/html");
    response.delivery = static_cast<Delivery>(delivery);
    if (response.delivery == Delivery::AnnounceLength)
        response.announcedLength = size; // then silence: only the header can end this quickly
    else
        response.body = QByteArray(size, 'x');
    server.enqueue(response);

    NetworkPageClient client;
    QElapsedTimer elapsed;
    elapsed.start();
    const PageResult result = fetchOnce(client, server.url());

    QCOMPARE(result.ok, ok);
    QVERIFY(elapsed.elapsed() < 15'000);
    if (ok) {
        QCOMPARE(result.body.size(), size);
    } else {
        QCOMPARE(result.errorNumber, int(QNetworkReply::UnknownContentError));
        QVERIFY2(result.errorDescription.startsWith(QStringLiteral("Page too large")),
                 qPrintable(result.errorDescription));
        QVERIFY2(result.errorDescription.contains(QStringLiteral("16 MiB")), qPrintable(result.errorDescription));
        QVERIFY(result.body.isEmpty());
    }
}

void TestNetworkPageClient::stalledTransfer_timesOut()
{
    PageServer server;
    QVERIFY(server.listen());
    PageResponse response = PageResponse::page(offeringsPage(4096));
    response.delivery = Delivery::StallMidBody;
    server.enqueue(response);

    NetworkPageClient client;
    client.setTransferTimeout(300ms);
    QElapsedTimer elapsed;
    elapsed.start();
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, int(QNetworkReply::TimeoutError));
    QCOMPARE(result.errorDescription, QStringLiteral("Operation timed out after 300 ms"));
    QVERIFY(elapsed.elapsed() >= 250);
    QCOMPARE(result.responseCode, 200);
    QVERIFY(result.body.isEmpty());
}

void TestNetworkPageClient::truncatedBody_isAFailure()
{
    PageServer server;
    QVERIFY(server.listen());
    PageResponse response = PageResponse::page(offeringsPage(4096));
    response.delivery = Delivery::CloseMidBody;
    server.enqueue(response);

    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());
    QVERIFY2(!result.ok, "half a page must not pass for the whole page");
    QVERIFY(result.errorNumber != 0);
    QVERIFY(!result.errorDescription.isEmpty());
}

void TestNetworkPageClient::binaryGarbage_isDecodedText()
{
    QByteArray garbage(64 * 1024, '\0');
    QRandomGenerator random(20240611);
    for (char& byte : garbage)
        byte = static_cast<char>(random.bounded(256));

    PageServer server;
    QVERIFY(server.listen());
    server.enqueue(PageResponse::page(garbage, "application/octet-stream"));
    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, QString::fromUtf8(garbage));
    QVERIFY(result.body.contains(QChar::ReplacementCharacter));
}

void TestNetworkPageClient::tenMegabytePage_arrivesWhole()
{
    const QByteArray page = offeringsPage(10 * 1000 * 1000);
    PageServer server;
    QVERIFY(server.listen());
    server.enqueue(PageResponse::page(page, "text/html; charset=iso-8859-1"));
    NetworkPageClient client;
    const PageResult result = fetchOnce(client, server.url());

    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body.size(), page.size());
    QVERIFY(result.body == QLatin1String(page));
}

void TestNetworkPageClient::redirect_followedOnlyWhenNotLessSafe_data()
{
    // Whether each server of the chain speaks TLS; each redirects to the next, the last serves the page.
    QTest::addColumn<QList<bool>>("chain");
    QTest::addColumn<int>("errorNumber");

    QTest::newRow("https to http refused") << QList<bool>{true, false} << int(QNetworkReply::InsecureRedirectError);
    QTest::newRow("http to https to http refused")
        << QList<bool>{false, true, false} << int(QNetworkReply::InsecureRedirectError);
    QTest::newRow("http to https followed") << QList<bool>{false, true} << 0;
    QTest::newRow("http to http followed") << QList<bool>{false, false} << 0;
    QTest::newRow("https to https followed") << QList<bool>{true, true} << 0;
}

void TestNetworkPageClient::redirect_followedOnlyWhenNotLessSafe()
{
    QFETCH(QList<bool>, chain);
    QFETCH(int, errorNumber);

    std::vector<std::unique_ptr<PageServer>> servers;
    for (const bool tls : chain) {
        auto server = std::make_unique<PageServer>();
        if (tls)
            server->setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
        QVERIFY(server->listen());
        servers.push_back(std::move(server));
    }
    const auto hop = [&](std::size_t i) { return servers.at(i)->url(QStringLiteral("/hop%1").arg(i)); };
    for (std::size_t i = 0; i + 1 < servers.size(); ++i)
        servers.at(i)->enqueue(PageResponse::redirect(hop(i + 1), 301));
    servers.back()->enqueue(PageResponse::page("moved page"));

    NetworkPageClient client;
    client.setExtraCaCertificates({m_certificates.caCertificate()});
    const PageResult result = fetchOnce(client, hop(0));

    QCOMPARE(result.errorNumber, errorNumber);
    QCOMPARE(result.ok, errorNumber == 0);
    const std::size_t last = servers.size() - 1;
    if (result.ok) {
        QCOMPARE(result.body, QStringLiteral("moved page"));
        QCOMPARE(servers.back()->requestCount(), 1);
        QVERIFY(servers.back()->requests().first().startsWith("GET /hop" + QByteArray::number(qulonglong(last))));
    } else {
        // The description names the hop that was refused, from where to where.
        QVERIFY2(result.errorDescription.contains(hop(last - 1).toString() + QLatin1Char(' ')),
                 qPrintable(result.errorDescription));
        QVERIFY2(result.errorDescription.endsWith(hop(last).toString()), qPrintable(result.errorDescription));
        QVERIFY2(result.errorDescription.contains(QStringLiteral("less safe")), qPrintable(result.errorDescription));
        QCOMPARE(servers.back()->requestCount(), 0);
    }
}

void TestNetworkPageClient::secondFetch_abandonsFirst()
{
    PageServer server;
    QVERIFY(server.listen());
    PageResponse slow = PageResponse::page("first page");
    slow.delay = 400ms;
    server.enqueue(slow);
    server.enqueue(PageResponse::page("second page"));

    NetworkPageClient client;
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(server.url(QStringLiteral("/first")));
    QTRY_COMPARE(server.requestCount(), 1);
    client.fetch(server.url(QStringLiteral("/second")));
    QVERIFY(client.isBusy());
    QVERIFY(spy.wait(WaitMs));
    QTest::qWait(700); // past the first answer's delay: nothing more may arrive

    QCOMPARE(spy.count(), 1);
    const auto result = spy.takeFirst().at(0).value<PageResult>();
    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, QStringLiteral("second page"));
}

void TestNetworkPageClient::abort_reportsNothing()
{
    PageServer server;
    QVERIFY(server.listen());
    PageResponse slow = PageResponse::page("late page");
    slow.delay = 200ms;
    server.setDefaultResponse(slow);

    NetworkPageClient client;
    client.setTransferTimeout(300ms);
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(server.url());
    QTRY_COMPARE(server.requestCount(), 1);
    client.abort();
    QVERIFY(!client.isBusy());
    QTest::qWait(600); // past both the answer and the time-out
    QCOMPARE(spy.count(), 0);

    // The client is as good as new afterwards.
    const PageResult result = fetchOnce(client, server.url());
    QVERIFY2(result.ok, qPrintable(result.errorDescription));
    QCOMPARE(result.body, QStringLiteral("late page"));
}

QTEST_GUILESS_MAIN(TestNetworkPageClient)
#include "tst_network_page_client.moc"
