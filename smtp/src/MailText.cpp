// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "MailText.h"

#include <QList>

#include <algorithm>

namespace MailText {
namespace {
// RFC 2045 section 6.7 rule 5: encoded lines no longer than 76 characters, the soft
// break's "=" included.
constexpr qsizetype MaxQuotedLine = 76;
// 45 bytes are 60 Base64 characters: with "=?UTF-8?B?" and "?=" a word of 72, under
// the 75 of RFC 2047 section 2.
constexpr qsizetype WordBytes = 45;
} // namespace

bool isAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

bool linesFit(const QByteArray& bytes)
{
    qsizetype length = 0;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            length = 0;
            continue;
        }
        if (++length > MaxLineOctets)
            return false;
    }
    return true;
}

QByteArray withLfLineEnds(const QByteArray& bytes)
{
    QByteArray out = bytes;
    out.replace("\r\n", "\n").replace('\r', '\n');
    return out;
}

QByteArray quotedPrintable(const QByteArray& bytes, const QByteArray& lineEnd)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8 + 16);
    qsizetype column = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        if (byte == '\n') {
            out += lineEnd;
            column = 0;
            continue;
        }
        // A blank at a line's end would be lost to transports that strip trailing white space.
        const bool lastOnLine = i + 1 == bytes.size() || bytes.at(i + 1) == '\n';
        const bool literal = (byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !lastOnLine);
        char piece[3] = {char(byte), 0, 0};
        qsizetype size = 1;
        if (!literal) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            piece[0] = '=';
            piece[1] = Hex[byte >> 4];
            piece[2] = Hex[byte & 0x0f];
            size = 3;
        }
        // Room is kept for the "=" of a soft break, unless the line ends right here.
        const qsizetype limit = lastOnLine ? MaxQuotedLine : MaxQuotedLine - 1;
        if (column + size > limit) {
            out += '=';
            out += lineEnd;
            column = 0;
        }
        out.append(piece, size);
        column += size;
    }
    return out;
}

QByteArray encodedWords(const QString& text, const QByteArray& lineEnd)
{
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A word holds whole characters only (RFC 2047 section 5).
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > WordBytes) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray& word : std::as_const(words)) {
        if (!out.isEmpty())
            out += lineEnd + ' ';
        out += "=?UTF-8?B?" + word.toBase64() + "?=";
    }
    return out;
}

} // namespace MailText
