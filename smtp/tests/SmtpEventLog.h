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
        connect(&control, &Smtp::BusyState, this,
                [this](bool busy) { events.append(busy ? QStringLiteral("BusyState(true)") : QStringLiteral("BusyState(false)")); });
        connect(&control, &Smtp::DisconnectedFromSMTPServer, this,
                [this](bool disconnected) { events.append(disconnected ? QStringLiteral("Disconnected") : QStringLiteral("Disconnected(false)")); });
        connect(&control, &Smtp::Error, this, [this](const QString& text) { events.append(QStringLiteral("Error:") + text); });
        connect(&control, &Smtp::MailHasBeenSent, this,
                [this](bool sent) { events.append(sent ? QStringLiteral("Sent") : QStringLiteral("Sent(false)")); });
        connect(&control, &Smtp::ConnectionStatus, this, [this](const QString& text) { events.append(QStringLiteral("Status:") + text); });
        connect(&control, &Smtp::propertyChanged, this, [this](const QString& name) { events.append(QStringLiteral("Notice:") + name); });
    }

    // The events without the status reports and notices.
    QStringList mainEvents() const
    {
        QStringList result;
        for (const QString& event : events) {
            if (!event.startsWith(QLatin1String("Status:")) && !event.startsWith(QLatin1String("Notice:")))
                result.append(event);
        }
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
    bool waitFor(const QString& event, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return events.contains(event); }, timeoutMs);
    }
    bool waitForPrefix(const QString& prefix, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return !withPrefix(prefix).isEmpty(); }, timeoutMs);
    }

    QStringList events;
};
