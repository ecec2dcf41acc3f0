#include "monitor/ChangeDetector.h"

#include <QList>
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

// One cycle per character: 'N' for no change, 'F' for ticker(s) found.
QString reportLetters(const QList<Report>& reports)
{
    QString letters;
    for (const Report report : reports)
        letters += report == Report::NoChange ? u'N' : u'F';
    return letters;
}

QString numbered(int i)
{
    return QStringLiteral(" T%1 (go-now)  ").arg(i, 3, 10, QLatin1Char('0'));
}

// The decision written out step by step, with the history as a plain list and each piece
// searched in the whole previous list, to hold the detector's faster removal test to.
class ReferenceDetector {
public:
    Report decide(const QString& list, bool excludeClosed)
    {
        Report report = Report::TickersFound;
        if (m_history.contains(list)) {
            report = Report::NoChange;
        } else if (excludeClosed) {
            const QString current = normalized(list);
            const QString previous = normalized(m_history.first());
            if (current == previous) {
                report = Report::NoChange;
            } else if (current.size() < previous.size()) {
                const qsizetype n = qsizetype(std::nearbyint(double(current.size()) / 4.0));
                qsizetype count = 0;
                for (qsizetype i = 0; i < n; ++i)
                    count += previous.contains(current.mid(i * 4, 4), Qt::CaseInsensitive) ? 1 : 0;
                if (count == n)
                    report = Report::NoChange;
            }
        }
        m_history.prepend(list);
        m_history.removeLast();
        return report;
    }

private:
    static QString normalized(QString text)
    {
        for (;;) {
            const qsizetype at = text.indexOf(QLatin1String("(closed)"), 0, Qt::CaseInsensitive);
            if (at < 0)
                return text;
            text.replace(at, 8, QStringLiteral("(go-now)"));
        }
    }

    QStringList m_history = QStringList(8, QStringLiteral(" "));
};

} // namespace

class TestChangeDetector final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void piecesToCheck_roundsHalfToEven_data();
    void piecesToCheck_roundsHalfToEven();
    void normalizeClosed_turnsEveryClosedIntoGoNow_data();
    void normalizeClosed_turnsEveryClosedIntoGoNow();
    void cycles_giveReports_data();
    void cycles_giveReports();
    void history_keepsEightNewestFirst();
    void randomCycles_matchStepByStepDecision();
};

void TestChangeDetector::piecesToCheck_roundsHalfToEven_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<qsizetype>("pieces");

    const QList<std::pair<qsizetype, qsizetype>> cases = {
        {0, 0}, {1, 0}, {2, 0}, {3, 1}, {5, 1}, {6, 2}, {7, 2}, {10, 2}, {13, 3}, {14, 4}, {18, 4}, {22, 6}, {31, 8},
    };
    for (const auto& [length, pieces] : cases)
        QTest::addRow("length %lld", qlonglong(length)) << length << pieces;
}

void TestChangeDetector::piecesToCheck_roundsHalfToEven()
{
    QFETCH(qsizetype, length);
    QFETCH(qsizetype, pieces);
    QCOMPARE(ChangeDetector::piecesToCheck(length), pieces);
}

void TestChangeDetector::normalizeClosed_turnsEveryClosedIntoGoNow_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("normalized");

    QTest::newRow("blank") << None << None;
    QTest::newRow("one closed") << ClosedA << OpenA;
    QTest::newRow("every one, any case") << " A (closed)  B (CLOSED)  C (Closed)  "
                                         << " A (go-now)  B (go-now)  C (go-now)  ";
    QTest::newRow("nested brackets") << "((closed)closed))" << "((go-now)closed))";
    QTest::newRow("not a whole word") << " A (close)  B closed  " << " A (close)  B closed  ";
}

void TestChangeDetector::normalizeClosed_turnsEveryClosedIntoGoNow()
{
    QFETCH(QString, list);
    QFETCH(QString, normalized);
    QCOMPARE(ChangeDetector::normalizeClosed(list), normalized);
}

void TestChangeDetector::cycles_giveReports_data()
{
    QTest::addColumn<QStringList>("lists");
    QTest::addColumn<bool>("excludeClosed");
    QTest::addColumn<QString>("reports");

    QStringList eightOthers;
    for (int i = 0; i < 8; ++i)
        eightOthers << numbered(i);

    QTest::newRow("first cycle with offerings") << QStringList{OpenA} << true << "F";
    QTest::newRow("first cycle without offerings") << QStringList{None} << false << "N";
    QTest::newRow("same list again") << QStringList{OpenAB, OpenAB} << false << "FN";
    QTest::newRow("A and B alternate") << QStringList{OpenA, OpenAB, OpenA, OpenAB, OpenA} << false << "FFNNN";
    QTest::newRow("A back after seven others") << QStringList{OpenA} + eightOthers.mid(0, 7) + QStringList{OpenA}
                                               << false << "FFFFFFFFN";
    QTest::newRow("A back after eight others") << QStringList{OpenA} + eightOthers + QStringList{OpenA} << false
                                               << "FFFFFFFFFF";
    QTest::newRow("exclude off: go-now to closed") << QStringList{OpenA, ClosedA} << false << "FF";
    QTest::newRow("exclude on: go-now to closed") << QStringList{OpenA, ClosedA} << true << "FN";
    QTest::newRow("exclude on: closed to go-now") << QStringList{ClosedA, OpenA} << true << "FN";
    QTest::newRow("exclude on: closed in other case") << QStringList{OpenA, " AAAA (CLOSED)  "} << true << "FN";
    QTest::newRow("exclude on: one removed") << QStringList{OpenABC, OpenAC} << true << "FN";
    QTest::newRow("exclude off: one removed") << QStringList{OpenABC, OpenAC} << false << "FF";
    QTest::newRow("exclude on: one removed, another closed")
        << QStringList{OpenABC, " AAAA (closed)  CCCC (go-now)  "} << true << "FN";
    QTest::newRow("exclude on: one added") << QStringList{OpenAC, OpenABC} << true << "FF";
    QTest::newRow("exclude on: same length, other symbol")
        << QStringList{OpenAB, " AAAA (go-now)  DDDD (go-now)  "} << true << "FF";
    QTest::newRow("exclude on: shorter, with a new symbol")
        << QStringList{" ABCD (go-now)  EFGH (go-now)  IJKL (go-now)  ", " ABCD (go-now)  WXYZ (go-now)  "} << true
        << "FF";
    QTest::newRow("exclude on: pieces cut across entries")
        << QStringList{" ABCD  EFGH  IJKL  ", " ABCD  IJKL  "} << true << "FF";
    QTest::newRow("exclude on: pieces found in other case") << QStringList{OpenAB, " aaaa (go-now)  "} << true
                                                            << "FN";
    // Length 10 checks two pieces, not three; length 14 checks four, not three.
    QTest::newRow("exclude on: length 10, third piece unchecked") << QStringList{" ABCDEFGH  ", " ABCDEFGQ "} << true
                                                                  << "FN";
    QTest::newRow("exclude on: length 14, fourth piece checked")
        << QStringList{" ABCDEFGHIJKL  ", " ABCDEFGHIJKZ "} << true << "FF";
    QTest::newRow("exclude on: all removed after eight cycles with offerings")
        << QStringList{OpenAB, OpenAB, OpenAB, OpenAB, OpenAB, OpenAB, OpenAB, OpenAB, None} << true << "FNNNNNNNN";
    QTest::newRow("exclude off: all removed while blank still in history")
        << QStringList{OpenA, OpenA, OpenA, OpenA, OpenA, OpenA, OpenA, None} << false << "FNNNNNNN";
    QTest::newRow("exclude off: all removed after eight cycles with offerings")
        << QStringList{OpenA, OpenA, OpenA, OpenA, OpenA, OpenA, OpenA, OpenA, None} << false << "FNNNNNNNF";
    QTest::newRow("exclude on: only the newest history entry counts as previous")
        << QStringList{OpenABC, OpenA, OpenAC} << true << "FNF";
}

void TestChangeDetector::cycles_giveReports()
{
    QFETCH(QStringList, lists);
    QFETCH(bool, excludeClosed);
    QFETCH(QString, reports);

    ChangeDetector detector;
    QList<Report> seen;
    for (const QString& list : std::as_const(lists))
        seen << detector.decide(list, excludeClosed);
    QCOMPARE(reportLetters(seen), reports);
}

void TestChangeDetector::history_keepsEightNewestFirst()
{
    ChangeDetector detector;
    for (const QString& entry : detector.history())
        QCOMPARE(entry, None);

    detector.decide(numbered(0), true);
    detector.decide(numbered(0), true);
    QCOMPARE(detector.history().at(0), numbered(0));
    QCOMPARE(detector.history().at(1), numbered(0));
    QCOMPARE(detector.history().at(2), None);

    for (int i = 1; i <= 9; ++i)
        detector.decide(numbered(i), i % 2 == 0);
    for (int slot = 0; slot < ChangeDetector::HistorySize; ++slot)
        QCOMPARE(detector.history().at(slot), numbered(9 - slot));
}

void TestChangeDetector::randomCycles_matchStepByStepDecision()
{
    // Few symbols and statuses, so that lists repeat, shrink and close often.
    const QStringList entries = {
        QStringLiteral("AAAA (go-now)"), QStringLiteral("AAAA (closed)"), QStringLiteral("BBB (go-now)"),
        QStringLiteral("bbb (CLOSED)"),  QStringLiteral("CCCC"),          QStringLiteral("AB"),
    };
    QRandomGenerator random(179);
    for (int run = 0; run < 300; ++run) {
        ChangeDetector detector;
        ReferenceDetector reference;
        for (int cycle = 0; cycle < 30; ++cycle) {
            QString list = QStringLiteral(" ");
            const int count = random.bounded(4);
            for (int i = 0; i < count; ++i)
                list += entries.at(random.bounded(int(entries.size()))) + QStringLiteral("  ");
            const bool excludeClosed = random.bounded(4) != 0;
            const Report expected = reference.decide(list, excludeClosed);
            QVERIFY2(detector.decide(list, excludeClosed) == expected,
                     qPrintable(QStringLiteral("run %1 cycle %2 list \"%3\"").arg(run).arg(cycle).arg(list)));
        }
    }
}

QTEST_GUILESS_MAIN(TestChangeDetector)
#include "tst_change_detector.moc"
