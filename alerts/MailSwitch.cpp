// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/MailSwitch.h"

void MailSwitch::switchOn(const QString& channel)
{
    set(true, channel);
}

void MailSwitch::switchOff()
{
    set(false, QStringLiteral("NOTHING"));
}

void MailSwitch::stop()
{
    set(false, m_channel);
}

void MailSwitch::set(bool on, const QString& channel)
{
    if (m_on == on && m_channel == channel)
        return;
    m_on = on;
    m_channel = channel;
    Q_EMIT changed();
}
