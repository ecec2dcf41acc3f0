// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/PushChannel.h"
#include "monitor/ActionLog.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LogLines.h"
#include "testsupport/MemorySecretStore.h"
#include "testsupport/PageServer.h"
#include "testsupport/ScratchSettings.h"
#include "testsupport/TestCertificates.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;

class PushChannelTest : public QObject {
    Q_OBJECT
    TestCertificates m_certificates;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_certificates.generate(), qPrintable(m_certificates.errorString())); }

    // What reaches a real HTTP(S) server on loopback, and what the log says: "sent" for
    // each push that went through, one error line for two that did not.
    void push_reachesTheServerOrSaysWhyOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("health");
        QTest::addColumn<PageResponse>("response");
        QTest::addColumn<QStringList>("head");  // lines the request head holds
        QTest::addColumn<QByteArray>("body");   // the request body; JSON compared by value
        QTest::addColumn<QStringList>("logged");
        const PageResponse ok = PageResponse::page("{}", "application/json");
        const QStringList sent{u"push: sent"_s, u"push: sent"_s};
        QTest::newRow("ntfy, new offerings")
            << "ntfy" << false << false << ok
            << QStringList{u"POST /topic HTTP/1.1"_s, u"Title: Offerwatch: 1 new"_s, u"Priority: high"_s,
                           u"Tags: chart_with_upwards_trend"_s, u"Authorization: Bearer tok-123"_s}
            << QByteArray("NE WW (go-now)") << sent;
        QTest::newRow("ntfy over TLS, a health alert")
            << "ntfy" << true << true << ok
            << QStringList{u"Title: Offerwatch: the watched page failed 3 times in a row"_s, u"Priority: urgent"_s}
            << QByteArray("https://x.example/ failed") << sent;
        QTest::newRow("JSON webhook")
            << "json" << false << false << ok << QStringList{u"Content-Type: application/json"_s}
            << QByteArray("{\"subject\":\"IPO: \",\"text\":\" ABCD (go-now)  NE WW (go-now)  \",\"new\":[\"NE WW "
                          "(go-now)\"],\"all\":[\"ABCD (go-now)\",\"NE WW (go-now)\"],\"source\":\"https://x.example/\"}")
            << sent;
        PageResponse broken = PageResponse::page("no");
        broken.status = 500;
        broken.reason = "Internal Server Error";
        PageResponse silent = ok;
        silent.delay = std::chrono::milliseconds(5000);
        QTest::newRow("500") << "json" << true << false << broken << QStringList() << QByteArray()
                             << QStringList{u"push: error, the server answered 500 Internal Server Error"_s};
        QTest::newRow("redirect from https to http")
            << "ntfy" << true << false << PageResponse::redirect(QUrl(u"http://127.0.0.1:9/topic"_s))
            << QStringList() << QByteArray()
            << QStringList{u"push: error, the server redirected to an unencrypted address; not followed"_s};
        QTest::newRow("server never answers") << "ntfy" << false << false << silent << QStringList() << QByteArray()
                                              << QStringList{u"push: error, no answer within 0.5 s"_s};
    }
    void push_reachesTheServerOrSaysWhyOnce()
    {
        QFETCH(QString, kind);
        QFETCH(bool, tls);
        QFETCH(bool, health);
        QFETCH(PageResponse, response);
        QFETCH(QStringList, head);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, logged);
        PageServer server;
        if (tls)
            server.setTlsIdentity(m_certificates.serverCertificate(), m_certificates.serverKey());
        QVERIFY(server.listen());
        server.setDefaultResponse(response);

        FakeClock clock;
        ActionLog log(clock);
        ScratchSettings settings;
        MemorySecretStore secrets;
        PushChannel channel(log, *settings, secrets);
        channel.setExtraCaCertificates({m_certificates.caCertificate()});
        channel.setTimeout(std::chrono::milliseconds(500));
        QString problem;
        QVERIFY(channel.setUrl(server.url(u"/topic"_s).toString(), &problem));
        QVERIFY(channel.setKind(kind, &problem));
        channel.setToken(u"tok-123"_s);
        QVERIFY(channel.setOn(true, &problem));
        Alert alert{Alert::TickersSubject, u" ABCD (go-now)  NE\nWW (go-now)  "_s, {u"NE\nWW (go-now)"_s},
                    {u"ABCD (go-now)"_s, u"NE\nWW (go-now)"_s}, QUrl(u"https://x.example/"_s)};
        if (health)
            alert = {u"Offerwatch: the watched page failed 3 times in a row"_s, u"https://x.example/\nfailed"_s, {}, {},
                     QUrl(u"https://x.example/"_s)};
        channel.send(alert);
        channel.send(alert);
        QTRY_COMPARE_WITH_TIMEOUT(screenMessages(*log.screen()).size(), logged.size() + 1, 8000);
        QTest::qWait(response.delay.count() ? 700 : 100);
        QCOMPARE(screenMessages(*log.screen()), QStringList{u"push: ON"_s} + logged);
        if (head.isEmpty())
            return;
        QCOMPARE(server.requestCount(), 2);
        const QString request = QString::fromUtf8(server.requests().first());
        for (const QString& line : head)
            QVERIFY2(request.contains(line + u"\r\n"_s, Qt::CaseInsensitive), qPrintable(request));
        if (kind == u"json")
            QCOMPARE(QJsonDocument::fromJson(server.bodies().first()).object(), QJsonDocument::fromJson(body).object());
        else
            QCOMPARE(server.bodies().first(), body);
    }
};

QTEST_GUILESS_MAIN(PushChannelTest)
#include "tst_push_channel.moc"
