// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/EdgarFeedSource.h"
#include "monitor/FormFeedClient.h"
#include "monitor/PatternSource.h"
#include "testsupport/MonitorFixture.h"
#include "testsupport/ScratchSettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString filing(const QString& title, const QString& form, const QString& accession)
{
    return u"<entry><title>%1</title><link rel=\"alternate\" href=\"https://www.sec.gov/x-index.htm\"/>"
           "<updated>2026-12-07T09:30:00-05:00</updated><category scheme=\"https://www.sec.gov/\" "
           "label=\"form type\" term=\"%2\"/><id>urn:tag:sec.gov,2008:accession-number=%3</id></entry>"_s.arg(
               title, form, accession);
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

const QString Acme = filing(u"S-1 - ACME WIDGETS INC (0001000001) (Filer)"_s, u"S-1"_s, u"A-1"_s);
const QString Bolt = filing(u"S-1 - Bolt &amp; Nut Corp. (0001000002) (Filer)"_s, u"S-1"_s, u"B-1"_s);
const QString AcmeAmended = filing(u"S-1/A - ACME WIDGETS INC (0001000001) (Filer)"_s, u"S-1/A"_s, u"A-2"_s);
const QString AcmeAmendedAgain = filing(u"S-1/A - ACME WIDGETS INC (0001000001) (Filer)"_s, u"S-1/A"_s, u"A-3"_s);
} // namespace

class WatchedSourcesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What each source reads from a page: the sorted list, the keys of a feed's filings, or a
    // clear error (a warning where the list is still good).
    void sources_giveEntriesOrAClearError_data()
    {
        QTest::addColumn<QString>("pattern"); // empty for the EDGAR feed
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("error"); // "WARNING: " for a warning
        const auto edgar = [](const char* name, const QString& page, const QString& list, const QStringList& keys,
                              const QString& error = {}) {
            QTest::newRow(name) << QString() << page << list << keys << error;
        };
        const auto pattern = [](const char* name, const QString& pattern, const QString& page, const QString& list,
                                const QString& error = {}) {
            QTest::newRow(name) << pattern << page << list << QStringList() << error;
        };
        edgar("entities and sorting", feed({Bolt, Acme}), u" ACME WIDGETS INC (S-1)  Bolt & Nut Corp. (S-1)  "_s,
              {u"A-1"_s, u"B-1"_s});
        edgar("non-ASCII, dashes and parentheses in the name",
              feed({filing(u"F-1 - Soci\u00e9t\u00e9 G\u00e9n\u00e9rale - Nord (Holdings) (0001000003) (Filer)"_s,
                           u"F-1"_s, u"C-1"_s)}),
              u" Soci\u00e9t\u00e9 G\u00e9n\u00e9rale - Nord (Holdings) (F-1)  "_s, {u"C-1"_s});
        edgar("every amendment is a filing of its own", feed({AcmeAmendedAgain, AcmeAmended, Acme}),
              u" ACME WIDGETS INC (S-1)  ACME WIDGETS INC (S-1/A)  ACME WIDGETS INC (S-1/A)  "_s,
              {u"A-1"_s, u"A-3"_s, u"A-2"_s});
        edgar("one accession number counts once whatever its form or filer",
              feed({Acme, filing(u"F-1 - ACME HOLDING (0001000009) (Subject)"_s, u"F-1"_s, u"A-1"_s)}),
              u" ACME WIDGETS INC (S-1)  "_s, {u"A-1"_s});
        edgar("no accession numbers: company and form",
              feed({QString(Acme).replace(u"accession-number=A-1"_s, u"x"_s)}), u" ACME WIDGETS INC (S-1)  "_s,
              {u"0001000001/S-1"_s}, u"WARNING: accession numbers"_s);
        edgar("no company anywhere: skipped, never ()", feed({filing(u"Odd title"_s, u"S-1"_s, u"D-1"_s), Bolt}),
              u" Bolt & Nut Corp. (S-1)  "_s, {u"B-1"_s}, u"WARNING: names no company"_s);
        edgar("nested 70,000 deep in a title",
              feed({filing(u"<b>"_s.repeated(70000) + u"</b>"_s.repeated(70000), u"S-1"_s, u"E-1"_s)}), u" "_s, {},
              u"nested more than 64 levels"_s);
        edgar("declared entities, external or not, stay unexpanded",
              u"<?xml version=\"1.0\"?><!DOCTYPE feed [<!ENTITY a \"AAAAAAAAAA\"><!ENTITY b \"&a;&a;&a;&a;\">"
              "<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"_s +
                  feed({filing(u"S-1 - &b;&x; (0001000001) (Filer)"_s, u"S-1"_s, u"A-1"_s)}).mid(38),
              u" &b;&x; (S-1)  "_s, {u"A-1"_s});
        edgar("empty feed", feed({}), u" "_s, {});
        edgar("an HTML 4 page",
              u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html><body>Not here</body></html>"_s, u" "_s, {},
              u"this is an HTML page, not an EDGAR feed"_s);
        edgar("RSS", u"<rss/>"_s, u" "_s, {}, u"no Atom feed (it begins with <rss>)"_s);
        edgar("JSON", u" {\"filings\": []}"_s, u" "_s, {}, u"JSON page"_s);
        edgar("broken XML", feed({Acme}).chopped(9) + u"<entry>"_s, u" "_s, {}, u"not well-formed"_s);
        edgar("nothing at all", u"\n "_s, u" "_s, {}, u"the page is empty"_s);

        const QString rows = u"<tr><td>F</td><td>open</td></tr><tr><td>GOOGL</td><td>Closed</td></tr>"
                             "<tr><td>AB</td><td>open</td></tr><tr><td>XYZ</td><td>CLOSED soon</td></tr>"_s;
        pattern("symbol and status", u"<td>(?<symbol>[A-Z]{1,5})</td><td>(?<status>[^<]*)</td>"_s, rows,
                u" AB (open)  F (open)  GOOGL (closed)  XYZ (closed)  "_s);
        pattern("symbol alone", u"<td>(?<symbol>[A-Z]{1,5})</td>"_s, rows, u" AB  F  GOOGL  XYZ  "_s);
        pattern("an empty status is go-now", u"(?<symbol>[A-Z]+)=(?<status>\\w*);"_s, u"QUIL=; ZORB=priced;"_s,
                u" QUIL (go-now)  ZORB (priced)  "_s);
        pattern("a symbol longer than 256 characters is cut", u"(?<symbol>x+)"_s, u"x"_s.repeated(1000),
                u" "_s + u"x"_s.repeated(255) + u"…  "_s);
        pattern("every character a match: 10000 entries", u"(?<symbol>a)(?<status>)"_s, u"a"_s.repeated(30000),
                u" "_s + u"a (go-now)  "_s.repeated(Extraction::MaxEntries), u"WARNING: more than 10000 entries"_s);
        pattern("PCRE2's match limit is a failed poll", u"(?<symbol>(a|aa)+\\d|[A-Z]+\\d)"_s,
                u"ABC1 "_s + u"a"_s.repeated(40) + u"x DEF2"_s, u" "_s,
                u"the pattern backtracks too much on this page"_s);
    }
    void sources_giveEntriesOrAClearError()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, page);
        QFETCH(QString, error);
        const Extraction extraction = pattern.isEmpty()
                                          ? EdgarFeedSource().extract(page)
                                          : PatternSource(pattern, std::chrono::milliseconds(300)).extract(page);
        const bool warning = error.startsWith(u"WARNING: "_s);
        const QString said = warning ? extraction.warnings.join(u' ') : extraction.error;
        QVERIFY2(error.isEmpty() ? said.isEmpty() && extraction.warnings.isEmpty()
                                 : said.contains(error.mid(warning ? 9 : 0)),
                 qPrintable(said));
        QTEST(extraction.tickerList, "list");
        if (pattern.isEmpty())
            QTEST(extraction.keys, "keys");
    }

    // Feeds saved in the three shapes EDGAR serves; in the current filings one filing is
    // listed twice, for its filer and its subject.
    void edgarFeedShapes_giveOneEntryPerFiling_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("entries"); // sorted
        const QString maquia = u"Maquia Capital Acquisition Corp (S-1/A)"_s, quill = u"Quill Robotics, Inc. "_s;
        QTest::newRow("current filings") << u"getcurrent.xml"_s
                                         << QStringList{u"Harbor Pine Depositor LLC (S-1)"_s, maquia, maquia,
                                                        quill + u"(S-1)"_s};
        QTest::newRow("one company") << u"getcompany.xml"_s
                                     << QStringList{quill + u"(424B4)"_s, quill + u"(S-1)"_s, quill + u"(S-1/A)"_s,
                                                    quill + u"(S-1/A)"_s};
        QTest::newRow("company search") << u"company_search.xml"_s
                                        << QStringList{u"DELHAIZE AMERICA INC"_s, u"DELHAIZE GROUP"_s};
    }
    void edgarFeedShapes_giveOneEntryPerFiling()
    {
        QFETCH(QString, file);
        QFile saved(QFINDTESTDATA(u"feeds/"_s + file));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const Extraction extraction =
            EdgarFeedSource().extract(QStringDecoder(QStringDecoder::Latin1)(saved.readAll()));
        QVERIFY2(extraction.error.isEmpty(), qPrintable(extraction.error));
        QStringList entries = extraction.entries;
        entries.sort();
        QTEST(entries, "entries");
    }

    void watchSettings_checkedBeforeSavingAndReadBack_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("contact");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QString& url, const QString& source, const QString& pattern,
                            const QString& contact, const QString& error) {
            QTest::newRow(name) << url << source << pattern << contact << error;
        };
        const QString page = u"http://example.com/"_s;
        row("edgar", u"https://www.sec.gov/feed"_s, u"edgar"_s, {}, u"me@example.com"_s, {});
        row("pattern", u"http://example.com/ipo"_s, u"pattern"_s, u"(?<symbol>\\w+)"_s, {}, {});
        row("no host", u"https:///x"_s, u"broker"_s, {}, {}, u"with a host"_s);
        row("ftp", u"ftp://example.com/"_s, u"broker"_s, {}, {}, u"http or https"_s);
        row("pattern does not compile", page, u"pattern"_s, u"(?<symbol>[A-Z"_s, {}, u"does not compile"_s);
        row("pattern without symbol", page, u"pattern"_s, u"([A-Z]+)"_s, {}, u"group named symbol"_s);
        row("two-line contact", page, u"edgar"_s, {}, u"a@b\nX: y"_s, u"one line"_s);
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

    // The feed's entries are compared by company and form, not by the whole list; a feed that
    // had entries and then has none twice in a row may have changed its layout.
    void edgarMonitoring_namesNewFilingsIgnoresDropOutsWarnsWhenEmpty()
    {
        MonitorFixture f;
        f.monitor.setWatch(watching(WatchSettings::Source::Edgar, u"http://127.0.0.1:9/feed"_s, u"me@example.com"_s));
        f.start();
        for (const QStringList& entries : {QStringList{Acme},
                                           {Bolt, Acme},
                                           {Bolt},
                                           {AcmeAmended, Bolt},
                                           {AcmeAmendedAgain, AcmeAmended, Bolt},
                                           {},
                                           {},
                                           {}}) {
            f.monitor.Command1_Click();
            f.client.finishWithPage(feed(entries));
            f.monitor.Command2_Click();
        }
        QCOMPARE(f.client.contact(), u"me@example.com"_s);
        QStringList named;
        for (const Alert& alert : std::as_const(f.alerts.alerts))
            named << alert.newEntries;
        QCOMPARE(named, (QStringList{u"ACME WIDGETS INC (S-1)"_s, u"Bolt & Nut Corp. (S-1)"_s,
                                     u"ACME WIDGETS INC (S-1/A)"_s, u"ACME WIDGETS INC (S-1/A)"_s}));
        const QStringList messages = f.allMessages();
        QVERIFY(messages.contains(u"poll: OK, no changes-  Bolt & Nut Corp. (S-1)  "_s));
        const qsizetype found =
            messages.indexOf(u"poll: ticker(s) found-  ACME WIDGETS INC (S-1)  Bolt & Nut Corp. (S-1)  "_s);
        QCOMPARE(messages.value(found + 1), u"poll: new- Bolt & Nut Corp. (S-1)"_s);
        const QString none = u"poll: OK, none found"_s;
        const QString warning =
            u"poll: warning, no entries found twice in a row; the page or its layout may have changed"_s;
        QCOMPARE(messages.count(warning), 1);
        QCOMPARE(messages.indexOf(warning), messages.indexOf(none, messages.indexOf(none) + 1) + 1);
    }

    // A watch that cannot be polled is refused before any request, with what to do about it.
    void unusableWatch_isRefusedBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("patternOrContact");
        QTest::addColumn<QString>("said");
        const int edgar = int(WatchSettings::Source::Edgar), pattern = int(WatchSettings::Source::Pattern);
        const QString url = u"http://127.0.0.1:9/feed"_s;
        QTest::newRow("no address") << QString() << edgar << u"me@example.com"_s
                                    << u"poll: no address to watch; set one in File > Watch Settings"_s;
        QTest::newRow("EDGAR without a contact") << url << edgar << QString() << u"contact"_s;
        QTest::newRow("pattern source without its pattern")
            << url << pattern << QString()
            << u"poll: the pattern source has no pattern; set one in File > Watch Settings"_s;
        QTest::newRow("saved pattern edited by hand")
            << url << pattern << u"([A-Z]+)"_s
            << u"poll: the saved pattern cannot be used: The pattern needs a group named symbol, as in "
               "(?<symbol>[A-Z]{1,5}). Set one in File > Watch Settings"_s;
    }
    void unusableWatch_isRefusedBeforeAnyRequest()
    {
        QFETCH(QString, url);
        QFETCH(int, source);
        QFETCH(QString, patternOrContact);
        QFETCH(QString, said);
        MonitorFixture f;
        f.monitor.setWatch(watching(WatchSettings::Source(source), url, patternOrContact));
        f.start();
        f.monitor.Command1_Click();
        QVERIFY2(f.messagesSinceMark().value(0).contains(said), qPrintable(f.messagesSinceMark().value(0)));
        QVERIFY(f.client.requested().isEmpty());
        QVERIFY(f.monitor.panel().startEnabled());
    }

    void healthAlerts_oneEachWayNoneRepeated();
    void edgarForms_oneRequestEachMergedAndKeptWhenOneFails();
    void slowPattern_failsInItsTimeWhileTheLoopAnswers();
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
        QVERIFY(f.finishWithPage(body));
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
    QCOMPARE(
        f.allMessages().filter(QRegularExpression(u"^poll: (3 failures|the watched page answers)"_s)),
        (QStringList{u"poll: 3 failures in a row, alert sent"_s, u"poll: the watched page answers again, alert sent"_s,
                     u"poll: 3 failures in a row, no alert channel is on"_s}));
}

// With the current-filings feed each form is asked for in turn; a form that fails keeps its
// last filings, and only a poll where every form failed is a failed poll.
void WatchedSourcesTest::edgarForms_oneRequestEachMergedAndKeptWhenOneFails()
{
    MonitorFixture f;
    WatchSettings watch = watching(WatchSettings::Source::Edgar,
                                   u"http://127.0.0.1:9/cgi-bin/browse-edgar?action=getcurrent&type=S-1&output=atom"_s,
                                   u"me@example.com"_s);
    watch.forms = {u"S-1"_s, u"F-1"_s};
    f.monitor.setWatch(watch);
    f.start();
    const QString bolt = QString(Bolt).replace(u"S-1"_s, u"F-1"_s);
    const auto poll = [&f](const std::function<void()>& first, const std::function<void()>& second) {
        const qsizetype before = f.client.requested().size();
        f.monitor.Command1_Click();
        first();
        QTRY_COMPARE(f.client.requested().size(), before + 2);
        second();
        QVERIFY(!f.monitor.poll().cycleRunning());
    };
    QElapsedTimer spacing;
    spacing.start();
    poll([&] { f.client.finishWithPage(feed({Acme})); }, [&] { f.client.finishWithPage(feed({bolt})); });
    QVERIFY(spacing.elapsed() >= FormFeedClient::SpacingMilliseconds);
    QCOMPARE(QUrlQuery(f.client.requested().at(0)).queryItemValue(u"type"_s), u"S-1"_s);
    QCOMPARE(QUrlQuery(f.client.requested().at(1)).queryItemValue(u"type"_s), u"F-1"_s);
    QCOMPARE(f.alerts.alerts.size(), 1);
    QCOMPARE(f.alerts.alerts[0].newEntries, (QStringList{u"ACME WIDGETS INC (S-1)"_s, u"Bolt & Nut Corp. (F-1)"_s}));

    f.markLog();
    poll([&] { f.client.finishWithPage(feed({Acme})); }, [&] { f.client.finishWithError(503, u"Busy"_s); });
    QCOMPARE(f.messagesSinceMark().value(1), u"poll: warning, the feed of F-1 (Error # 503 Busy) did not answer; its "
                                             "filings are kept from its last answer"_s);
    QCOMPARE(f.messagesSinceMark().value(2),
             u"poll: OK, no changes-  ACME WIDGETS INC (S-1)  Bolt & Nut Corp. (F-1)  "_s);

    f.markLog();
    poll([&] { f.client.finishWithError(503, u"Busy"_s); }, [&] { f.client.finishWithError(7, u"Host not found"_s); });
    QCOMPARE(f.messagesSinceMark().mid(1, 2), (QStringList{u"web: timeout"_s, u"Error # 503 Busy"_s}));
    QCOMPARE(f.alerts.alerts.size(), 1);
}

// A pattern that backtracks for minutes is cut off after its budget, and the event loop
// (the window, the console) goes on answering while the page is read.
void WatchedSourcesTest::slowPattern_failsInItsTimeWhileTheLoopAnswers()
{
    MonitorFixture f;
    f.monitor.setWatch(
        watching(WatchSettings::Source::Pattern, u"http://127.0.0.1:9/ipo"_s, u"(?<symbol>(a+))\\1\\d"_s));
    f.start();
    f.monitor.Command1_Click();
    QElapsedTimer sinceTick, poll;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    tick.start(50);
    sinceTick.start();
    poll.start();
    QVERIFY(f.finishWithPage(u"a"_s.repeated(16384)));
    QVERIFY2(longestGap < 1000 && poll.elapsed() < 9000, qPrintable(QString::number(longestGap)));
    QVERIFY(f.messagesSinceMark().contains(u"poll: error, the pattern took too long on this page; simplify it"_s));
}

QTEST_GUILESS_MAIN(WatchedSourcesTest)
#include "tst_watched_sources.moc"
