// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/Smtp.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Records every signal of a control in the order raised, as short texts: "BusyState(true)",
// "Disconnected", "Error:<text>", "Sent", "Status:<text>", "Notice:<name>".
class SmtpEventLog final : public QObject {
public:
    explicit SmtpEventLog(Smtp& control)
    {
        const auto flag = [this](const char* on, const char* off) {
            return [this, on, off](bool value) { events.append(QString::fromLatin1(value ? on : off)); };
        };
        const auto text = [this](const char* prefix) {
            return [this, prefix](const QString& value) { events.append(QString::fromLatin1(prefix) + value); };
        };
        connect(&control, &Smtp::BusyState, this, flag("BusyState(true)", "BusyState(false)"));
        connect(&control, &Smtp::DisconnectedFromSMTPServer, this, flag("Disconnected", "Disconnected(false)"));
        connect(&control, &Smtp::MailHasBeenSent, this, flag("Sent", "Sent(false)"));
        connect(&control, &Smtp::Error, this, text("Error:"));
        connect(&control, &Smtp::ConnectionStatus, this, text("Status:"));
        connect(&control, &Smtp::propertyChanged, this, text("Notice:"));
    }
    // The events without the status reports and notices.
    QStringList mainEvents() const
    {
        return QStringList(events).filter(QRegularExpression(QStringLiteral("^(?!Status:|Notice:)")));
    }
    QStringList withPrefix(const QString& prefix) const
    {
        QStringList result = events.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix)));
        for (QString& event : result)
            event.remove(0, prefix.size());
        return result;
    }
    // Waits (running the event loop) for an event that starts with this text.
    bool waitFor(const QString& start, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return !withPrefix(start).isEmpty(); }, timeoutMs);
    }

    QStringList events;
};

// "entry0;entry1;..." with the given number of entries, for the list limits.
inline QString numberedList(int entries)
{
    QStringList list;
    for (int i = 0; i < entries; ++i)
        list.append(QStringLiteral("entry%1").arg(i));
    return list.join(QLatin1Char(';'));
}

// Writes a file of random bytes; its path (empty on failure), the bytes' SHA-256 added to hashes.
inline QString randomFile(const QTemporaryDir& dir, const QString& name, int size, QStringList* hashes)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    hashes->append(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == size ? file.fileName() : QString();
}

// What Python's email package makes of a saved mail (mime_parts.py); empty when it finds the mail defective.
inline QJsonObject parsedMail(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SMTP_TESTS_DIR "/mime_parts.py"), path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}
