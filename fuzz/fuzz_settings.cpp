// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Offerwatch.ini"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    // Every key the program reads: what was read survives the write of another.
    QHash<QString, QString> before;
    bool damaged = false;
    {
        Settings settings(path);
        damaged = !settings.loadProblem().isEmpty();
        for (const SettingKey& key : Setting::All)
            if (settings.contains(key) && key.key != Setting::WatchContact.key)
                before.insert(key.key.toString(), settings.text(key));
        settings.setText(Setting::WatchContact, QStringLiteral("ipo@example.com"));
    }

    // A damaged file is moved aside byte for byte before anything is written.
    if (damaged)
        FUZZ_CHECK(readFile(path + QStringLiteral(".damaged")) == bytes);

    const Settings reread(path);
    FUZZ_CHECK(reread.loadProblem().isEmpty());
    FUZZ_CHECK(reread.text(Setting::WatchContact) == QStringLiteral("ipo@example.com"));
    for (const SettingKey& key : Setting::All)
        if (before.contains(key.key.toString()))
            FUZZ_CHECK(reread.text(key) == before.value(key.key.toString()));
    return 0;
}
