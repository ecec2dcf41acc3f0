// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "monitor/EdgarFeedSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString page = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Extraction extraction = EdgarFeedSource().extract(page);

    FUZZ_CHECK(extraction.entries.size() == extraction.keys.size());
    if (!extraction.error.isEmpty()) {
        FUZZ_CHECK(extraction.entries.isEmpty());
        FUZZ_CHECK(extraction.tickerList == QStringLiteral(" "));
    }
    for (const QString& entry : extraction.entries)
        FUZZ_CHECK(extraction.tickerList.contains(QLatin1Char(' ') + entry + QStringLiteral("  ")));
    FUZZ_CHECK(extraction.entries.isEmpty() == (extraction.lastEntry == QStringLiteral(" ")));
    return 0;
}
