// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "monitor/HistoryFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const HistoryFile file(dir.path(), QStringLiteral("edgar"), QUrl(QStringLiteral("https://www.sec.gov/feed")));
    {
        QFile written(file.path());
        FUZZ_CHECK(written.open(QIODevice::WriteOnly) && written.write(bytes) == bytes.size());
    }
    SeenHistory seen;
    QString problem;
    if (file.read(&seen, &problem) == HistoryFile::Outcome::Unusable) {
        // Set aside byte for byte, with a reason; the next run starts without it.
        FUZZ_CHECK(!problem.isEmpty() && file.setAside() == file.path() + QStringLiteral(".damaged"));
        QFile kept(file.path() + QStringLiteral(".damaged"));
        FUZZ_CHECK(kept.open(QIODevice::ReadOnly) && kept.readAll() == bytes);
        return 0;
    }
    // What was read is written back and read again unchanged.
    QString error;
    FUZZ_CHECK(file.write(seen, &error));
    SeenHistory again;
    FUZZ_CHECK(file.read(&again, &problem) == HistoryFile::Outcome::Read);
    FUZZ_CHECK(again.lists == seen.lists && again.keys == seen.keys && again.saved == seen.saved);
    return 0;
}
