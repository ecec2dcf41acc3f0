// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include <QString>
#include <QStringList>

// "entry0;entry1;..." with the given number of entries, for the list limits.
inline QString numberedList(int entries)
{
    QStringList list;
    for (int i = 0; i < entries; ++i)
        list.append(QStringLiteral("entry%1").arg(i));
    return list.join(QLatin1Char(';'));
}
