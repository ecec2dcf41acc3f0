// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/ConsoleProgram.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

ConsoleProgram::ConsoleProgram()
    : m_env(QProcessEnvironment::systemEnvironment())
{
    m_env.remove(QStringLiteral("DISPLAY"));
    m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.filePath(QStringLiteral("state")));
    m_process.setWorkingDirectory(m_dir.path());
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readAvailable(); });
}

ConsoleProgram::~ConsoleProgram()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool ConsoleProgram::start(const QStringList& arguments)
{
    m_process.setProcessEnvironment(m_env);
    m_process.start(qEnvironmentVariable("OFFERWATCH_BIN_DIR") + QStringLiteral("/offerwatch"),
                    m_consoleOption ? QStringList{QStringLiteral("--console")} + arguments : arguments);
    return m_process.waitForStarted(10000);
}

void ConsoleProgram::readAvailable()
{
    m_partial += m_process.readAllStandardOutput();
    for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1))
        m_lines << QString::fromUtf8(m_partial.left(end));
}

QStringList ConsoleProgram::messages() const
{
    static const QRegularExpression time(QStringLiteral("^[ 0-9]{1,2}:\\d\\d:\\d\\d "));
    QStringList result;
    for (const QString& line : m_lines) {
        if (time.match(line).hasMatch())
            result << line.mid(9);
    }
    return result;
}

bool ConsoleProgram::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        // Runs the test's own event loop too, so loopback servers living in the test
        // process answer the program while the test waits for it.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
        readAvailable();
    }
    return true;
}

bool ConsoleProgram::waitForMessage(const QString& message, int timeoutMs)
{
    return waitUntil([&] {
        const qsizetype at = messages().indexOf(message, m_searchFrom);
        m_searchFrom = at >= 0 ? at + 1 : m_searchFrom;
        return at >= 0;
    }, timeoutMs);
}

QString ConsoleProgram::waitForLineStartingWith(const QString& prefix, int timeoutMs)
{
    const auto found = [&] { return m_lines.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix))).value(0); };
    waitUntil([&] { return !found().isEmpty(); }, timeoutMs);
    return found();
}

bool ConsoleProgram::waitForExit(int timeoutMs)
{
    waitUntil([] { return false; }, timeoutMs);
    readAvailable();
    return m_process.state() == QProcess::NotRunning;
}

QString ConsoleProgram::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return QString::fromUtf8(m_stderr);
}
