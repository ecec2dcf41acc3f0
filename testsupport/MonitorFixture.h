// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/AlertHooks.h"
#include "monitor/Monitor.h"
#include "monitor/WindowHost.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
#include "testsupport/LogLines.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>

// Records what the main window's logic asked of the windows and the alert paths.
class RecordingWindowHost final : public WindowHost {
public:
    void showMailWizard() override { calls << QStringLiteral("wizard"); }
    void showWatchSettings() override { calls << QStringLiteral("watch settings"); }
    void showAboutBox() override { calls << QStringLiteral("about"); }
    void showBrowser() override { calls << QStringLiteral("show browser"); }
    void hideBrowser() override { calls << QStringLiteral("hide browser"); }
    void reloadBrowser(const QString& address) override { calls << QStringLiteral("reload ") + address; }
    void unloadAllWindows() override { calls << QStringLiteral("unload all"); }

    QStringList calls;
};

class RecordingAlertHooks final : public AlertHooks {
public:
    void SoundAlarm() override { calls << QStringLiteral("alarm"); }
    void dispatchAlert(const Alert& alert) override
    {
        calls << QStringLiteral("email ") + alert.text;
        alerts << alert;
    }
    void logoffMessagingSession() override { calls << QStringLiteral("logoff"); }
    bool anyChannelOn() const override { return channelOn; }

    QStringList calls;
    QList<Alert> alerts;
    bool channelOn = true;
};

// The main window's logic on a scratch directory, a clock that stands still, a page
// client the test finishes by hand, and recorders for windows and alerts.
struct MonitorFixture {
    QTemporaryDir dir;
    FakeClock clock;
    FakePageClient client;
    Monitor monitor{clock, client};
    RecordingWindowHost windows;
    RecordingAlertHooks alerts;
    qsizetype mark = 0;

    MonitorFixture()
    {
        monitor.setWindowHost(&windows);
        monitor.setAlertHooks(&alerts);
        monitor.setOfferingsUrl(QUrl(QStringLiteral("http://127.0.0.1:9/offerings")));
    }

    // Start-up as when the window is first shown; later messages count from here.
    void start()
    {
        monitor.Form_Load(dir.path());
        monitor.Form_Resize(Monitor::WindowState::Normal);
        windows.calls.clear();
        alerts.calls.clear();
        markLog();
    }
    // Finishes the fetch and waits until the cycle has read the page, on a worker thread or not.
    bool finishWithPage(const QString& body)
    {
        QSignalSpy done(&monitor.poll(), &PollCycle::cycleFinished);
        client.finishWithPage(body);
        return !done.isEmpty() || done.wait(20000);
    }
    void markLog() { mark = monitor.actionLog().screen()->rowCount(); }
    QStringList allMessages() const { return screenMessages(*monitor.actionLog().screen()); }
    QStringList messagesSinceMark() const { return allMessages().mid(mark); }
};
