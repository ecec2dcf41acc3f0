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
} // namespace

FreedesktopNotifier::FreedesktopNotifier(QObject* parent)
    : DesktopNotifier(parent)
{
}

bool FreedesktopNotifier::isAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // A service may also start on its first call, so the names the bus can start count too.
    for (const char* method : {"NameHasOwner", "ListActivatableNames"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
        if (qstrcmp(method, "NameHasOwner") == 0)
            call << Service;
        const QDBusMessage reply = bus.call(call, QDBus::Block, int(ReplyTimeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        const QVariant answer = reply.arguments().first();
        if (answer.typeId() == QMetaType::Bool ? answer.toBool() : answer.toStringList().contains(Service))
            return true;
    }
    return false;
}

void FreedesktopNotifier::notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Q_EMIT failed(QStringLiteral("there is no session bus (%1)").arg(bus.lastError().message()));
        return;
    }
    if (!m_listening) {
        m_listening = bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const QString shortBody = body.size() > MaxBodyLength ? body.left(MaxBodyLength) + QStringLiteral("…") : body;
    call << QStringLiteral("Offerwatch") << uint(0) << QStringLiteral("offerwatch") << summary << shortBody
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Offerwatch")} << QVariantMap() << int(-1);
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
