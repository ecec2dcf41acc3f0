// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "monitor/OfferingsParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString page = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ParsedOfferings parsed = parseOfferings(page);

    // Every entry comes from one marker: at most four symbol characters, the longest status
    // suffix and the two blanks that follow it.
    const qsizetype markers = page.count(QStringLiteral("Ipo_Symbol="), Qt::CaseInsensitive);
    FUZZ_CHECK(parsed.tickerList.size() <= 1 + markers * (4 + 9 + 2));
    FUZZ_CHECK(parsed.tickerList.startsWith(QLatin1Char(' ')));
    if (parsed.tickerList == QStringLiteral(" ")) {
        FUZZ_CHECK(parsed.lastEntry == QStringLiteral(" "));
    } else {
        FUZZ_CHECK(parsed.tickerList.endsWith(QStringLiteral("  ")));
        FUZZ_CHECK(parsed.tickerList.contains(QLatin1Char(' ') + parsed.lastEntry + QStringLiteral("  ")));
    }
    return 0;
}
