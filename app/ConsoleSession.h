// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ConsoleCommands.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>

class QSocketNotifier;

// Reads one command per line from standard input and runs the action a user would
// take on the matching control. SIGINT, SIGTERM and SIGHUP (a closed terminal) run the normal shut-down.
class ConsoleSession final : public QObject, public ConsoleCommands {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleSession)
public:
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    // The sd-daemon levels a line carries when it goes to the systemd journal.
    enum class Priority { Error = 3, Warning = 4, Info = 6 };

    explicit ConsoleSession(QObject* parent = nullptr);
    ~ConsoleSession() override;

    void addCommand(const QString& name, bool takesArgument, Handler handler) override;
    void refuse(const QString& text) override { printError(text, Priority::Warning); }
    void print(const QString& line) override { printLine(line); }
    void report(const QString& text) override { printError(text, Priority::Info); }
    // The values a command takes, shown by help instead of TEXT.
    void setArgumentValues(const QString& name, const QString& values) override { m_argumentValues[name] = values; }
    void takeVerbatim(const QString& name) override { m_verbatim.insert(name); }
    // Runs one line as typed; returns false (and says why on standard error) when refused.
    bool execute(const QString& line);
    void listenToStandardInput();
    // Takes no more commands, not even those already typed.
    void stopListening();
    void catchTerminationSignals(std::function<void()> onSignal);
    // Lists the commands taken so far, and where the help file is looked for, on standard output.
    void printHelp(const QString& helpFilePath) const;

    // One line each, with control and bidi characters folded to blanks, so nothing in
    // a page or a reply can move the cursor or start a line of its own.
    static void printLine(const QString& line);
    static void printError(const QString& text, Priority priority = Priority::Error);
    // Qt's own messages go through the same folding and priorities.
    static void takeQtMessages();
    // How the journal should rank a log line: errors, warnings, the rest.
    static Priority priorityOf(const QString& message);

Q_SIGNALS:
    // Standard input has ended: no command will come any more.
    void inputEnded();

private:
    void readInput();
    void readSignal();

    struct Command {
        bool takesArgument;
        Handler handler;
    };
    std::map<QString, Command> m_commands;
    std::map<QString, QString> m_argumentValues;
    QSet<QString> m_verbatim;
    QSocketNotifier* m_input = nullptr;
    QSocketNotifier* m_signals = nullptr;
    std::function<void()> m_onSignal;
    QByteArray m_pending;
    // Inside a line that was refused as too long, until its end.
    bool m_discarding = false;
    bool m_stopped = false;
};
