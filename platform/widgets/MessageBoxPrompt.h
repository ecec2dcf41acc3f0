// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserPrompt.h"

class QWidget;

// Shows a real message box that stays up until the user presses OK.
class MessageBoxPrompt final : public UserPrompt {
public:
    explicit MessageBoxPrompt(QWidget* parent = nullptr)
        : m_parent(parent)
    {
    }
    void critical(const QString& title, const QString& text) override;

private:
    QWidget* m_parent;
};
