// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// Base64 of RFC 2045 on byte strings. Encode writes one line without breaks;
// callers cut their input into 57-byte groups to get 76-character lines.
class SMTP_EXPORT Base64 final {
public:
    Base64();

    // Bytes to Base64 text; the empty input gives the empty text.
    QByteArray Encode(QByteArrayView source) const;
    // The same text appended to destination, for callers that build long
    // outputs from many groups without a temporary per group.
    void EncodeAppend(QByteArrayView source, QByteArray& destination) const;

    // Base64 text to bytes. Leading blanks are skipped; decoding stops at the
    // first byte outside the alphabet ("=", a line break, ...), and a short
    // last group yields the bytes it can. A non-empty text whose first
    // character is not in the alphabet has nothing to decode: nullopt, with
    // the reason in *error when given.
    std::optional<QByteArray> Decode(QByteArrayView source, QString* error = nullptr) const;

    // dw * 2^n; nullopt when the product leaves the signed 32-bit range.
    static std::optional<std::int32_t> Shl(std::int32_t dw, std::uint8_t n);
    // dw / 2^n truncated toward zero (so -5 >> 1 gives -2); nullopt for n >= 31.
    static std::optional<std::int32_t> Shr(std::int32_t dw, std::uint8_t n);

private:
    std::array<std::uint8_t, 64> m_encodeTable{};
    std::array<std::uint8_t, 256> m_decodeTable{};
};
