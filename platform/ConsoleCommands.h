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
    // The command takes the rest of the line as it stands: quotes are part of its value.
    virtual void takeVerbatim(const QString& name) = 0;
    // Says on standard error why a command changed nothing.
    virtual void refuse(const QString& text) = 0;
    // Shows on standard output what a command was asked to show.
    virtual void print(const QString& line) = 0;
    // Says on standard error how work a command started goes on (a connection's progress).
    virtual void report(const QString& text) = 0;
};
