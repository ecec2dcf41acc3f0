// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UserPrompt.h"

void ConsolePrompt::critical(const QString& title, const QString& text)
{
    // A quoted server reply ends in its own line break; the console line has one already.
    QString body = text;
    while (body.endsWith(QLatin1Char('\n')) || body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    m_writeError(QStringLiteral("%1: %2").arg(title, body));
}
