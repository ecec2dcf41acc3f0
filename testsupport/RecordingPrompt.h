// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserPrompt.h"

#include <QStringList>

// Answers every message box at once and writes it down as "TITLE: TEXT".
class RecordingPrompt final : public UserPrompt {
public:
    void critical(const QString& title, const QString& text) override { boxes << title + QStringLiteral(": ") + text; }
    QStringList boxes;
};
