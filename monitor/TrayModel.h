// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class Monitor;

// What the tray icon shows and does, without the tray: the status colour, a tooltip
// with the last result and the next poll, and the menu's actions, each the main
// window's own (same checks, same log lines).
class TrayModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayModel)
public:
    explicit TrayModel(Monitor& monitor, QObject* parent = nullptr);

    std::uint32_t colour() const;
    QString toolTip() const;
    const QString& lastResult() const { return m_lastResult; }

    bool startEnabled() const;
    bool stopEnabled() const;
    bool checkNowEnabled() const;
    // Each does nothing while its menu item is disabled, as a click on a disabled button.
    void start();
    void stop();
    void checkNow();
    void exit();

Q_SIGNALS:
    void changed();

private:
    void lineLogged(const QString& screenLine);

    Monitor& m_monitor;
    QString m_lastResult = QStringLiteral("not polled yet");
};
