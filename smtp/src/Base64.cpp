// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "smtp/Base64.h"

#include <cmath>
#include <limits>

namespace {
constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t NotInAlphabet = 64;
} // namespace

Base64::Base64()
{
    m_decodeTable.fill(NotInAlphabet);
    for (std::uint8_t j = 0; j < 64; ++j) {
        m_encodeTable[j] = static_cast<std::uint8_t>(Alphabet[j]);
        m_decodeTable[m_encodeTable[j]] = j;
    }
}

// The byte values never exceed 255 and the shifts never exceed 18, so plain
// shifts give exactly what Shl and Shr give, without their range checks in
// the inner loop.
QByteArray Base64::Encode(QByteArrayView source) const
{
    QByteArray result;
    EncodeAppend(source, result);
    return result;
}

void Base64::EncodeAppend(QByteArrayView source, QByteArray& destination) const
{
    const qsizetype length = source.size();
    if (length == 0)
        return;
    const qsizetype start = destination.size();
    destination.resize(start + (length + 2) / 3 * 4);
    char* const begin = destination.data() + start;
    char* out = begin;
    const auto* in = reinterpret_cast<const std::uint8_t*>(source.data());
    const std::uint8_t* const table = m_encodeTable.data();

    auto emitGroup = [&](std::uint32_t b0, std::uint32_t b1, std::uint32_t b2) {
        const std::uint32_t bits = (b0 << 16) | (b1 << 8) | b2;
        out[0] = char(table[bits >> 18]);
        out[1] = char(table[(bits >> 12) & 0x3F]);
        out[2] = char(table[(bits >> 6) & 0x3F]);
        out[3] = char(table[bits & 0x3F]);
        out += 4;
    };
    qsizetype i = 0;
    for (; i + 3 <= length; i += 3)
        emitGroup(in[i], in[i + 1], in[i + 2]);
    // The short last group is encoded as if padded with zero bytes; the
    // characters that stand only for padding are then overwritten with "=".
    const qsizetype rest = length - i;
    if (rest > 0) {
        emitGroup(in[i], rest > 1 ? in[i + 1] : 0, 0);
        out[-1] = '=';
        if (rest == 1)
            out[-2] = '=';
    }
}

std::optional<QByteArray> Base64::Decode(QByteArrayView source, QString* error) const
{
    qsizetype start = 0;
    while (start < source.size() && source[start] == ' ')
        ++start;
    const QByteArrayView text = source.sliced(start);
    if (text.isEmpty())
        return QByteArray();

    qsizetype valid = 0;
    while (valid < text.size() && m_decodeTable[static_cast<std::uint8_t>(text[valid])] != NotInAlphabet)
        ++valid;
    if (valid == 0) {
        if (error)
            *error = QStringLiteral("Base64 text begins with a character outside the alphabet");
        return std::nullopt;
    }

    auto value = [&](qsizetype k) { return std::uint32_t{m_decodeTable[static_cast<std::uint8_t>(text[k])]}; };
    QByteArray result;
    result.reserve(valid / 4 * 3 + 3);
    // Each output byte needs the next input character; a short last group
    // yields the bytes whose characters are all there, and then stops.
    for (qsizetype i = 0; i < valid; i += 4) {
        if (i + 1 >= valid)
            break;
        result.append(static_cast<char>(((value(i) << 2) | (value(i + 1) >> 4)) & 0xFF));
        if (i + 2 >= valid)
            break;
        result.append(static_cast<char>(((value(i + 1) << 4) | (value(i + 2) >> 2)) & 0xFF));
        if (i + 3 >= valid)
            break;
        result.append(static_cast<char>(value(i + 3) | ((value(i + 2) << 6) & 0xFF)));
    }
    return result;
}

std::optional<std::int32_t> Base64::Shl(std::int32_t dw, std::uint8_t n)
{
    const double product = std::ldexp(static_cast<double>(dw), n);
    if (product > std::numeric_limits<std::int32_t>::max() || product < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(product);
}

std::optional<std::int32_t> Base64::Shr(std::int32_t dw, std::uint8_t n)
{
    if (n >= 31)
        return std::nullopt;
    return dw / (std::int32_t{1} << n);
}
