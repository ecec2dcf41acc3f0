// Times the offerings parser on page files: offerwatch_parser_bench [--runs N] FILE...
//
// For each file it prints one line: the file, its size, the time to read and decode it, the
// best parse time of N runs, the number of entries found and the parse throughput.

#include "monitor/OfferingsParser.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <limits>

namespace {

qsizetype countEntries(const QString& tickerList)
{
    // Every entry ends in two blanks; the symbols of generated pages hold none of their own.
    return tickerList.count(QStringLiteral("  "));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList files = app.arguments().mid(1);
    int runs = 3;
    if (files.size() >= 2 && files.first() == QLatin1String("--runs")) {
        bool ok = false;
        runs = files.at(1).toInt(&ok);
        if (!ok || runs < 1) {
            err << "offerwatch_parser_bench: --runs needs a positive number\n";
            return 2;
        }
        files = files.mid(2);
    }
    if (files.isEmpty()) {
        err << "usage: offerwatch_parser_bench [--runs N] FILE...\n";
        return 2;
    }

    int failures = 0;
    for (const QString& path : std::as_const(files)) {
        QElapsedTimer loadTimer;
        loadTimer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "offerwatch_parser_bench: " << path << ": " << file.errorString() << '\n';
            ++failures;
            continue;
        }
        const QByteArray bytes = file.readAll();
        const QString page = QString::fromUtf8(bytes);
        const double loadMs = double(loadTimer.nsecsElapsed()) / 1e6;

        double bestMs = std::numeric_limits<double>::max();
        qsizetype entries = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const ParsedOfferings parsed = parseOfferings(page);
            bestMs = std::min(bestMs, double(timer.nsecsElapsed()) / 1e6);
            entries = countEntries(parsed.tickerList);
        }
        const double megabytes = double(bytes.size()) / (1024.0 * 1024.0);
        out << path << " bytes=" << bytes.size() << " load_ms=" << QString::number(loadMs, 'f', 1)
            << " parse_ms=" << QString::number(bestMs, 'f', 1) << " entries=" << entries
            << " parse_MB_per_s=" << QString::number(megabytes / (bestMs / 1000.0), 'f', 0) << '\n';
        out.flush();
    }
    return failures == 0 ? 0 : 1;
}
