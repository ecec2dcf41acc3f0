// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Times the reading of watched pages:
//   offerwatch_parser_bench [--runs N] [--source broker|edgar|pattern] [--pattern RE] FILE...
//
// For each file it prints one line: the file, its size, the time to read and decode it, the
// best extraction time of N runs, the number of entries found and the throughput.

#include "monitor/OfferingsSource.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <limits>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList files = app.arguments().mid(1);
    int runs = 3;
    WatchSettings watch;
    while (files.size() >= 2 && files.first().startsWith(QLatin1String("--"))) {
        const QString option = files.takeFirst();
        const QString value = files.takeFirst();
        bool ok = true;
        if (option == QLatin1String("--runs"))
            ok = (runs = value.toInt(&ok)) >= 1 && ok;
        else if (option == QLatin1String("--source"))
            ok = WatchSettings::parseSource(value, &watch.source);
        else if (option == QLatin1String("--pattern"))
            watch.pattern = value;
        else
            ok = false;
        if (!ok) {
            err << "offerwatch_parser_bench: bad " << option << " " << value << "\n";
            return 2;
        }
    }
    if (files.isEmpty()) {
        err << "usage: offerwatch_parser_bench [--runs N] [--source broker|edgar|pattern] [--pattern RE] FILE...\n";
        return 2;
    }
    const auto source = OfferingsSource::create(watch);

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
            const Extraction extraction = source->extract(page);
            bestMs = std::min(bestMs, double(timer.nsecsElapsed()) / 1e6);
            entries = extraction.entries.size();
            if (!extraction.error.isEmpty())
                err << "offerwatch_parser_bench: " << path << ": " << extraction.error << '\n';
        }
        const double megabytes = double(bytes.size()) / (1024.0 * 1024.0);
        out << path << " bytes=" << bytes.size() << " load_ms=" << QString::number(loadMs, 'f', 1)
            << " parse_ms=" << QString::number(bestMs, 'f', 1) << " entries=" << entries
            << " parse_MB_per_s=" << QString::number(megabytes / (bestMs / 1000.0), 'f', 0) << '\n';
        out.flush();
    }
    return failures == 0 ? 0 : 1;
}
