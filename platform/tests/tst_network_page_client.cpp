// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkPageClient.h"
#include "testsupport/PageServer.h"
#include "testsupport/TestCertificates.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QProcess>
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

PageResponse response(Delivery delivery, const QByteArray& body, qint64 announcedLength = 0)
{
    PageResponse response = PageResponse::page(body, "text/html");
    response.delivery = delivery;
    response.announcedLength = announcedLength;
    return response;
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

        const QString zurich = QStringLiteral("Z\u00fcrich \u20ac 5");
        QByteArray garbage(64 * 1024, '\0');
        QRandomGenerator random(20240611);
        for (char& byte : garbage)
            byte = static_cast<char>(random.bounded(256));
        QTest::newRow("iso-8859-1") << 200 << QByteArray("text/html; charset=ISO-8859-1")
                                    << QByteArray("Z\xfc"
                                                  "rich \xa3")
                                    << QStringLiteral("Z\u00fcrich \u00a3");
        QTest::newRow("quoted, upper case")
            << 200 << QByteArray("text/html;CHARSET=\"UTF-8\"") << zurich.toUtf8() << zurich;
        QTest::newRow("unknown charset falls back to utf-8")
            << 200 << QByteArray("text/html; charset=x-no-such-charset")
            << QByteArray("Z\xc3\xbc"
                          "rich \xff")
            << QStringLiteral("Z\u00fcrich \ufffd");
        QTest::newRow("binary, no charset")
            << 200 << QByteArray("application/octet-stream") << garbage << QString::fromUtf8(garbage);
        QTest::newRow("xml declares its encoding")
            << 200 << QByteArray("application/atom+xml")
            << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><a>Z\xfc</a>")
            << QStringLiteral("<?xml version='1.0' encoding='ISO-8859-1'?><a>Z\u00fc</a>");
        QTest::newRow("500 with a body") << 500 << QByteArray("text/html") << QByteArray("<html>down</html>")
                                         << QString();
        QTest::newRow("404 empty") << 404 << QByteArray("text/html") << QByteArray() << QString();
    }
    void page_isReportedWithStatusAndDecodedBody()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);

        PageServer server;
        QVERIFY(server.listen());
        PageResponse page = PageResponse::page(bytes, contentType);
        page.status = status;
        page.reason = "Reason " + QByteArray::number(status);
        server.enqueue(page);
        NetworkPageClient client;
        client.setContact(QStringLiteral("me@example.com"));
        const PageResult result = fetchOnce(client, server.url());

        QCOMPARE(result.ok, status < 400);
        QCOMPARE(result.body, expected);
        QCOMPARE(result.responseCode, status);
        QCOMPARE(result.responseInfo, QStringLiteral("Reason %1").arg(status));
        QCOMPARE(result.errorNumber, status < 400 ? 0 : status);
        QCOMPARE(result.errorDescription, status < 400 ? QString() : QStringLiteral("Reason %1").arg(status));
        QVERIFY(!client.isBusy());
        QCOMPARE(server.requestCount(), 1);
        QVERIFY(server.requests().first().contains("\r\nUser-Agent: " + NetworkPageClient::userAgent().toUtf8() +
                                                   " me@example.com\r\n"));
    }

    void transportFailure_isReportedWithQtNumber_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<int>("errorNumber");
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        QTest::newRow("connection refused")
            << QUrl(QStringLiteral("http://127.0.0.1:%1/page").arg(port)) << int(QNetworkReply::ConnectionRefusedError);
        QTest::newRow("not a web address")
            << QUrl(QStringLiteral("ftp://127.0.0.1/page")) << int(QNetworkReply::ProtocolUnknownError);
    }
    void transportFailure_isReportedWithQtNumber()
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
    }

    // The private CA adds to the system's trust; without it the handshake fails before any request.
    void certificate_trustedOnlyWithItsCa_data()
    {
        QTest::addColumn<bool>("addCa");
        QTest::newRow("untrusted") << false;
        QTest::newRow("private CA added") << true;
    }
    void certificate_trustedOnlyWithItsCa()
    {
        QFETCH(bool, addCa);
        PageServer server;
        server.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
        QVERIFY(server.listen());
        server.setDefaultResponse(PageResponse::page("secure page"));
        NetworkPageClient client;
        if (addCa)
            client.setExtraCaCertificates({m_certificates.caCertificate()});
        const PageResult result = fetchOnce(client, server.url());

        QCOMPARE(result.ok, addCa);
        QCOMPARE(result.errorNumber, addCa ? 0 : int(QNetworkReply::SslHandshakeFailedError));
        QCOMPARE(result.body, addCa ? QStringLiteral("secure page") : QString());
        QCOMPARE(server.requestCount(), addCa ? 1 : 0);
    }

    void body_isCappedAtTheLimit_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("redirected");
        QTest::addColumn<bool>("ok");
        const qint64 limit = NetworkPageClient::DefaultBodyLimit;
        QTest::newRow("announced over the limit") << int(Delivery::AnnounceLength) << limit + 1 << false << false;
        QTest::newRow("announced over, after a redirect")
            << int(Delivery::AnnounceLength) << limit + 1 << true << false;
        QTest::newRow("chunked over the limit") << int(Delivery::Chunked) << limit + 1 << false << false;
        QTest::newRow("exactly the limit arrives whole") << int(Delivery::Complete) << limit << false << true;
    }
    void body_isCappedAtTheLimit()
    {
        QFETCH(int, delivery);
        QFETCH(qint64, size);
        QFETCH(bool, redirected);
        QFETCH(bool, ok);
        PageServer server;
        QVERIFY(server.listen());
        if (redirected)
            server.enqueue(PageResponse::redirect(server.url(QStringLiteral("/elsewhere"))));
        // An announced length is followed by silence: only the header can end this quickly.
        const QByteArray body = delivery == int(Delivery::AnnounceLength) ? QByteArray() : QByteArray(size, 'x');
        server.enqueue(response(static_cast<Delivery>(delivery), body, size));

        NetworkPageClient client;
        QElapsedTimer elapsed;
        elapsed.start();
        const PageResult result = fetchOnce(client, server.url());

        QCOMPARE(result.ok, ok);
        QVERIFY(elapsed.elapsed() < 15'000);
        if (ok) {
            QVERIFY(result.body == QLatin1String(body));
        } else {
            QCOMPARE(result.errorNumber, int(QNetworkReply::UnknownContentError));
            QVERIFY2(result.errorDescription.startsWith(QStringLiteral("Page too large")) &&
                         result.errorDescription.contains(QStringLiteral("16 MiB")),
                     qPrintable(result.errorDescription));
            QVERIFY(result.body.isEmpty());
        }
    }

    // A body that will not decompress or never ends is a failed fetch with its reason, and
    // the memory of the fetching process stays within the body limit and a margin.
    void hostileBody_failsWithinBoundedMemory_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delivery");
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import gzip,sys; sys.stdout.buffer.write(gzip.compress(bytes(256 << 20), 6))")});
        QVERIFY(python.waitForFinished(60'000));
        const QByteArray bomb = python.readAllStandardOutput();
        QVERIFY(bomb.size() > 1000 && bomb.size() < 4 * 1024 * 1024);
        QTest::newRow("gzip bomb") << QByteArray("gzip") << bomb << int(Delivery::Complete);
        QTest::newRow("corrupt gzip") << QByteArray("gzip") << QByteArray(5000, 'z') << int(Delivery::Complete);
        QTest::newRow("endless chunks") << QByteArray() << QByteArray(64 * 1024, 'x') << int(Delivery::EndlessChunks);
    }
    void hostileBody_failsWithinBoundedMemory()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, body);
        QFETCH(int, delivery);
        PageServer server;
        QVERIFY(server.listen());
        PageResponse page = response(static_cast<Delivery>(delivery), body);
        if (!encoding.isEmpty())
            page.headers.append({"Content-Encoding", encoding});
        server.enqueue(page);
        // Forget the peak of earlier tests, so this one is measured alone.
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        const bool measured = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
        clearRefs.close();

        NetworkPageClient client;
        const PageResult result = fetchOnce(client, server.url());
        QVERIFY(!result.ok);
        QVERIFY2(result.errorNumber > 0 && !result.errorDescription.isEmpty(), qPrintable(result.errorDescription));
        if (!measured)
            QSKIP("the peak memory of this process cannot be reset here");
        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("VmHWM:");
        const qint64 peakKiB =
            text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong();
        QVERIFY2(peakKiB < 150 * 1024, qPrintable(QStringLiteral("peak %1 MiB").arg(peakKiB / 1024)));
    }

    // A stalled transfer ends at the time-out; a cut-off one is no page either.
    void brokenTransfer_isAFailure()
    {
        PageServer server;
        QVERIFY(server.listen());
        server.enqueue(response(Delivery::StallMidBody, QByteArray(4096, 'x')));
        server.enqueue(response(Delivery::CloseMidBody, QByteArray(4096, 'x')));
        NetworkPageClient client;
        client.setTransferTimeout(300ms);
        QElapsedTimer elapsed;
        elapsed.start();
        PageResult result = fetchOnce(client, server.url());
        QVERIFY(!result.ok);
        QCOMPARE(result.errorNumber, int(QNetworkReply::TimeoutError));
        QCOMPARE(result.errorDescription, QStringLiteral("Operation timed out after 300 ms"));
        QVERIFY(elapsed.elapsed() >= 250);
        QCOMPARE(result.responseCode, 200);
        QVERIFY(result.body.isEmpty());

        client.setTransferTimeout(20s);
        result = fetchOnce(client, server.url());
        QVERIFY2(!result.ok, "half a page must not pass for the whole page");
        QVERIFY(result.errorNumber != 0 && result.errorNumber != int(QNetworkReply::TimeoutError));
        QVERIFY(!result.errorDescription.isEmpty());
    }

    void redirect_followedOnlyWhenNotLessSafe_data()
    {
        // Whether each server of the chain speaks TLS; each redirects to the next, the last serves the page.
        QTest::addColumn<QList<bool>>("chain");
        QTest::addColumn<int>("errorNumber");
        QTest::newRow("https to http refused") << QList<bool>{true, false} << int(QNetworkReply::InsecureRedirectError);
        QTest::newRow("http to https to http refused")
            << QList<bool>{false, true, false} << int(QNetworkReply::InsecureRedirectError);
        QTest::newRow("http to https followed") << QList<bool>{false, true} << 0;
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
            QVERIFY(servers.back()->requests().value(0).startsWith("GET /hop" + QByteArray::number(qulonglong(last))));
        } else {
            // The description names the hop that was refused, from where to where.
            QCOMPARE(result.errorDescription, QStringLiteral("Redirect refused: %1 points to the less safe address %2")
                                                  .arg(hop(last - 1).toString(), hop(last).toString()));
            QCOMPARE(servers.back()->requestCount(), 0);
        }
    }

    // A second fetch abandons the first, and abort() abandons the running one: neither reports.
    void abandonedFetch_neverReports()
    {
        PageServer server;
        QVERIFY(server.listen());
        PageResponse slow = PageResponse::page("first page");
        slow.delay = 400ms;
        server.enqueue(slow);
        server.enqueue(PageResponse::page("second page"));
        slow.body = "late page";
        server.setDefaultResponse(slow);

        NetworkPageClient client;
        client.setTransferTimeout(1000ms);
        QSignalSpy spy(&client, &PageClient::finished);
        client.fetch(server.url(QStringLiteral("/first")));
        QTRY_COMPARE(server.requestCount(), 1);
        client.fetch(server.url(QStringLiteral("/second")));
        QVERIFY(client.isBusy());
        QVERIFY(spy.wait(WaitMs));
        QTest::qWait(700); // past the first answer's delay: nothing more may arrive
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).value<PageResult>().body, QStringLiteral("second page"));

        client.fetch(server.url());
        QTRY_COMPARE(server.requestCount(), 3);
        client.abort();
        QVERIFY(!client.isBusy());
        QTest::qWait(1200); // past both the answer and the time-out
        QCOMPARE(spy.count(), 0);
        // The client is as good as new afterwards.
        const PageResult result = fetchOnce(client, server.url());
        QVERIFY2(result.ok, qPrintable(result.errorDescription));
        QCOMPARE(result.body, QStringLiteral("late page"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkPageClient)
#include "tst_network_page_client.moc"
