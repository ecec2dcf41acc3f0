// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include <QByteArray>
#include <QString>

// How text in any script goes into a mail that must stay 7-bit safe and keep every
// line within the 998 octets of RFC 5322 section 2.1.1. Shared by the smtp library and
// the local-mail channel, which write the same body encodings with different line ends.
namespace MailText {

// The longest line RFC 5322 allows, without its line end.
constexpr qsizetype MaxLineOctets = 998;

bool isAscii(const QString& text);
// Whether every line of the bytes (split at CR or LF) holds at most MaxLineOctets octets.
bool linesFit(const QByteArray& bytes);
// The bytes with CR LF and lone CR turned into LF.
QByteArray withLfLineEnds(const QByteArray& bytes);
// Quoted-printable (RFC 2045 section 6.7) of LF-ended bytes: lines of at most 76
// characters joined by soft breaks, every LF a hard line break written as lineEnd.
QByteArray quotedPrintable(const QByteArray& bytes, const QByteArray& lineEnd);
// RFC 2047 "B" encoded words of UTF-8, each within 75 characters, one per line after the
// first, the lines joined by folding (lineEnd and a blank).
QByteArray encodedWords(const QString& text, const QByteArray& lineEnd);

} // namespace MailText
