// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SessionBusCheck.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>

class QDBusPendingCallWatcher;

// The desktop's notification bubbles. Nothing here ever waits: availability and the
// outcome of each notification come later through signals, within bounded times.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // Critical bubbles stay until the user dismisses them.
    enum class Urgency { Normal, Critical };

    using QObject::QObject;

    // Finds out whether anything on this desktop shows notifications; available() follows.
    virtual void checkAvailable() = 0;
    // Summary and body are plain text; the body is escaped where the server reads markup.
    virtual void notify(const QString& summary, const QString& body, Urgency urgency = Urgency::Normal) = 0;

Q_SIGNALS:
    void available(bool available);
    void shown();
    void failed(const QString& error);
    // The user clicked a notification of ours.
    void activated();
};

// The freedesktop notification service (org.freedesktop.Notifications) on the session bus.
class FreedesktopNotifier final : public DesktopNotifier {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FreedesktopNotifier)
public:
    static constexpr std::chrono::milliseconds ReplyTimeout{5000};
    // The desktop file's id, for the "desktop-entry" hint: the bubble gets our name and icon.
    static constexpr const char* DesktopEntry = OFFERWATCH_APP_ID;

    explicit FreedesktopNotifier(QObject* parent = nullptr);

    void checkAvailable() override;
    void notify(const QString& summary, const QString& body, Urgency urgency = Urgency::Normal) override;

    // The body as the server gets it: where the server reads markup ("body-markup"),
    // the characters of that markup are escaped so a page cannot add its own.
    static QString bodyFor(const QString& body, const QStringList& capabilities);

private Q_SLOTS:
    // A slot by name: the bus connects signals only that way.
    void actionInvoked(uint id, const QString& action);

private:
    struct Pending {
        QString summary;
        QString body;
        Urgency urgency;
    };
    void busChecked(bool answers);
    void askAvailability();
    void send(const Pending& pending);
    void replied(QDBusPendingCallWatcher* call);

    SessionBusCheck m_bus;
    bool m_availabilityAsked = false;
    QList<Pending> m_pending;
    // Asked once, before the first notification goes out.
    std::optional<QStringList> m_capabilities;
    bool m_askingCapabilities = false;
    // Notifications of ours, so a click on another program's is not taken for ours.
    QSet<uint> m_ids;
    bool m_listening = false;
};
