// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The commands typed on standard input in console mode. Each part of the program
// registers the commands for its own controls.
class ConsoleCommands {
public:
    // Gets the text after the command word(s), possibly empty.
    using Handler = std::function<void(const QString& argument)>;

    virtual ~ConsoleCommands() = default;
    // A command that takes no argument refuses one.
    virtual void addCommand(const QString& name, bool takesArgument, Handler handler) = 0;
    // What `help` shows for the argument of a command that takes one of a few values
    // ("ntfy|json"); without it, TEXT.
    virtual void setArgumentValues(const QString& name, const QString& values) = 0;
    // Says on standard error why a command changed nothing.
    virtual void refuse(const QString& text) = 0;
};
