// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// Whether e-mail alerts are on, and through which mail channel: one at a time, so that
// switching one channel on switches the other off and no alert goes out twice. Nothing
// else holds this state; the mail channels read it and follow `changed`.
class MailSwitch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MailSwitch)
public:
    using QObject::QObject;

    bool isOn() const { return m_on; }
    // The channel last switched on or off ("SMTP", "MAPI"), "NOTHING" after a switch-off,
    // or an empty text before either.
    const QString& channel() const { return m_channel; }
    bool isOnThrough(const QString& channel) const { return m_on && m_channel == channel; }

    // A setup window's ON/OFF button: alerts on through this channel, or off for all.
    void switchOn(const QString& channel);
    void switchOff();
    // A channel that can no longer send (local mail logged off): off, the choice kept.
    void stop();

Q_SIGNALS:
    void changed();

private:
    void set(bool on, const QString& channel);

    bool m_on = false;
    QString m_channel;
};
