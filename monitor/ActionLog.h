// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QAbstractListModel>
#include <QObject>
#include <QString>

#include <deque>

// The on-screen log: the newest lines of this run, newest first. Lines are kept oldest
// first and the row order is reversed on read, so adding a line costs the same after a
// month of polling as after a minute. The screen holds at most MaxLines lines of at most
// MaxLineLength characters each (a longer one is cut, with a note): a run of months, or
// a page of a million offerings, cannot fill the memory. The log file keeps everything.
class ActionLogModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionLogModel)
public:
    static constexpr qsizetype MaxLines = 5000;
    static constexpr qsizetype MaxLineLength = 2000;

    explicit ActionLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void addLine(const QString& line);
    // The whole log as the multi-line text box would hold it: newest first, CR LF after each line.
    QString text() const;
    const QString& newestLine() const;

private:
    std::deque<QString> m_lines;
};

// Writes each message as one line on screen and one quoted, time-stamped record
// appended to the log file. Nothing here can fail the caller: a file that cannot
// be written (a full disk, say) loses the whole record, never half of it, and the
// screen still shows the line.
class ActionLog final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionLog)
public:
    explicit ActionLog(const Clock& clock, QObject* parent = nullptr);

    void setFilePath(const QString& path) { m_filePath = path; }
    const QString& filePath() const { return m_filePath; }

    void LogAction(const QString& message);
    // The run has ended: an answer that arrives while the program winds down (a keyring,
    // a late reply) is not logged after the exit line.
    void close() { m_closed = true; }

    ActionLogModel* screen() { return &m_screen; }
    const ActionLogModel* screen() const { return &m_screen; }

    // US English forms, the ones the log has always been read in.
    static QString shortDate(const QDateTime& when);
    static QString longTime(const QDateTime& when);
    static QString screenLine(const QDateTime& when, const QString& message);
    static QByteArray fileRecord(const QDateTime& when, const QString& message);
    // The message with its line breaks, other control characters and bidi controls
    // folded to blanks: one record is one line, and a page's stray bytes cannot garble
    // the file or a terminal showing it.
    static QString singleLine(const QString& message);

Q_SIGNALS:
    void lineLogged(const QString& screenLine);

private:
    void appendToFile(const QByteArray& record);

    const Clock& m_clock;
    QString m_filePath;
    ActionLogModel m_screen;
    bool m_closed = false;
};

// "Error #" and the number, with a leading blank when it is not negative, a blank
// and the description: the detail line after every failure.
QString errorDetailLine(const QString& prefix, int number, const QString& description);
