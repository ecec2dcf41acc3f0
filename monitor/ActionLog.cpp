// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ActionLog.h"

#include "platform/PlainText.h"

#include <QFile>
#include <QLocale>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ActionLogModel::ActionLogModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int ActionLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant ActionLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    return m_lines[m_lines.size() - 1 - static_cast<size_t>(index.row())];
}

void ActionLogModel::addLine(const QString& line)
{
    if (m_lines.size() >= size_t(MaxLines)) {
        const int oldest = rowCount() - 1;
        beginRemoveRows({}, oldest, oldest);
        m_lines.pop_front();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    if (line.size() <= MaxLineLength)
        m_lines.push_back(line);
    else
        m_lines.push_back(line.left(MaxLineLength) +
                          QStringLiteral(" … (%1 more characters in the log file)").arg(line.size() - MaxLineLength));
    endInsertRows();
}

QString ActionLogModel::text() const
{
    QString all;
    for (auto it = m_lines.rbegin(); it != m_lines.rend(); ++it)
        all += *it + QStringLiteral("\r\n");
    return all;
}

const QString& ActionLogModel::newestLine() const
{
    static const QString none;
    return m_lines.empty() ? none : m_lines.back();
}

ActionLog::ActionLog(const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{
}

QString ActionLog::shortDate(const QDateTime& when)
{
    return QLocale::c().toString(when.date(), QStringLiteral("M/d/yyyy"));
}

QString ActionLog::longTime(const QDateTime& when)
{
    return QLocale::c().toString(when.time(), QStringLiteral("h:mm:ss AP"));
}

QString ActionLog::screenLine(const QDateTime& when, const QString& message)
{
    // Eight characters of the 12-hour time: before ten o'clock they end in the
    // blank before AM/PM, so those lines carry two blanks before the message.
    return longTime(when).left(8) + QLatin1Char(' ') + message;
}

QByteArray ActionLog::fileRecord(const QDateTime& when, const QString& message)
{
    // Quotes inside the message are written as they are; readers of the log
    // have always taken the first and last quote of a line as its bounds.
    const QString record = QLatin1Char('"') + shortDate(when) + QLatin1Char(' ') + longTime(when) + QLatin1Char(' ') +
                           message + QLatin1Char('"');
    return record.toUtf8() + "\r\n";
}

QString ActionLog::singleLine(const QString& message)
{
    // A server reply quoted in a message brings its own line ends; inside the log
    // they would split one record over several lines of the file.
    if (std::none_of(message.cbegin(), message.cend(), [](QChar c) { return PlainText::isFolded(c.unicode()); }))
        return message;
    QString folded = message;
    while (folded.endsWith(QLatin1Char('\n')) || folded.endsWith(QLatin1Char('\r')))
        folded.chop(1);
    folded.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return PlainText::folded(folded);
}

void ActionLog::LogAction(const QString& rawMessage)
{
    if (m_closed)
        return;
    const QString message = singleLine(rawMessage);
    const QString line = screenLine(m_clock.now(), message);
    m_screen.addLine(line);
    appendToFile(fileRecord(m_clock.now(), message));
    Q_EMIT lineLogged(line);
}

void ActionLog::appendToFile(const QByteArray& record)
{
    if (m_filePath.isEmpty())
        return;
    // Opened and closed per line so another program can read the log between lines
    // and every line is on disk when this returns. Only a regular file is written:
    // opening without blocking means a FIFO or a device in its place cannot stall
    // the program, and it loses the line like any file that cannot be written.
    const QByteArray path = QFile::encodeName(m_filePath);
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const char* data = record.constData();
        qsizetype left = record.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, size_t(left));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                break;
            data += written;
            left -= written;
        }
        // Half a record would run into the next run's first one: a full disk loses the
        // whole record instead.
        if (left > 0) {
            [[maybe_unused]] const int cut = ::ftruncate(fd, info.st_size);
        }
    }
    ::close(fd);
}

QString errorDetailLine(const QString& prefix, int number, const QString& description)
{
    const QString digits = number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number);
    return prefix + digits + QLatin1Char(' ') + description;
}
