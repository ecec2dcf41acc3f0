// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/Smtp.h"

#include <QStringList>
#include <QTest>

// Records every signal of a control in the order raised, as short texts:
// "BusyState(true)", "Disconnected", "Error:<text>", "Sent", "Status:<text>",
// "Notice:<name>".
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
        QStringList result = events;
        result.removeIf([](const QString& e) { return e.startsWith(u"Status:") || e.startsWith(u"Notice:"); });
        return result;
    }
    QStringList withPrefix(const QString& prefix) const
    {
        QStringList result;
        for (const QString& event : events) {
            if (event.startsWith(prefix))
                result.append(event.mid(prefix.size()));
        }
        return result;
    }
    // Waits (running the event loop) for an event that starts with this text.
    bool waitFor(const QString& start, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return !withPrefix(start).isEmpty(); }, timeoutMs);
    }

    QStringList events;
};
