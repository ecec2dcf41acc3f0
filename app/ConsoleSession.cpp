// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConsoleSession.h"

#include "platform/PlainText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void forwardSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

// systemd names the journal's stream as "device:inode" in JOURNAL_STREAM; a stream that
// is that one takes priority prefixes, anything else (a terminal, a pipe) takes none.
bool goesToJournal(FILE* stream)
{
    const QByteArray named = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = named.indexOf(':');
    struct stat info = {};
    if (colon < 0 || ::fstat(::fileno(stream), &info) != 0)
        return false;
    bool devOk = false;
    bool inoOk = false;
    const qulonglong device = named.left(colon).toULongLong(&devOk);
    const qulonglong inode = named.mid(colon + 1).toULongLong(&inoOk);
    return devOk && inoOk && device == info.st_dev && inode == info.st_ino;
}

void writeLine(FILE* stream, const QString& line, ConsoleSession::Priority priority)
{
    static const bool stdoutToJournal = goesToJournal(stdout);
    static const bool stderrToJournal = goesToJournal(stderr);
    QByteArray bytes = PlainText::folded(line).toLocal8Bit() + '\n';
    if (stream == stdout ? stdoutToJournal : stderrToJournal)
        bytes.prepend('<' + QByteArray::number(int(priority)) + '>');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

ConsoleSession::ConsoleSession(QObject* parent)
    : QObject(parent)
{
}

ConsoleSession::~ConsoleSession() = default;

void ConsoleSession::addCommand(const QString& name, bool takesArgument, Handler handler)
{
    m_commands[name] = Command{takesArgument, std::move(handler)};
}

bool ConsoleSession::execute(const QString& rawLine)
{
    if (m_stopped)
        return false;
    QString line = rawLine;
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    // A value with a NUL, an escape or a bidi control is never what a user meant to type
    // into a box, and saved it would only fail later in a request header or a mail.
    const bool controls = std::any_of(line.cbegin(), line.cend(), [](QChar c) { return PlainText::isFolded(c.unicode()); });
    if (controls || line.contains(QChar::ReplacementCharacter)) {
        printError(controls ? QStringLiteral("a command holding control characters was refused; nothing changed")
                            : QStringLiteral("a command that is not valid UTF-8 was refused; nothing changed"));
        return false;
    }
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return true;

    // The longest command name that the line starts with wins, so "smtp to" is not
    // taken for a command "smtp" with the argument "to".
    const Command* match = nullptr;
    QString matchedName;
    QString argument;
    qsizetype matchedLength = -1;
    for (const auto& [name, command] : m_commands) {
        if (name.size() <= matchedLength)
            continue;
        if (trimmed == name) {
            match = &command;
            matchedName = name;
            argument.clear();
            matchedLength = name.size();
        } else if (command.takesArgument && trimmed.startsWith(name + QLatin1Char(' '))) {
            match = &command;
            matchedName = name;
            // The argument keeps its own blanks: typing " x" into a box is not typing "x".
            const QString afterIndent = line.mid(line.indexOf(name));
            argument = afterIndent.mid(name.size() + 1);
            matchedLength = name.size();
        }
    }
    if (!match) {
        printError(QStringLiteral("unknown command '%1'; nothing changed").arg(trimmed));
        return false;
    }
    // A value in double quotes is typed as it stands inside them, blanks and all.
    const QString value = argument.trimmed();
    if (!m_verbatim.contains(matchedName) && value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        argument = value.mid(1, value.size() - 2);
    match->handler(argument);
    return true;
}

void ConsoleSession::listenToStandardInput()
{
    m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_input, &QSocketNotifier::activated, this, &ConsoleSession::readInput);
}

void ConsoleSession::stopListening()
{
    m_stopped = true;
    m_pending.clear();
    if (m_input)
        m_input->setEnabled(false);
}

void ConsoleSession::readInput()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // End of input changes nothing: the program keeps monitoring until told to exit.
        m_input->setEnabled(false);
        if (!m_pending.isEmpty() && !m_discarding)
            execute(QString::fromLocal8Bit(std::exchange(m_pending, {})));
        Q_EMIT inputEnded();
        return;
    }
    // Only the new bytes are searched for line ends, and a line is taken out of the
    // buffer once, so a long paste costs no more than its length.
    const qsizetype searchFrom = m_pending.size();
    m_pending.append(buffer, n);
    qsizetype start = 0;
    for (qsizetype end = m_pending.indexOf('\n', searchFrom); end >= 0 && !m_stopped;
         end = m_pending.indexOf('\n', start)) {
        if (m_discarding)
            m_discarding = false;
        else
            execute(QString::fromLocal8Bit(m_pending.constData() + start, end - start));
        start = end + 1;
    }
    if (m_stopped)
        return;
    m_pending.remove(0, start);
    if (m_pending.size() > MaxLineBytes) {
        // Nothing a user types is this long; what follows up to the next line end goes too.
        if (!m_discarding)
            printError(QStringLiteral("a command line longer than %1 KiB was refused; nothing changed")
                           .arg(MaxLineBytes / 1024));
        m_discarding = true;
        m_pending.clear();
    }
}

void ConsoleSession::catchTerminationSignals(std::function<void()> onSignal)
{
    m_onSignal = std::move(onSignal);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    m_signals = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_signals, &QSocketNotifier::activated, this, &ConsoleSession::readSignal);
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

void ConsoleSession::readSignal()
{
    char byte;
    [[maybe_unused]] const auto got = ::read(signalPipe[1], &byte, 1);
    if (m_onSignal)
        m_onSignal();
}

void ConsoleSession::printHelp(const QString& helpFilePath) const
{
    printLine(QStringLiteral("Commands, one per line:"));
    for (const auto& [name, command] : m_commands) {
        const auto values = m_argumentValues.find(name);
        const QString argument = values == m_argumentValues.end() ? QStringLiteral("TEXT") : values->second;
        printLine(QStringLiteral("  ") + name + (command.takesArgument ? QLatin1Char(' ') + argument : QString()));
    }
    // Headless there is no viewer to open it, so the user needs to know where to read it.
    printLine(QStringLiteral("Help file: %1%2")
                  .arg(helpFilePath, QFileInfo::exists(helpFilePath) ? QString() : QStringLiteral(" (not found)")));
}

void ConsoleSession::printLine(const QString& line)
{
    writeLine(stdout, line, priorityOf(line));
}

void ConsoleSession::printError(const QString& text, Priority priority)
{
    writeLine(stderr, QStringLiteral("offerwatch: ") + text, priority);
}

void ConsoleSession::takeQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        const bool fatal = type == QtFatalMsg;
        writeLine(stderr, text,
                  fatal || type == QtCriticalMsg ? Priority::Error
                  : type == QtWarningMsg         ? Priority::Warning
                                                 : Priority::Info);
        if (fatal)
            std::abort();
    });
}

ConsoleSession::Priority ConsoleSession::priorityOf(const QString& message)
{
    // Read from the area words at the front, so that an offering's name cannot raise its line.
    static const QRegularExpression error(
        QStringLiteral("^([ 0-9]{1,2}:\\d\\d:\\d\\d +)?(Error #|web: timeout|\\w+: (\\w+ )?error\\b)"));
    static const QRegularExpression warning(
        QStringLiteral("^([ 0-9]{1,2}:\\d\\d:\\d\\d +)?\\w+: (warning\\b|could not |the (saved )?history cannot )"));
    if (error.match(message).hasMatch())
        return Priority::Error;
    if (warning.match(message).hasMatch())
        return Priority::Warning;
    return Priority::Info;
}
