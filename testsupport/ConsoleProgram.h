// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testsupport/LogLines.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Runs the real offerwatch executable in console mode in a scratch directory and
// talks to it through standard input and output, as a user at a terminal would.
class ConsoleProgram final {
public:
    ConsoleProgram();
    ~ConsoleProgram();

    // Extra environment for the program (PATH for fake helpers, XDG_CONFIG_HOME, ...).
    void setEnvironmentValue(const QString& name, const QString& value) { m_env.insert(name, value); }
    // Without --console the program must find out by itself that there is no display.
    void setConsoleOption(bool on) { m_consoleOption = on; }
    bool start(const QStringList& arguments = {});

    void send(const QString& command) { m_process.write(command.toUtf8() + '\n'); }
    // Waits until a log message (the line without its time of day) equal to message
    // has appeared since the last call that found one; returns false on time-out.
    bool waitForMessage(const QString& message, int timeoutMs = 15000);
    // Waits for any stdout line starting with prefix; returns it, or an empty text.
    QString waitForLineStartingWith(const QString& prefix, int timeoutMs = 15000);
    bool waitForExit(int timeoutMs = 15000);

    // Log messages seen on stdout, oldest first, without the time of day.
    QStringList messages() const;
    QStringList stdoutLines() const { return m_lines; }
    QString standardError();
    QString directory() const { return m_dir.path(); }
    QProcess& process() { return m_process; }

private:
    void readAvailable();
    // Runs the event loop until done() holds, the program has ended or the time is up.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    QTemporaryDir m_dir;
    QProcess m_process;
    QProcessEnvironment m_env;
    QStringList m_lines;
    QByteArray m_partial;
    QByteArray m_stderr;
    qsizetype m_searchFrom = 0;
    bool m_consoleOption = true;
};
