// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/Alert.h"

// What the monitor raises when it finds news: the alarm and the alert that every
// alert channel that is on sends; and the sessions that shut-down ends.
class AlertHooks {
public:
    virtual ~AlertHooks() = default;

    virtual void SoundAlarm() = 0;
    // Hands the alert to every alert channel that is on.
    virtual void dispatchAlert(const Alert& alert) = 0;
    virtual bool anyChannelOn() const = 0;
    virtual void logoffMessagingSession() = 0;
};
