// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "SmtpReply.h"

#include <cstddef>
#include <cstdint>

// The input is a list of pieces, each as a length byte, a repeat byte and the bytes
// themselves; a piece is fed as one read of repeat + 1 copies, so that reads that pass
// MaxReplySize can be reached from short inputs.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReplyAssembler assembler;
    QByteArray fed;
    QByteArray replied;
    const auto take = [&](const QList<SmtpReply>& replies) {
        for (const SmtpReply& reply : replies) {
            FUZZ_CHECK(!reply.text.isEmpty());
            FUZZ_CHECK(reply.text.size() <= ReplyAssembler::MaxReplySize);
            if (reply.code != 0) {
                FUZZ_CHECK(reply.text.endsWith('\n'));
                const qsizetype lastLine = reply.text.lastIndexOf('\n', reply.text.size() - 2) + 1;
                FUZZ_CHECK(reply.code == ReplyAssembler::lineCode(reply.text.sliced(lastLine)));
            }
            replied += reply.text;
        }
        // What is held back is at most one unfinished reply.
        FUZZ_CHECK(fed.size() - replied.size() <= ReplyAssembler::MaxReplySize);
        FUZZ_CHECK(assembler.hasPartial() == (fed.size() != replied.size()));
    };

    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 2);
        const int repeat = data[at + 1];
        const QByteArray piece(reinterpret_cast<const char*>(data + at + 2), static_cast<qsizetype>(length));
        at += 2 + length;
        const QByteArray read = piece.repeated(repeat + 1);
        fed += read;
        take(assembler.feed(read));
    }
    // Two line ends close whatever is left, be it a line or a multi-line reply.
    for (int end = 0; end < 2; ++end) {
        fed += '\n';
        take(assembler.feed("\n"));
    }
    FUZZ_CHECK(!assembler.hasPartial());
    // Nothing is lost, doubled or reordered on the way.
    FUZZ_CHECK(replied == fed);
    return 0;
}
