// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/TrayModel.h"

#include "monitor/Monitor.h"

namespace {
// A tooltip is a glance, not the log.
constexpr qsizetype MaxResultLength = 120;
// Screen lines start with the time of day: eight characters and a blank.
constexpr qsizetype TimeWidth = 9;
} // namespace

TrayModel::TrayModel(Monitor& monitor, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
{
    connect(&m_monitor.panel(), &MainPanel::changed, this, &TrayModel::changed);
    connect(&m_monitor.actionLog(), &ActionLog::lineLogged, this, &TrayModel::lineLogged);
}

void TrayModel::lineLogged(const QString& screenLine)
{
    const QString message = screenLine.mid(TimeWidth).trimmed();
    // The results of a poll, not its start and end.
    static const QStringList notResults{QStringLiteral("poll: started"), QStringLiteral("poll: stopped"),
                                        QStringLiteral("poll: waiting for next cycle")};
    const bool result = (message.startsWith(QLatin1String("poll: ")) && !notResults.contains(message)) ||
                        message.startsWith(QLatin1String("Error #"));
    if (!result)
        return;
    m_lastResult = message.size() > MaxResultLength ? message.left(MaxResultLength) + QStringLiteral("…") : message;
    Q_EMIT changed();
}

std::uint32_t TrayModel::colour() const
{
    return m_monitor.panel().statusColour();
}

QString TrayModel::toolTip() const
{
    const MainPanel& panel = m_monitor.panel();
    QString next;
    if (panel.checkNowEnabled())
        next = QStringLiteral("next poll at %1")
                   .arg(m_monitor.poll().nextPollTime().time().toString(QStringLiteral("HH:mm:ss")));
    else if (panel.startEnabled())
        next = QStringLiteral("monitoring is stopped");
    else
        next = QStringLiteral("polling now");
    return QStringLiteral("Offerwatch\n%1\n%2").arg(m_lastResult, next);
}

bool TrayModel::startEnabled() const
{
    return m_monitor.panel().startEnabled();
}

bool TrayModel::stopEnabled() const
{
    return m_monitor.panel().stopEnabled();
}

bool TrayModel::checkNowEnabled() const
{
    return m_monitor.panel().checkNowEnabled();
}

void TrayModel::start()
{
    if (startEnabled())
        m_monitor.Command1_Click();
}

void TrayModel::stop()
{
    if (stopEnabled())
        m_monitor.Command2_Click();
}

void TrayModel::checkNow()
{
    m_monitor.mnuCheckNow_Click();
}

void TrayModel::exit()
{
    m_monitor.Form_Unload();
}
