// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/ActionLog.h"

#include <QFile>
#include <QStringList>

// The messages of the on-screen log, oldest first, without their time of day.
inline QStringList screenMessages(const ActionLogModel& screen)
{
    QStringList messages;
    for (int row = screen.rowCount() - 1; row >= 0; --row)
        messages << screen.data(screen.index(row)).toString().mid(9);
    return messages;
}

// The messages of a log file, oldest first, without quotes, date and time.
inline QStringList fileMessages(const QString& path)
{
    QFile file(path);
    QStringList messages;
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    for (const QByteArray& record : file.readAll().split('\n')) {
        if (record.isEmpty())
            continue;
        // "M/D/YYYY H:MM:SS AM message"\r
        const QString text = QString::fromUtf8(record.chopped(2).mid(1));
        messages << text.section(QLatin1Char(' '), 3);
    }
    return messages;
}

// The start-up lines of every run, after the banner of a new log.
inline QStringList startUpMessages()
{
    return {QStringLiteral("main: Program Started.  Last Compile: April 2, 2000 - Build 179"), QStringLiteral("poll: stopped"),
            QStringLiteral("email: OFF"), QStringLiteral("alarm: OFF"), QStringLiteral("interval:15"),
            QStringLiteral("exclude: ON"), QStringLiteral("browser: ON"), QStringLiteral("window: normal")};
}
