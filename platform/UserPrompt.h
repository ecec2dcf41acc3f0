#pragma once

#include <QString>

// Message boxes, behind one small interface so that a run without windows and the
// tests can answer them at once instead of waiting for a click.
class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // A box with the critical-error icon and an OK button.
    virtual void critical(const QString& title, const QString& text) = 0;
};

// Writes the box to standard error as "offerwatch: TITLE: TEXT" and answers OK.
class ConsolePrompt final : public UserPrompt {
public:
    void critical(const QString& title, const QString& text) override;
};
