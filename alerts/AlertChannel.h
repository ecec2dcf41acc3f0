// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/Alert.h"

#include <QObject>
#include <QString>

class ConsoleCommands;

// One way an alert reaches the user. The alert dispatch hands each alert to every
// channel that is on; a channel sends it and logs its own failures. Its setup logic
// runs with or without its window, and it brings its own console commands.
class AlertChannel : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertChannel)
public:
    using QObject::QObject;

    // The name its setup window is opened by ("SMTP", "MAPI").
    virtual QString name() const = 0;
    // Whether it counts for the main window's "Email ON": only a channel that says so,
    // so that a new channel never passes for mail by forgetting to answer.
    virtual bool isMail() const { return false; }
    virtual bool isOn() const = 0;
    virtual void send(const Alert& alert) = 0;

    // Its setup window's logic, loaded unseen when there is no window to show. A channel
    // whose settings are saved as they change has nothing to load or write back.
    virtual void loadSetup() {}
    // At exit, after the visible windows: what was loaded writes its settings back.
    virtual void unloadSetup() {}
    // At exit, before any window unloads: ends a session the channel holds.
    virtual void closeSession() {}
    // "Switch e-mail alerts on when Offerwatch starts", for the channel last switched on:
    // as its window's buttons would; whether it is on afterwards.
    virtual bool switchOnAtStart() { return false; }

    virtual void addConsoleCommands(ConsoleCommands& commands) = 0;

Q_SIGNALS:
    // isOn() may have changed.
    void switched();
};
