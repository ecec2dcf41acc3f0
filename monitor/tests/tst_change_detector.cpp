// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ChangeDetector.h"

#include <QStringList>
#include <QTest>

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

} // namespace

class TestChangeDetector final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cycles_giveReports_data()
    {
        QTest::addColumn<QStringList>("lists");
        QTest::addColumn<bool>("excludeClosed");
        QTest::addColumn<QString>("reports"); // one letter per cycle: 'N' no change, 'F' ticker(s) found
        const auto row = [](const char* name, const QStringList& lists, bool exclude, const char* reports) {
            QTest::newRow(name) << lists << exclude << QString::fromLatin1(reports);
        };
        row("first cycle without offerings", {None}, false, "N");
        row("A back after seven others", returning(OpenA, 7), false, "FFFFFFFFN");
        row("A back after eight others", returning(OpenA, 8), false, "FFFFFFFFFF");
        row("exclude off: go-now to closed", {OpenA, ClosedA}, false, "FF");
        row("exclude on: go-now to closed", {OpenA, ClosedA}, true, "FN");
        row("exclude on: every closed, in any case", {OpenAB, " AAAA (closed)  BBBB (CLOSED)  "}, true, "FN");
        row("exclude on: one removed", {OpenABC, OpenAC}, true, "FN");
        row("exclude on: one added", {OpenAC, OpenABC}, true, "FF");
        row("exclude on: same length, pieces found", {OpenAB, " BBBB (go-now)  AAAA (go-now)  "}, true, "FF");
        row("exclude on: pieces cut across entries", {" ABCD  EFGH  IJKL  ", " ABCD  IJKL  "}, true, "FF");
        row("exclude on: pieces found in other case", {OpenAB, " aaaa (go-now)  "}, true, "FN");
        // The pieces checked are length / 4 with halves rounded to even: length 10 checks two
        // pieces, not three; length 14 checks four, not three.
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
            seen += detector.decide(list, excludeClosed) == ChangeDetector::Report::NoChange ? u'N' : u'F';
        QTEST(seen, "reports");
    }
};

QTEST_GUILESS_MAIN(TestChangeDetector)
#include "tst_change_detector.moc"
