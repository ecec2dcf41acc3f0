// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one action-log line (file record plus on-screen line) once 1k, 10k and
// 100k lines are already logged. A run of weeks must cost the same per line as a
// fresh start, so the three numbers should stay close together.
#include "monitor/ActionLog.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SystemClock clock;
    ActionLog log(clock);
    log.setFilePath(dir.filePath(QStringLiteral("ipolog.txt")));
    const QString message = QStringLiteral("poll: OK, no changes-  ABCD (go-now)  EFGH (closed)  IJKL (go-now)  ");

    constexpr int Sample = 2000;
    const int marks[] = {1000, 10000, 100000};
    std::printf("%-14s %14s\n", "lines before", "us per line");
    int logged = 0;
    double first = 0;
    double last = 0;
    for (const int mark : marks) {
        while (logged < mark) {
            log.LogAction(message);
            ++logged;
        }
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Sample; ++i)
            log.LogAction(message);
        logged += Sample;
        const double perLine = static_cast<double>(timer.nsecsElapsed()) / Sample / 1000.0;
        std::printf("%-14d %14.2f\n", mark, perLine);
        if (first == 0)
            first = perLine;
        last = perLine;
    }
    std::printf("ratio 100k/1k: %.2f\n", last / first);
    return 0;
}
