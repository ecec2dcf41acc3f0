// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testsupport/LogLines.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

// Runs the real offerwatch executable in console mode in a scratch directory and
// talks to it through standard input and output, as a user at a terminal would.
class ConsoleProgram final {
public:
    ConsoleProgram()
        : m_env(QProcessEnvironment::systemEnvironment())
    {
        m_env.remove(QStringLiteral("DISPLAY"));
        m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.filePath(QStringLiteral("state")));
        m_process.setWorkingDirectory(m_dir.path());
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readAvailable(); });
    }
    ~ConsoleProgram()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Extra environment for the program (PATH for fake helpers, XDG_CONFIG_HOME, ...).
    void setEnvironmentValue(const QString& name, const QString& value) { m_env.insert(name, value); }
    bool start(const QStringList& arguments = {})
    {
        m_process.setProcessEnvironment(m_env);
        m_process.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/offerwatch"),
                        QStringList{QStringLiteral("--console")} + arguments);
        return m_process.waitForStarted(10000);
    }

    void send(const QString& command) { m_process.write(command.toUtf8() + '\n'); }
    // Waits until a log message (the line without its time of day) equal to message
    // has appeared since the last call that found one; returns false on time-out.
    bool waitForMessage(const QString& message, int timeoutMs = 15000)
    {
        return waitUntil(
            [&] {
                const qsizetype at = messages().indexOf(message, m_searchFrom);
                m_searchFrom = at >= 0 ? at + 1 : m_searchFrom;
                return at >= 0;
            },
            timeoutMs);
    }
    // Waits for any stdout line starting with prefix; returns it, or an empty text.
    QString waitForLineStartingWith(const QString& prefix, int timeoutMs = 15000)
    {
        const auto found = [&] {
            return m_lines.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix)));
        };
        waitUntil([&] { return !found().isEmpty(); }, timeoutMs);
        return found().value(0);
    }
    bool waitForExit(int timeoutMs = 15000)
    {
        waitUntil([] { return false; }, timeoutMs);
        readAvailable();
        return m_process.state() == QProcess::NotRunning;
    }

    // Log messages seen on stdout, oldest first, without the time of day.
    QStringList messages() const
    {
        static const QRegularExpression time(QStringLiteral("^[ 0-9]{1,2}:\\d\\d:\\d\\d "));
        QStringList result;
        for (const QString& line : m_lines) {
            if (time.match(line).hasMatch())
                result << line.mid(9);
        }
        return result;
    }
    QStringList stdoutLines() const { return m_lines; }
    QString standardError()
    {
        m_stderr += m_process.readAllStandardError();
        return QString::fromUtf8(m_stderr);
    }
    QString directory() const { return m_dir.path(); }
    QProcess& process() { return m_process; }

private:
    void readAvailable()
    {
        m_partial += m_process.readAllStandardOutput();
        for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1))
            m_lines << QString::fromUtf8(m_partial.left(end));
    }
    // Runs the event loop until done() holds, the program has ended or the time is up; the test's
    // own loopback servers answer the program meanwhile.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
            readAvailable();
        }
        return true;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QProcessEnvironment m_env;
    QStringList m_lines;
    QByteArray m_partial;
    QByteArray m_stderr;
    qsizetype m_searchFrom = 0;
};
