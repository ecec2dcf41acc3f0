// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// What one parse of the offerings page yields.
struct ParsedOfferings {
    // The canonical ticker list: one blank, then every entry followed by two blanks, sorted
    // without regard to case; " " when the page has no offerings. Change detection compares it
    // and the alerts send it.
    QString tickerList = QStringLiteral(" ");
    // The last entry built, in page order (" " when there was none).
    QString lastEntry = QStringLiteral(" ");
};

// Turns the text of the offerings page into the ticker list. The page is plain text to us:
// an offering is the text after each "Ipo_Symbol=" (4 characters, or 3 when the fourth is a
// digit), and its status comes from the name of the first "IMG SRC=/images/" image after the
// next "Ipo_OfferType=": " (go-now)" when the name contains "go", " (closed)" when it does not,
// no suffix when there is no such image. That image may belong to a later offering; the page
// gives us nothing better to bound the search with.
//
// Markers match in any ASCII case. The parse never fails and runs in time linear in the page
// size plus the sort of the entries, however the markers are spread over the page.
ParsedOfferings parseOfferings(QStringView page);
