// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <algorithm>

// A clock that stands still until the test moves it.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2000, 4, 6), QTime(21, 5, 3)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonic; }
    // Time passes until the wall clock shows when (never backwards for the monotonic clock).
    void set(const QDateTime& when)
    {
        m_monotonic += std::max<qint64>(0, m_now.msecsTo(when));
        m_now = when;
    }
    void advanceMs(qint64 ms) { set(m_now.addMSecs(ms)); }
    // Someone sets the wall clock; no time passes.
    void setWallClock(const QDateTime& when) { m_now = when; }

private:
    QDateTime m_now;
    qint64 m_monotonic = 0;
};
