// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport/ConsoleProgram.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QDir>
#include <QRegularExpression>

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
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ConsoleProgram::setEnvironmentValue(const QString& name, const QString& value)
{
    m_env.insert(name, value);
}

bool ConsoleProgram::start(const QStringList& arguments)
{
    const QString program = QDir(qEnvironmentVariable("OFFERWATCH_BIN_DIR")).filePath(QStringLiteral("offerwatch"));
    m_process.setProcessEnvironment(m_env);
    m_process.start(program, m_consoleOption ? QStringList{QStringLiteral("--console")} + arguments : arguments);
    return m_process.waitForStarted(10000);
}

void ConsoleProgram::send(const QString& command)
{
    m_process.write(command.toUtf8() + '\n');
}

void ConsoleProgram::readAvailable()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
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

bool ConsoleProgram::waitForMessage(const QString& message, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QStringList seen = messages();
        const qsizetype at = seen.indexOf(message, m_searchFrom);
        if (at >= 0) {
            m_searchFrom = at + 1;
            return true;
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        pump();
    }
}

QString ConsoleProgram::waitForLineStartingWith(const QString& prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype checked = 0;
    for (;;) {
        for (; checked < m_lines.size(); ++checked) {
            if (m_lines[checked].startsWith(prefix))
                return m_lines[checked];
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return {};
        pump();
    }
}

bool ConsoleProgram::waitForExit(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        pump();
    readAvailable();
    return m_process.state() == QProcess::NotRunning;
}

void ConsoleProgram::pump()
{
    // Runs the test's own event loop too, so loopback servers living in the test
    // process answer the program while the test waits for it.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
    readAvailable();
}

QString ConsoleProgram::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return QString::fromUtf8(m_stderr);
}
