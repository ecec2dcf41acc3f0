// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkPageClient.h"
#include "testsupport/PageServer.h"
#include "testsupport/TestCertificates.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>
#include <vector>

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
    // loop, soon, with the memory of the process within the body limit and a margin.
    void failure_isReportedWithItsReasonWithinBoundedMemory_data()
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
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString refused = u"http://127.0.0.1:%1/page"_s.arg(closed.serverPort());
        closed.close();
        QProcess python;
        python.start(u"/usr/bin/python3"_s,
                     {u"-c"_s, u"import gzip,sys; sys.stdout.buffer.write(gzip.compress(bytes(256 << 20), 6))"_s});
        QVERIFY(python.waitForFinished(60'000));
        const QByteArray bomb = python.readAllStandardOutput();
        QVERIFY(bomb.size() > 1000 && bomb.size() < 4 * 1024 * 1024);
        const auto row = [](const char* name, const QString& url, Delivery delivery, const QByteArray& body,
                            const QByteArray& encoding, int error, const QString& reason) {
            QTest::newRow(name) << url << int(delivery) << body << encoding << error << reason;
        };
        row("connection refused", refused, {}, {}, {}, int(QNetworkReply::ConnectionRefusedError), {});
        row("not a web address", u"ftp://127.0.0.1/page"_s, {}, {}, {}, int(QNetworkReply::ProtocolUnknownError), {});
        row("untrusted certificate", u"untrusted"_s, {}, "page", {}, int(QNetworkReply::SslHandshakeFailedError), {});
        // An announced length is followed by silence: only the header can end these quickly.
        row("announced over the limit", {}, Delivery::AnnounceLength, {}, {}, tooLarge, u"Page too large"_s);
        row("announced over, after a redirect", u"redirect"_s, Delivery::AnnounceLength, {}, {}, tooLarge,
            u"Page too large"_s);
        row("chunked over the limit", {}, Delivery::Chunked, QByteArray(limit + 1, 'x'), {}, tooLarge,
            u"Page too large"_s);
        row("gzip bomb", {}, {}, bomb, "gzip", -1, {});
        row("endless chunks", {}, Delivery::EndlessChunks, QByteArray(64 * 1024, 'x'), {}, -1, {});
        row("stalled mid-body", {}, Delivery::StallMidBody, QByteArray(4096, 'x'), {}, int(QNetworkReply::TimeoutError),
            u"Operation timed out after 300 ms"_s);
        row("cut off mid-body", {}, Delivery::CloseMidBody, QByteArray(4096, 'x'), {}, -1, {});
    }
    void failure_isReportedWithItsReasonWithinBoundedMemory()
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
        // Forget the peak of earlier tests, so this one is measured alone.
        QFile clearRefs(u"/proc/self/clear_refs"_s);
        const bool measured = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
        clearRefs.close();

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
        if (!measured)
            QSKIP("the peak memory of this process cannot be reset here");
        QFile status(u"/proc/self/status"_s);
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("VmHWM:");
        const qint64 peakKiB =
            text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong();
        QVERIFY2(peakKiB < 150 * 1024, qPrintable(u"peak %1 MiB"_s.arg(peakKiB / 1024)));
    }

    void redirect_followedOnlyWhenNotLessSafe_data()
    {
        // Whether each server of the chain speaks TLS; each redirects to the next, the last serves the page.
        QTest::addColumn<QList<bool>>("chain");
        QTest::addColumn<int>("errorNumber");
        QTest::newRow("http to https to http refused")
            << QList<bool>{false, true, false} << int(QNetworkReply::InsecureRedirectError);
        QTest::newRow("http to https, its CA added, followed") << QList<bool>{false, true} << 0;
    }
    void redirect_followedOnlyWhenNotLessSafe()
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
        const auto hop = [&](std::size_t i) { return servers.at(i)->url(u"/hop%1"_s.arg(i)); };
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
            QCOMPARE(result.body, u"moved page"_s);
            QVERIFY(servers.back()->requests().value(0).startsWith("GET /hop" + QByteArray::number(qulonglong(last))));
        } else {
            // The description names the hop that was refused, from where to where.
            QCOMPARE(result.errorDescription, u"Redirect refused: %1 points to the less safe address %2"_s.arg(
                                                  hop(last - 1).toString(), hop(last).toString()));
            QCOMPARE(servers.back()->requestCount(), 0);
        }
    }

};

QTEST_GUILESS_MAIN(TestNetworkPageClient)
#include "tst_network_page_client.moc"
