// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ListSplitter.h"

SplitResult splitList(const QString& text, int limit, const QString& dropEntry)
{
    SplitResult result;
    for (const QString& entry : text.split(QLatin1Char(';'))) {
        // Two separators in a row, or one at either end, name nothing; such an
        // entry would only reach the server as a malformed address.
        if (entry.isEmpty())
            continue;
        if (!dropEntry.isEmpty() && entry == dropEntry)
            continue;
        if (result.entries.size() == limit) {
            result.overflow = true;
            break;
        }
        result.entries.append(entry);
    }
    return result;
}
