// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "smtp/Base64.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {
void checkShifts(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return;
    std::int32_t dw;
    std::memcpy(&dw, data, sizeof dw);
    const std::uint8_t n = data[4];

    const std::optional<std::int32_t> left = Base64::Shl(dw, n);
    // Beyond 2^32 every non-zero product leaves the range, so 64-bit arithmetic decides.
    const bool fits = dw == 0
        || (n < 32
            && static_cast<std::int64_t>(dw) * (std::int64_t{1} << n) >= std::numeric_limits<std::int32_t>::min()
            && static_cast<std::int64_t>(dw) * (std::int64_t{1} << n) <= std::numeric_limits<std::int32_t>::max());
    FUZZ_CHECK(left.has_value() == fits);
    if (left && dw != 0)
        FUZZ_CHECK(*left == static_cast<std::int64_t>(dw) * (std::int64_t{1} << n));
    if (left && dw == 0)
        FUZZ_CHECK(*left == 0);

    const std::optional<std::int32_t> right = Base64::Shr(dw, n);
    FUZZ_CHECK(right.has_value() == (n < 31));
    if (right)
        FUZZ_CHECK(*right == static_cast<std::int64_t>(dw) / (std::int64_t{1} << n));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const Base64 base64;

    const QByteArray encoded = base64.Encode(input);
    FUZZ_CHECK(encoded.size() == (input.size() + 2) / 3 * 4);
    const std::optional<QByteArray> decoded = base64.Decode(encoded);
    FUZZ_CHECK(decoded.has_value());
    FUZZ_CHECK(*decoded == input);

    QByteArray appended("prefix");
    base64.EncodeAppend(input, appended);
    FUZZ_CHECK(appended == "prefix" + encoded);

    // Any text, as a server or a file may hand it over: never more bytes than four in three.
    QString error;
    const std::optional<QByteArray> fromText = base64.Decode(input, &error);
    if (fromText)
        FUZZ_CHECK(fromText->size() <= input.size() / 4 * 3 + 2);
    else
        FUZZ_CHECK(!error.isEmpty());

    checkShifts(data, size);
    return 0;
}
