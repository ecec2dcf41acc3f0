// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ChangeDetector.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include <cmath>

using Report = ChangeDetector::Report;

namespace {

const QString None = QStringLiteral(" ");
const QString OpenA = QStringLiteral(" AAAA (go-now)  ");
const QString ClosedA = QStringLiteral(" AAAA (closed)  ");
const QString OpenAB = QStringLiteral(" AAAA (go-now)  BBBB (go-now)  ");
const QString OpenABC = QStringLiteral(" AAAA (go-now)  BBBB (go-now)  CCCC (go-now)  ");
const QString OpenAC = QStringLiteral(" AAAA (go-now)  CCCC (go-now)  ");

// list, then as many other lists, then list again.
QStringList returning(const QString& list, int others)
{
    QStringList lists{list};
    for (int i = 0; i < others; ++i)
        lists << QStringLiteral(" T%1 (go-now)  ").arg(i, 3, 10, QLatin1Char('0'));
    return lists << list;
}

// The decision written out step by step: the history as a plain list, "(closed)" replaced
// one at a time, and each piece searched in the whole previous list.
Report referenceDecide(QStringList& history, const QString& list, bool excludeClosed)
{
    const auto normalized = [](QString text) {
        for (qsizetype at; (at = text.indexOf(QLatin1String("(closed)"), 0, Qt::CaseInsensitive)) >= 0;)
            text.replace(at, 8, QStringLiteral("(go-now)"));
        return text;
    };
    Report report = Report::TickersFound;
    if (history.contains(list)) {
        report = Report::NoChange;
    } else if (excludeClosed) {
        const QString current = normalized(list);
        const QString previous = normalized(history.first());
        const qsizetype n = qsizetype(std::nearbyint(double(current.size()) / 4.0));
        qsizetype found = 0;
        for (qsizetype i = 0; i < n; ++i)
            found += previous.contains(current.mid(i * 4, 4), Qt::CaseInsensitive) ? 1 : 0;
        if (current == previous || (current.size() < previous.size() && found == n))
            report = Report::NoChange;
    }
    history.prepend(list);
    history.removeLast();
    return report;
}

} // namespace

class TestChangeDetector final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void piecesToCheck_roundsHalfToEven_data()
    {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<qsizetype>("pieces");
        // Lengths 2, 6, 10, 14 and 18 are the halves.
        const std::pair<qsizetype, qsizetype> cases[] = {{0, 0}, {1, 0}, {2, 0},  {3, 1},  {6, 2},
                                                         {7, 2}, {10, 2}, {14, 4}, {18, 4}, {31, 8}};
        for (const auto& [length, pieces] : cases)
            QTest::addRow("length %lld", qlonglong(length)) << length << pieces;
    }

    void piecesToCheck_roundsHalfToEven()
    {
        QFETCH(qsizetype, length);
        QFETCH(qsizetype, pieces);
        QCOMPARE(ChangeDetector::piecesToCheck(length), pieces);
    }

    void cycles_giveReports_data()
    {
        QTest::addColumn<QStringList>("lists");
        QTest::addColumn<bool>("excludeClosed");
        QTest::addColumn<QString>("reports"); // one letter per cycle: 'N' no change, 'F' ticker(s) found
        const auto row = [](const char* name, const QStringList& lists, bool exclude, const char* reports) {
            QTest::newRow(name) << lists << exclude << QString::fromLatin1(reports);
        };
        row("first cycle without offerings", {None}, false, "N");
        row("A and B alternate", {OpenA, OpenAB, OpenA, OpenAB, OpenA}, false, "FFNNN");
        row("A back after seven others", returning(OpenA, 7), false, "FFFFFFFFN");
        row("A back after eight others", returning(OpenA, 8), false, "FFFFFFFFFF");
        row("exclude off: go-now to closed", {OpenA, ClosedA}, false, "FF");
        row("exclude on: go-now to closed", {OpenA, ClosedA}, true, "FN");
        row("exclude on: closed to go-now", {ClosedA, OpenA}, true, "FN");
        row("exclude on: every closed, in any case", {OpenAB, " AAAA (closed)  BBBB (CLOSED)  "}, true, "FN");
        row("exclude on: one removed", {OpenABC, OpenAC}, true, "FN");
        row("exclude on: one added", {OpenAC, OpenABC}, true, "FF");
        row("exclude on: same length, pieces found", {OpenAB, " BBBB (go-now)  AAAA (go-now)  "}, true, "FF");
        row("exclude on: shorter, with a new symbol", {" ABCD (go-now)  EFGH (go-now)  IJKL (go-now)  ",
                                                       " ABCD (go-now)  WXYZ (go-now)  "}, true, "FF");
        row("exclude on: pieces cut across entries", {" ABCD  EFGH  IJKL  ", " ABCD  IJKL  "}, true, "FF");
        row("exclude on: pieces found in other case", {OpenAB, " aaaa (go-now)  "}, true, "FN");
        // Length 10 checks two pieces, not three; length 14 checks four, not three.
        row("exclude on: length 10", {" ABCDEFGH  ", " ABCDEFGQ "}, true, "FN");
        row("exclude on: length 14", {" ABCDEFGHIJKL  ", " ABCDEFGHIJKZ "}, true, "FF");
        row("exclude on: all removed after eight cycles", QStringList(8, OpenAB) << None, true, "FNNNNNNNN");
        row("exclude off: all removed after eight cycles", QStringList(8, OpenA) << None, false, "FNNNNNNNF");
        row("exclude on: only the newest history entry is previous", {OpenABC, OpenA, OpenAC}, true, "FNF");
    }

    void cycles_giveReports()
    {
        QFETCH(QStringList, lists);
        QFETCH(bool, excludeClosed);
        ChangeDetector detector;
        QString seen;
        for (const QString& list : std::as_const(lists))
            seen += detector.decide(list, excludeClosed) == Report::NoChange ? u'N' : u'F';
        QTEST(seen, "reports");
    }

    void randomCycles_matchStepByStepDecision()
    {
        // Few symbols and statuses, so that lists repeat, shrink and close often.
        const QStringList entries = {QStringLiteral("AAAA (go-now)"), QStringLiteral("AAAA (closed)"),
                                     QStringLiteral("BBB (go-now)"),  QStringLiteral("bbb (CLOSED)"),
                                     QStringLiteral("CCCC"),          QStringLiteral("AB")};
        QRandomGenerator random(179);
        for (int run = 0; run < 300; ++run) {
            ChangeDetector detector;
            QStringList history(ChangeDetector::HistorySize, None);
            for (int cycle = 0; cycle < 30; ++cycle) {
                QString list = None;
                for (int i = random.bounded(4); i > 0; --i)
                    list += entries.at(random.bounded(int(entries.size()))) + QStringLiteral("  ");
                const bool excludeClosed = random.bounded(4) != 0;
                const Report expected = referenceDecide(history, list, excludeClosed);
                QVERIFY2(detector.decide(list, excludeClosed) == expected,
                         qPrintable(QStringLiteral("run %1 cycle %2 \"%3\"").arg(run).arg(cycle).arg(list)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestChangeDetector)
#include "tst_change_detector.moc"
