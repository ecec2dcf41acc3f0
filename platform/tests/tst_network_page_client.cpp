// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkPageClient.h"
#include "testsupport/PageServer.h"
#include "testsupport/TestCertificates.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Delivery = PageResponse::Delivery;

namespace {
// Runs one fetch to its end and returns what it reported; a report from inside fetch() is none.
PageResult fetchOnce(NetworkPageClient& client, const QUrl& url)
{
    QSignalSpy spy(&client, &PageClient::finished);
    client.fetch(url);
    PageResult none;
    none.errorDescription = u"no report, or one from inside fetch()"_s;
    return spy.isEmpty() && spy.wait(20'000) ? spy.takeFirst().at(0).value<PageResult>() : none;
}
} // namespace

class TestNetworkPageClient final : public QObject {
    Q_OBJECT
    TestCertificates m_certificates;

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<PageResult>();
        QVERIFY2(m_certificates.generate(), qPrintable(m_certificates.errorString()));
    }

    // A page is decoded by its charset, else by an XML feed's own declaration, else as UTF-8;
    // a status of 400 or more is a failure named by the status and its reason phrase.
    void page_isReportedWithStatusAndDecodedBody_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString zurich = u"Z\u00fcrich \u20ac 5"_s;
        const QByteArray garbage("\x80\xff\0\x13\xe2\x82\xc3(", 8);
        const qint64 limit = NetworkPageClient::DefaultBodyLimit;
        const auto row = [](const char* name, int status, const QByteArray& type, const QByteArray& bytes,
                            const QString& expected) { QTest::newRow(name) << status << type << bytes << expected; };
        row("iso-8859-1", 200, "text/html; charset=ISO-8859-1",
            "Z\xfc"
            "rich \xa3",
            u"Z\u00fcrich \u00a3"_s);
        row("quoted, upper case", 200, "text/html;CHARSET=\"UTF-8\"", zurich.toUtf8(), zurich);
        row("unknown charset falls back to utf-8", 200, "text/html; charset=x-no-such-charset",
            "Z\xc3\xbc"
            "rich \xff",
            u"Z\u00fcrich \ufffd"_s);
        row("binary, no charset", 200, "application/octet-stream", garbage, QString::fromUtf8(garbage));
        row("xml declares its encoding", 200, "application/atom+xml",
            "<?xml version='1.0' encoding='ISO-8859-1'?><a>Z\xfc</a>",
            u"<?xml version='1.0' encoding='ISO-8859-1'?><a>Z\u00fc</a>"_s);
        row("exactly the size limit arrives whole", 200, "text/html", QByteArray(limit, 'x'), QString(limit, u'x'));
        row("500 with a body", 500, "text/html", "<html>down</html>", {});
    }
    void page_isReportedWithStatusAndDecodedBody()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, bytes);
        PageServer server;
        QVERIFY(server.listen());
        PageResponse page = PageResponse::page(bytes, contentType);
        page.status = status;
        page.reason = "Reason " + QByteArray::number(status);
        server.enqueue(page);
        NetworkPageClient client;
        client.setContact(u"me@example.com"_s);
        const PageResult result = fetchOnce(client, server.url());

        QCOMPARE(result.ok, status < 400);
        QTEST(result.body, "expected");
        QCOMPARE(result.responseCode, status);
        QCOMPARE(result.responseInfo, u"Reason %1"_s.arg(status));
        QCOMPARE(result.errorNumber, status < 400 ? 0 : status);
        QCOMPARE(result.errorDescription, status < 400 ? QString() : u"Reason %1"_s.arg(status));
        QVERIFY(!client.isBusy());
        QCOMPARE(server.requestCount(), 1);
        QVERIFY(server.requests().first().contains("\r\nUser-Agent: " + NetworkPageClient::userAgent().toUtf8() +
                                                   " me@example.com\r\n"));
    }

    // Whatever goes wrong is a failed fetch with its number and reason, reported from the event
    // loop, soon.
    void failure_isReportedWithItsReason_data()
    {
        // Empty for the server's address; "untrusted" for it over TLS with a certificate of an
        // unknown CA; "redirect" for it after a redirect.
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("delivery");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<int>("errorNumber"); // -1: any
        QTest::addColumn<QString>("reason");
        const qint64 limit = NetworkPageClient::DefaultBodyLimit;
        const int tooLarge = int(QNetworkReply::UnknownContentError);
        const auto row = [](const char* name, const QString& url, Delivery delivery, const QByteArray& body,
                            const QByteArray& encoding, int error, const QString& reason) {
            QTest::newRow(name) << url << int(delivery) << body << encoding << error << reason;
        };
        row("not a web address", u"ftp://127.0.0.1/page"_s, {}, {}, {}, int(QNetworkReply::ProtocolUnknownError), {});
        row("untrusted certificate", u"untrusted"_s, {}, "page", {}, int(QNetworkReply::SslHandshakeFailedError), {});
        // An announced length is followed by silence: only the header can end these quickly.
        row("announced over the limit", {}, Delivery::AnnounceLength, {}, {}, tooLarge, u"Page too large"_s);
        row("announced over, after a redirect", u"redirect"_s, Delivery::AnnounceLength, {}, {}, tooLarge,
            u"Page too large"_s);
        row("chunked over the limit", {}, Delivery::Chunked, QByteArray(limit + 1, 'x'), {}, tooLarge,
            u"Page too large"_s);
        // Nothing that was not asked for is decompressed: no archive bomb.
        row("gzip", {}, {}, "\x1f\x8b\x08", "gzip", tooLarge, u"The server sent the page encoded as \"gzip\""_s);
        row("endless chunks", {}, Delivery::EndlessChunks, QByteArray(64 * 1024, 'x'), {}, -1, {});
        row("stalled mid-body", {}, Delivery::StallMidBody, QByteArray(4096, 'x'), {}, int(QNetworkReply::TimeoutError),
            u"Operation timed out after 300 ms"_s);
        row("cut off mid-body", {}, Delivery::CloseMidBody, QByteArray(4096, 'x'), {}, -1, {});
    }
    void failure_isReportedWithItsReason()
    {
        QFETCH(QString, url);
        QFETCH(int, delivery);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, encoding);
        QFETCH(int, errorNumber);
        QFETCH(QString, reason);
        PageServer server;
        if (url == u"untrusted"_s)
            server.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
        QVERIFY(server.listen());
        if (url == u"redirect"_s)
            server.enqueue(PageResponse::redirect(server.url(u"/elsewhere"_s)));
        PageResponse page = PageResponse::page(body, "text/html");
        page.delivery = Delivery(delivery);
        page.announcedLength = NetworkPageClient::DefaultBodyLimit + 1;
        if (!encoding.isEmpty())
            page.headers.append({"Content-Encoding", encoding});
        server.enqueue(page);
        NetworkPageClient client;
        if (Delivery(delivery) == Delivery::StallMidBody)
            client.setTransferTimeout(300ms);
        QElapsedTimer elapsed;
        elapsed.start();
        const PageResult result = fetchOnce(client, url.contains(u':') ? QUrl(url) : server.url());
        QVERIFY(elapsed.elapsed() < 15'000);
        QVERIFY(!result.ok);
        QVERIFY(result.body.isEmpty());
        QVERIFY2(errorNumber < 0 ? result.errorNumber > 0 : result.errorNumber == errorNumber,
                 qPrintable(u"%1 %2"_s.arg(result.errorNumber).arg(result.errorDescription)));
        QVERIFY2(!result.errorDescription.isEmpty() && result.errorDescription.startsWith(reason),
                 qPrintable(result.errorDescription));
        if (url == u"untrusted"_s)
            QCOMPARE(server.requestCount(), 0); // the handshake fails before any request
    }

    // http to https is followed once the https server's CA is added; https to http is refused, even
    // mid-chain, and the description names the hop that was refused, from where to where.
    void redirect_followedOnlyWhenNotLessSafe()
    {
        PageServer plain, tls, plainAgain;
        tls.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
        QVERIFY(plain.listen() && tls.listen() && plainAgain.listen());
        for (int i = 0; i < 2; ++i)
            plain.enqueue(PageResponse::redirect(tls.url(u"/hop1"_s), 301));
        tls.enqueue(PageResponse::page("moved page"));
        tls.enqueue(PageResponse::redirect(plainAgain.url(u"/hop2"_s), 301));
        plainAgain.enqueue(PageResponse::page("less safe page"));

        NetworkPageClient client;
        client.setExtraCaCertificates({m_certificates.caCertificate()});
        const PageResult followed = fetchOnce(client, plain.url(u"/hop0"_s));
        QVERIFY2(followed.ok, qPrintable(followed.errorDescription));
        QCOMPARE(followed.body, u"moved page"_s);
        QVERIFY(tls.requests().value(0).startsWith("GET /hop1"));
        const PageResult refused = fetchOnce(client, plain.url(u"/hop0"_s));
        QCOMPARE(refused.errorNumber, int(QNetworkReply::InsecureRedirectError));
        QCOMPARE(refused.errorDescription, u"Redirect refused: %1 points to the less safe address %2"_s.arg(
                                               tls.url(u"/hop1"_s).toString(), plainAgain.url(u"/hop2"_s).toString()));
        QCOMPARE(plainAgain.requestCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNetworkPageClient)
#include "tst_network_page_client.moc"
