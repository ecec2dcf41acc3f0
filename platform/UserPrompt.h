// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// Message boxes, behind one small interface so that a run without windows and the
// tests can answer them at once instead of waiting for a click.
class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // A box with the critical-error icon and an OK button.
    virtual void critical(const QString& title, const QString& text) = 0;
};

// Hands the box on as one error line "TITLE: TEXT" (the console writes it to standard
// error after "offerwatch: ") and answers OK.
class ConsolePrompt final : public UserPrompt {
public:
    using LineWriter = std::function<void(const QString& line)>;
    explicit ConsolePrompt(LineWriter writeError)
        : m_writeError(std::move(writeError))
    {
    }
    void critical(const QString& title, const QString& text) override;

private:
    LineWriter m_writeError;
};
