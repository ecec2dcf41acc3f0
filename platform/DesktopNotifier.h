#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>

class QDBusPendingCallWatcher;

// The desktop's notification bubbles. Showing one never waits: the answer comes
// later through shown() or failed(), within the reply time-out.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether anything on this desktop shows notifications.
    virtual bool isAvailable() = 0;
    virtual void notify(const QString& summary, const QString& body) = 0;

Q_SIGNALS:
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

    explicit FreedesktopNotifier(QObject* parent = nullptr);

    bool isAvailable() override;
    void notify(const QString& summary, const QString& body) override;

private Q_SLOTS:
    // A slot by name: the bus connects signals only that way.
    void actionInvoked(uint id, const QString& action);

private:
    void replied(QDBusPendingCallWatcher* call);

    // Notifications of ours, so a click on another program's is not taken for ours.
    QSet<uint> m_ids;
    bool m_listening = false;
};
