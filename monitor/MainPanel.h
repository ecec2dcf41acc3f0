// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/StatusColour.h"

#include <QObject>
#include <QString>

// What the main window's controls show, held without widgets so the logic can run
// (and be tested) with no window at all. The window copies it on every change.
class MainPanel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainPanel)
public:
    enum class DefaultButton { Start, Stop };

    explicit MainPanel(QObject* parent = nullptr)
        : QObject(parent)
    {
    }

    std::uint32_t statusColour() const { return StatusColour::of(m_pollOutcome, m_alarmFailed); }
    // A poll that starts clears an alarm failure: the next alarm will tell again.
    void setPollOutcome(StatusColour::PollOutcome outcome)
    {
        if (outcome == StatusColour::PollOutcome::Running)
            m_alarmFailed = false;
        setColourInputs(outcome, m_alarmFailed);
    }
    void setAlarmFailed() { setColourInputs(m_pollOutcome, true); }

    bool startEnabled() const { return m_startEnabled; }
    void setStartEnabled(bool on) { set(m_startEnabled, on); }
    bool stopEnabled() const { return m_stopEnabled; }
    void setStopEnabled(bool on) { set(m_stopEnabled, on); }
    // File > Check Now: only while monitoring waits for its next cycle.
    bool checkNowEnabled() const { return m_checkNowEnabled; }
    void setCheckNowEnabled(bool on) { set(m_checkNowEnabled, on); }
    DefaultButton defaultButton() const { return m_defaultButton; }
    void setDefaultButton(DefaultButton b) { set(m_defaultButton, b); }

    // Command3, Command5, Command4
    const QString& emailCaption() const { return m_emailCaption; }
    void setEmailCaption(const QString& text) { set(m_emailCaption, text); }
    const QString& alarmCaption() const { return m_alarmCaption; }
    void setAlarmCaption(const QString& text) { set(m_alarmCaption, text); }
    const QString& browserCaption() const { return m_browserCaption; }
    void setBrowserCaption(const QString& text) { set(m_browserCaption, text); }

    // Text3
    const QString& tickerText() const { return m_tickerText; }
    void setTickerText(const QString& text) { set(m_tickerText, text); }

    // List2, in minutes; 0 before start-up selects an entry.
    int intervalMinutes() const { return m_intervalMinutes; }
    void setIntervalMinutes(int minutes) { set(m_intervalMinutes, minutes); }

    // Check1
    bool excludeClosed() const { return m_excludeClosed; }
    void setExcludeClosed(bool on) { set(m_excludeClosed, on); }

    // Diagnostics of the last fetch: Text1, lblHTMLSIZE, lblRESPCODE, lblRESPINFO.
    const QString& pageText() const { return m_pageText; }
    const QString& htmlSize() const { return m_htmlSize; }
    const QString& responseCode() const { return m_responseCode; }
    const QString& responseInfo() const { return m_responseInfo; }
    void setDiagnostics(const QString& page, const QString& size, const QString& code, const QString& info)
    {
        m_pageText = page;
        m_htmlSize = size;
        m_responseCode = code;
        m_responseInfo = info;
        Q_EMIT diagnosticsChanged();
    }

Q_SIGNALS:
    void changed();
    void diagnosticsChanged();

private:
    void setColourInputs(StatusColour::PollOutcome outcome, bool alarmFailed)
    {
        const std::uint32_t before = statusColour();
        m_pollOutcome = outcome;
        m_alarmFailed = alarmFailed;
        if (statusColour() != before)
            Q_EMIT changed();
    }
    template <typename T> void set(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
    }

    StatusColour::PollOutcome m_pollOutcome = StatusColour::PollOutcome::None;
    bool m_alarmFailed = false;
    bool m_startEnabled = true;
    bool m_stopEnabled = true;
    bool m_checkNowEnabled = false;
    DefaultButton m_defaultButton = DefaultButton::Start;
    QString m_emailCaption = QStringLiteral("Email OFF");
    QString m_alarmCaption = QStringLiteral("Alarm OFF");
    QString m_browserCaption = QStringLiteral("Browser ON");
    QString m_tickerText;
    int m_intervalMinutes = 0;
    bool m_excludeClosed = true;
    QString m_pageText;
    QString m_htmlSize;
    QString m_responseCode;
    QString m_responseInfo;
};
