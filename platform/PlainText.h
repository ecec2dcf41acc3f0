// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Text that comes from outside (a page, a feed, a server reply) is data. Before it reaches
// a terminal, the log, a mail header or a notification, every control character (C0, C1,
// DEL), every line or paragraph separator and every bidirectional formatting character
// becomes a blank, so that one line in stays one line out and nothing in the text can
// move a cursor, clear a screen, reorder what the reader sees or forge a line of its own.
namespace PlainText {

bool isFolded(char32_t c);
// The text with each such character replaced by one blank; everything else unchanged.
QString folded(const QString& text);
// The same, and a text longer than maxLength characters cut to maxLength - 1 and "…".
QString foldedAndCut(const QString& text, qsizetype maxLength);

} // namespace PlainText
