// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "monitor/PatternSource.h"
#include "monitor/WatchSettings.h"

#include <QElapsedTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace {
// The example pattern of the help file: a table of symbols and their status.
const QString TablePattern = QStringLiteral("<td>(?<symbol>[A-Z]{1,5})</td><td>(?<status>[^<]*)</td>");
// A user's pattern gets a short budget here; one that needs more must say so as a failed
// read, never run on or return a list cut short without a word.
constexpr std::chrono::milliseconds Budget{1000};
constexpr qsizetype LongestPage = 16 * 1024;

void checkExtraction(const Extraction& extraction)
{
    FUZZ_CHECK(extraction.entries.size() == extraction.keys.size());
    for (const QString& entry : extraction.entries) {
        FUZZ_CHECK(!entry.isEmpty());
        FUZZ_CHECK(extraction.tickerList.contains(QLatin1Char(' ') + entry + QStringLiteral("  ")));
    }
}
} // namespace

// Without a NUL byte the input is a page read through the table pattern; with one, the
// text before it is a pattern typed in the Watch Settings and the text after it the page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype nul = input.indexOf('\0');
    if (nul < 0) {
        const Extraction extraction = PatternSource(TablePattern).extract(QString::fromUtf8(input));
        FUZZ_CHECK(extraction.error.isEmpty());
        checkExtraction(extraction);
        return 0;
    }
    const QString pattern = QString::fromUtf8(input.first(nul));
    const QString page = QString::fromUtf8(input.sliced(nul + 1)).left(LongestPage);
    QString problem;
    if (!WatchSettings::checkPattern(pattern, &problem)) {
        FUZZ_CHECK(!problem.isEmpty());
        return 0;
    }
    // A pattern that the settings accept must be one the source can read pages with.
    QElapsedTimer clock;
    clock.start();
    const Extraction extraction = PatternSource(pattern, Budget).extract(page);
    FUZZ_CHECK(clock.elapsed() < 4 * Budget.count());
    FUZZ_CHECK(extraction.error.isEmpty() || extraction.error.startsWith(QStringLiteral("the pattern took too long")) ||
               extraction.error.startsWith(QStringLiteral("the pattern backtracks too much")));
    checkExtraction(extraction);
    return 0;
}
