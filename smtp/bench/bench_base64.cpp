// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// bench_base64 FILE: writes FILE to standard output as Base64 in lines of 76
// characters (57-byte groups, as the control writes attachments), LF line
// ends like `base64 -w 76`, and reports the time spent on standard error.
#include "smtp/Base64.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_base64 FILE\n");
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_base64: cannot open %s\n", argv[1]);
        return 1;
    }
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_base64: cannot write standard output\n");
        return 1;
    }
    constexpr qsizetype Group = 57;
    constexpr qsizetype Chunk = Group * 18000; // about 1 MB per read
    const Base64 codec;
    QElapsedTimer total;
    total.start();
    qint64 encodeNs = 0;
    qint64 bytesIn = 0;
    QByteArray lines;
    lines.reserve(Chunk / Group * 77);
    for (;;) {
        const QByteArray chunk = input.read(Chunk);
        if (chunk.isEmpty())
            break;
        bytesIn += chunk.size();
        QElapsedTimer encode;
        encode.start();
        lines.resize(0); // keeps the allocation, unlike clear()
        for (qsizetype at = 0; at < chunk.size(); at += Group) {
            codec.EncodeAppend(QByteArrayView(chunk).sliced(at, std::min(Group, chunk.size() - at)), lines);
            lines.append('\n');
        }
        encodeNs += encode.nsecsElapsed();
        output.write(lines);
    }
    output.flush();
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    std::fprintf(stderr, "bench_base64: %lld bytes, encode %.3f s (%.0f MB/s), total %.3f s\n",
                 static_cast<long long>(bytesIn), double(encodeNs) / 1e9,
                 double(bytesIn) / 1e6 / (double(encodeNs) / 1e9), seconds);
    return 0;
}
