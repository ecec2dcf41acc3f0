#include "monitor/EdgarFeedSource.h"
#include "monitor/PatternSource.h"
#include "testsupport/MonitorFixture.h"
#include "testsupport/ScratchSettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString filing(const QString& title, const QString& form)
{
    return u"<entry><title>%1</title><link rel=\"alternate\" href=\"https://www.sec.gov/x-index.htm\"/>"
           "<updated>2026-12-07T09:30:00-05:00</updated><category scheme=\"https://www.sec.gov/\" "
           "label=\"form type\" term=\"%2\"/><id>urn:tag:sec.gov,2008:accession-number=0001-26-000001</id></entry>"_s
               .arg(title, form);
}

QString feed(const QStringList& entries)
{
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
           "<title>Latest Filings</title>"_s +
           entries.join(QString()) + u"</feed>"_s;
}

WatchSettings watching(WatchSettings::Source source, const QString& url, const QString& patternOrContact)
{
    WatchSettings watch;
    watch.url = QUrl(url);
    watch.source = source;
    (source == WatchSettings::Source::Pattern ? watch.pattern : watch.contact) = patternOrContact;
    return watch;
}

const QString Acme = filing(u"S-1 - ACME WIDGETS INC (0001000001) (Filer)"_s, u"S-1"_s);
const QString Bolt = filing(u"S-1 - Bolt &amp; Nut Corp. (0001000002) (Filer)"_s, u"S-1"_s);
const QString AcmeAmended = filing(u"S-1/A - ACME WIDGETS INC (0001000001) (Filer)"_s, u"S-1/A"_s);
} // namespace

class WatchedSourcesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void edgarFeed_entriesOrAClearError_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("error");
        QTest::newRow("entities and sorting")
            << feed({Bolt, Acme}) << u" ACME WIDGETS INC (S-1)  Bolt & Nut Corp. (S-1)  "_s
            << QStringList{u"0001000001/S-1"_s, u"0001000002/S-1"_s} << QString();
        QTest::newRow("non-ASCII, dashes and parentheses in the name")
            << feed({filing(u"F-1 - Soci\u00e9t\u00e9 G\u00e9n\u00e9rale - Nord (Holdings) (0001000003) (Filer)"_s,
                            u"F-1"_s)})
            << u" Soci\u00e9t\u00e9 G\u00e9n\u00e9rale - Nord (Holdings) (F-1)  "_s << QStringList{u"0001000003/F-1"_s}
            << QString();
        QTest::newRow("an amendment is a filing of its own")
            << feed({AcmeAmended, Acme}) << u" ACME WIDGETS INC (S-1)  ACME WIDGETS INC (S-1/A)  "_s
            << QStringList{u"0001000001/S-1"_s, u"0001000001/S-1/A"_s} << QString();
        QTest::newRow("listed once per filer, shown once")
            << feed({Acme, Acme}) << u" ACME WIDGETS INC (S-1)  "_s << QStringList{u"0001000001/S-1"_s} << QString();
        QTest::newRow("title without CIK") << feed({filing(u"Odd title"_s, u"S-1"_s)}) << u" Odd title (S-1)  "_s
                                           << QStringList{u"Odd title/S-1"_s} << QString();
        QTest::newRow("empty feed") << feed({}) << u" "_s << QStringList() << QString();
        QTest::newRow("an HTML page") << u"<html><body>Not here</body></html>"_s << u" "_s << QStringList()
                                      << u"no Atom feed"_s;
        QTest::newRow("broken XML") << feed({Acme}).chopped(9) + u"<entry>"_s << u" "_s << QStringList()
                                    << u"not well-formed"_s;
        QTest::newRow("nothing at all") << QString() << u" "_s << QStringList() << u"Premature end"_s;
    }
    void edgarFeed_entriesOrAClearError()
    {
        QFETCH(QString, page);
        QFETCH(QString, list);
        QFETCH(QStringList, keys);
        QFETCH(QString, error);
        const Extraction extraction = EdgarFeedSource().extract(page);
        QVERIFY2(error.isEmpty() ? extraction.error.isEmpty() : extraction.error.contains(error),
                 qPrintable(extraction.error));
        QCOMPARE(extraction.tickerList, list);
        QCOMPARE(extraction.keys, keys);
    }

    void patternSource_symbolsOfAnyLength_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("list");
        const QString rows = u"<tr><td>F</td><td>open</td></tr><tr><td>GOOGL</td><td>Closed</td></tr>"
                             "<tr><td>AB</td><td>open</td></tr><tr><td>XYZ</td><td>CLOSED soon</td></tr>"_s;
        QTest::newRow("symbol and status") << u"<td>(?<symbol>[A-Z]{1,5})</td><td>(?<status>[^<]*)</td>"_s << rows
                                           << u" AB (go-now)  F (go-now)  GOOGL (closed)  XYZ (closed)  "_s;
        QTest::newRow("symbol alone") << u"<td>(?<symbol>[A-Z]{1,5})</td>"_s << rows << u" AB  F  GOOGL  XYZ  "_s;
        QTest::newRow("no match") << u"ticker=(?<symbol>\\w+)"_s << rows << u" "_s;
    }
    void patternSource_symbolsOfAnyLength()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, page);
        QFETCH(QString, list);
        QCOMPARE(PatternSource(pattern).extract(page).tickerList, list);
    }

    void watchSettings_checkedBeforeSavingAndReadBack_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("contact");
        QTest::addColumn<QString>("error");
        QTest::newRow("edgar") << u"https://www.sec.gov/feed"_s << u"edgar"_s << QString() << u"me@example.com"_s
                               << QString();
        QTest::newRow("pattern") << u"http://example.com/ipo"_s << u"pattern"_s << u"(?<symbol>\\w+)"_s << QString()
                                 << QString();
        QTest::newRow("no host") << u"https:///x"_s << u"broker"_s << QString() << QString() << u"with a host"_s;
        QTest::newRow("ftp") << u"ftp://example.com/"_s << u"broker"_s << QString() << QString() << u"http or https"_s;
        QTest::newRow("pattern does not compile")
            << u"http://example.com/"_s << u"pattern"_s << u"(?<symbol>[A-Z"_s << QString() << u"does not compile"_s;
        QTest::newRow("pattern without symbol")
            << u"http://example.com/"_s << u"pattern"_s << u"([A-Z]+)"_s << QString() << u"group named symbol"_s;
        QTest::newRow("two-line contact")
            << u"http://example.com/"_s << u"edgar"_s << QString() << u"a@b\nX: y"_s << u"one line"_s;
    }
    void watchSettings_checkedBeforeSavingAndReadBack()
    {
        QFETCH(QString, url);
        QFETCH(QString, source);
        QFETCH(QString, pattern);
        QFETCH(QString, contact);
        QFETCH(QString, error);
        ScratchSettings settings;
        WatchSettings before;
        before.url = QUrl(u"https://old.example/page"_s);
        QVERIFY(before.save(*settings, nullptr));

        WatchSettings watch;
        QString problem;
        QVERIFY(WatchSettings::checkUrl(url, &watch.url, &problem) || !error.isEmpty());
        QVERIFY(WatchSettings::parseSource(source, &watch.source));
        watch.pattern = pattern;
        watch.contact = contact;
        // Unless chosen, what was seen is remembered for feeds and patterns, not for the broker page.
        watch.remember = source != u"broker"_s;
        if (watch.url.isEmpty())
            watch.url = QUrl(url);
        QCOMPARE(watch.save(*settings, &problem), error.isEmpty());
        QVERIFY2(error.isEmpty() ? problem.isEmpty() : problem.contains(error), qPrintable(problem));
        QCOMPARE(WatchSettings::load(*settings), error.isEmpty() ? watch : before);
    }

    // The feed's entries are compared by company and form, not by the whole list.
    void edgarMonitoring_namesNewFilingsAndIgnoresDropOuts()
    {
        MonitorFixture f;
        f.monitor.setWatch(watching(WatchSettings::Source::Edgar, u"http://127.0.0.1:9/feed"_s, u"me@example.com"_s));
        f.start();
        const auto poll = [&f](const QStringList& entries) {
            f.monitor.Command1_Click();
            f.client.finishWithPage(feed(entries));
            f.monitor.Command2_Click();
        };
        poll({Acme});
        poll({Bolt, Acme});
        poll({Bolt});
        poll({AcmeAmended, Bolt});
        QCOMPARE(f.client.contact(), u"me@example.com"_s);
        QCOMPARE(f.alerts.alerts.size(), 3);
        QCOMPARE(f.alerts.alerts[0].newEntries, QStringList{u"ACME WIDGETS INC (S-1)"_s});
        QCOMPARE(f.alerts.alerts[1].newEntries, QStringList{u"Bolt & Nut Corp. (S-1)"_s});
        QCOMPARE(f.alerts.alerts[2].newEntries, QStringList{u"ACME WIDGETS INC (S-1/A)"_s});
        QVERIFY(f.allMessages().contains(u"poll: OK, no changes-  Bolt & Nut Corp. (S-1)  "_s));
    }

    // What stops a poll before it starts, what fails it after the page came, and the
    // warning when a page that had entries has none twice in a row.
    void healthAlerts_oneEachWayNoneRepeated();
    void unusableWatchOrPage_isSaidClearly()
    {
        MonitorFixture f;
        f.monitor.setWatch(WatchSettings());
        f.start();
        f.monitor.Command1_Click();
        QCOMPARE(f.messagesSinceMark(), QStringList{u"poll: no address to watch; set one in File > Watch Settings"_s});
        QVERIFY(f.client.requested().isEmpty());
        QVERIFY(f.monitor.panel().startEnabled());

        WatchSettings watch;
        watch.url = QUrl(u"http://127.0.0.1:9/feed"_s);
        watch.source = WatchSettings::Source::Edgar;
        f.monitor.setWatch(watch);
        f.markLog();
        f.monitor.Command1_Click();
        QVERIFY(f.messagesSinceMark().at(0).contains(u"contact"_s));
        QVERIFY(f.client.requested().isEmpty());

        watch.contact = u"me@example.com"_s;
        f.monitor.setWatch(watch);
        f.markLog();
        f.monitor.Command1_Click();
        f.client.finishWithPage(u"<html>moved</html>"_s);
        QVERIFY(f.messagesSinceMark().at(1).startsWith(u"poll: error, the page is no Atom feed"_s));
        QCOMPARE(f.monitor.panel().statusColour(), StatusColour::Orange);

        const QString warning =
            u"poll: warning, no entries found twice in a row; the page or its layout may have changed"_s;
        for (const QStringList& entries : {QStringList{Acme}, {}, {}, {}}) {
            f.monitor.Command1_Click();
            f.client.finishWithPage(feed(entries));
        }
        QCOMPARE(f.allMessages().count(warning), 1);
        QCOMPARE(f.allMessages().indexOf(warning), f.allMessages().lastIndexOf(u"poll: OK, none found"_s, -4) + 1);
    }
};

// Failed polls in a row bring one alert, a good poll after it one more; a page whose
// text cannot be read counts as failed. Pattern sources name what is new too.
void WatchedSourcesTest::healthAlerts_oneEachWayNoneRepeated()
{
    MonitorFixture f;
    f.monitor.setWatch(
        watching(WatchSettings::Source::Pattern, u"http://127.0.0.1:9/ipo"_s, u"<b>(?<symbol>[A-Z]+)</b>"_s));
    f.start();
    const auto fail = [&f] {
        f.monitor.Command1_Click();
        f.client.finishWithError(404, u"Not Found"_s);
    };
    const auto page = [&f](const QString& body) {
        f.monitor.Command1_Click();
        f.client.finishWithPage(body);
    };
    page(u"<b>AB</b>"_s);
    fail();
    fail();
    QVERIFY(f.alerts.alerts.size() == 1);
    fail();
    fail();
    page(u"<b>AB</b><b>CDE</b>"_s);
    page(u"<b>AB</b><b>CDE</b>"_s);
    f.alerts.channelOn = false;
    for (int i = 0; i < 3; ++i)
        fail();

    QStringList subjects;
    for (const Alert& alert : std::as_const(f.alerts.alerts))
        subjects << alert.subject;
    QCOMPARE(subjects, (QStringList{u"IPO: "_s, u"Offerwatch: the watched page failed 3 times in a row"_s,
                                    u"Offerwatch: the watched page answers again"_s, u"IPO: "_s}));
    QVERIFY(f.alerts.alerts[1].text.endsWith(u"Error # 404 Not Found"_s));
    QCOMPARE(f.alerts.alerts[3].newEntries, QStringList{u"CDE"_s});
    const QStringList messages = f.allMessages();
    QCOMPARE(messages.count(u"poll: 3 failures in a row, alert sent"_s), 1);
    QCOMPARE(messages.count(u"poll: the watched page answers again, alert sent"_s), 1);
    QCOMPARE(messages.count(u"poll: 3 failures in a row, no alert channel is on"_s), 1);
}

QTEST_GUILESS_MAIN(WatchedSourcesTest)
#include "tst_watched_sources.moc"
