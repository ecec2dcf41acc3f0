// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/FormFeedClient.h"
#include "monitor/OfferingsSource.h"
#include "monitor/WatchSettings.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <functional>

class ConsoleCommands;
class PageClient;
class Settings;
struct PageResult;

// The logic of the Watch Settings dialog and of the console's watch commands: the
// fields as typed, Try (one fetch that shows what would be extracted, leaving the
// monitor's history and log alone), and Save (checked first; a refused value changes
// nothing).
class WatchSetup final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WatchSetup)
public:
    static constexpr int EntriesShownByTry = 10;

    // tryClient: a page client of its own, so a Try never disturbs a poll.
    WatchSetup(Settings& settings, PageClient& tryClient, QObject* parent = nullptr);

    // Messages name console commands instead of the window's menu item.
    void setConsoleWords(bool console) { m_consoleWords = console; }
    // The console's watch commands (WatchCommands.cpp). commandLineWatch says what this run
    // watches instead of the saved values ("" when it watches them), for `watch show`.
    void addConsoleCommands(ConsoleCommands& commands, std::function<QString()> commandLineWatch);
    // The fields start from the saved values.
    void reload();
    const QString& urlText() const { return m_urlText; }
    WatchSettings::Source source() const { return m_source; }
    const QString& pattern() const { return m_pattern; }
    const QString& contact() const { return m_contact; }
    const QString& formsText() const { return m_formsText; }
    void setFormsText(const QString& text) { m_formsText = text; }
    void setUrlText(const QString& text) { m_urlText = text; }
    void setSource(WatchSettings::Source source);
    void setPattern(const QString& pattern) { m_pattern = pattern; }
    void setContact(const QString& contact) { m_contact = contact; }
    bool remember() const { return m_remember; }
    // A choice made here holds whatever the source; until then it follows the source.
    void setRemember(bool remember)
    {
        m_remember = remember;
        m_rememberChosen = true;
    }

    // The fields as settings; false with the reason when they cannot be saved.
    bool collect(WatchSettings* watch, QString* error) const;
    bool save(QString* error);
    // Reports through tried() once the page is in.
    void tryFetch();
    bool isTrying() const;
    // One line per field, as `watch show` prints them.
    QString describe() const;

Q_SIGNALS:
    void tried(const QString& report);
    // setSource() filled in an address for the new source.
    void fieldsChanged();
    // save() has stored the fields.
    void saved();

private:
    void fetched(const PageResult& result);
    void read(const Extraction& extraction, const QString& entryName);

    Settings& m_settings;
    // Asks the current-filings feed once per form, as a poll does.
    FormFeedClient m_client;
    QString m_fetchWarning;
    QString m_urlText;
    WatchSettings::Source m_source = WatchSettings::Source::Broker;
    QString m_pattern;
    QString m_contact;
    QString m_formsText;
    bool m_remember = false;
    bool m_rememberChosen = false;
    bool m_consoleWords = false;
    WatchSettings m_trying;
    // The page of the last Try is read on a worker thread, like a poll's.
    QFutureWatcher<Extraction> m_reading;
    QString m_readingEntryName;
};
