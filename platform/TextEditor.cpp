// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextEditor.h"

#include <QProcess>

void LaunchTextEditor(const QString& path)
{
    QProcess viewer;
    viewer.setProgram(QStringLiteral("xdg-open"));
    viewer.setArguments({path});
    // The viewer must never read the console's commands, and its complaints about a
    // missing file or a missing viewer are its own, not the program's log.
    viewer.setStandardInputFile(QProcess::nullDevice());
    viewer.setStandardOutputFile(QProcess::nullDevice());
    viewer.setStandardErrorFile(QProcess::nullDevice());
    viewer.startDetached();
}
