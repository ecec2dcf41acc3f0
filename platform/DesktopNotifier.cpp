// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// Keeps a long list of new offerings from making a bubble taller than the screen.
constexpr qsizetype MaxBodyLength = 1000;

QDBusMessage busCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                          QStringLiteral("org.freedesktop.DBus"), method);
}
} // namespace

FreedesktopNotifier::FreedesktopNotifier(QObject* parent)
    : DesktopNotifier(parent)
{
    connect(&m_bus, &SessionBusCheck::finished, this, &FreedesktopNotifier::busChecked);
}

void FreedesktopNotifier::checkAvailable()
{
    m_availabilityAsked = true;
    m_bus.check();
}

void FreedesktopNotifier::notify(const QString& summary, const QString& body, Urgency urgency)
{
    m_pending.append({summary, body, urgency});
    m_bus.check();
}

void FreedesktopNotifier::busChecked(bool answers)
{
    if (!answers) {
        if (std::exchange(m_availabilityAsked, false))
            Q_EMIT available(false);
        for (qsizetype i = 0, n = std::exchange(m_pending, {}).size(); i < n; ++i)
            Q_EMIT failed(SessionBusCheck::silentProblem());
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (std::exchange(m_availabilityAsked, false))
            Q_EMIT available(false);
        const QString problem = QStringLiteral("there is no session bus (%1)").arg(bus.lastError().message());
        for (qsizetype i = 0, n = std::exchange(m_pending, {}).size(); i < n; ++i)
            Q_EMIT failed(problem);
        return;
    }
    if (std::exchange(m_availabilityAsked, false))
        askAvailability();
    if (m_pending.isEmpty())
        return;
    if (m_capabilities) {
        for (const Pending& pending : std::exchange(m_pending, {}))
            send(pending);
        return;
    }
    if (std::exchange(m_askingCapabilities, true))
        return;
    const QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, int(ReplyTimeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        m_askingCapabilities = false;
        const QDBusPendingReply<QStringList> reply = *call;
        // A server that cannot say what it reads gets plain text; it is asked again next time.
        if (!reply.isError())
            m_capabilities = reply.value();
        for (const Pending& pending : std::exchange(m_pending, {}))
            send(pending);
    });
}

// A service may also start on its first call, so the names the bus can start count too.
void FreedesktopNotifier::askAvailability()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage hasOwner = busCall(QStringLiteral("NameHasOwner"));
    hasOwner << Service;
    auto* owner = new QDBusPendingCallWatcher(bus.asyncCall(hasOwner, int(ReplyTimeout.count())), this);
    connect(owner, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        if (!reply.isError() && reply.value()) {
            Q_EMIT available(true);
            return;
        }
        QDBusConnection bus = QDBusConnection::sessionBus();
        auto* names = new QDBusPendingCallWatcher(
            bus.asyncCall(busCall(QStringLiteral("ListActivatableNames")), int(ReplyTimeout.count())), this);
        connect(names, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QStringList> reply = *call;
            Q_EMIT available(!reply.isError() && reply.value().contains(Service));
        });
    });
}

QString FreedesktopNotifier::bodyFor(const QString& body, const QStringList& capabilities)
{
    const QString shortBody = body.size() > MaxBodyLength ? body.left(MaxBodyLength) + QStringLiteral("…") : body;
    // With body-markup the server reads <b>, <a href>, <img> and entities; a company
    // name holding them must show as the text it is.
    return capabilities.contains(QStringLiteral("body-markup")) ? shortBody.toHtmlEscaped() : shortBody;
}

void FreedesktopNotifier::send(const Pending& pending)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_listening) {
        m_listening = bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)));
    }
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QString::fromLatin1(DesktopEntry)},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(pending.urgency == Urgency::Critical ? 2 : 1))}};
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QStringLiteral("Offerwatch") << uint(0) << QStringLiteral("offerwatch") << pending.summary
         << bodyFor(pending.body, m_capabilities.value_or(QStringList()))
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Offerwatch")} << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, int(ReplyTimeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &FreedesktopNotifier::replied);
}

void FreedesktopNotifier::replied(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        Q_EMIT failed(reply.error().message().isEmpty() ? reply.error().name() : reply.error().message());
        return;
    }
    m_ids.insert(reply.value());
    Q_EMIT shown();
}

void FreedesktopNotifier::actionInvoked(uint id, const QString& action)
{
    Q_UNUSED(action);
    if (m_ids.contains(id))
        Q_EMIT activated();
}
