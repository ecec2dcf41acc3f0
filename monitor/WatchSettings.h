// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class Settings;

// What the monitor watches: the address, how its page is read, and for EDGAR the
// contact address that its fair-access rules want in every request. Saved in the
// settings group [Watch].
struct WatchSettings {
    enum class Source { Broker, Edgar, Pattern };

    QUrl url;
    Source source = Source::Broker;
    QString pattern;
    QString contact;
    // The forms the current-filings feed is asked for, one request each per poll.
    QStringList forms = DefaultForms;
    // After this many failed polls in a row one alert says so; 0 for never.
    int failAlert = DefaultFailAlert;
    // What was seen is kept across restarts; saved apart (saveRemember), since an
    // unsaved choice follows the source.
    bool remember = false;
    // remember was saved, not taken from the source's default.
    bool rememberChosen = false;

    static constexpr int DefaultFailAlert = 3;
    static inline const QStringList DefaultForms{QStringLiteral("S-1"), QStringLiteral("F-1")};
    // The forms of an offering's life on EDGAR, from registration to pricing, effect and withdrawal.
    static const QStringList& knownForms();

    // The feed of new registration statements (form S-1), the public first sign of an IPO.
    static const QUrl EdgarFeedUrl;

    static WatchSettings load(const Settings& settings);
    static void saveRemember(Settings& settings, bool remember);
    // Feeds list the same entries for days, so their history is worth keeping; the
    // broker's page keeps the in-memory history it always had.
    static bool remembersByDefault(Source source) { return source != Source::Broker; }
    // Checks first; a bad value is refused with the reason and nothing is saved.
    bool save(Settings& settings, QString* error) const;

    // Why these values cannot be saved, or an empty text.
    QString validate() const;
    // Why a poll cannot start with them (no address, EDGAR without contact), or an empty
    // text; the fix is named as a console command or as the window's menu item.
    QString pollProblem(bool console = false) const;

    static QString sourceName(Source source);
    static bool parseSource(const QString& name, Source* source);
    // http or https with a host; false with the reason.
    static bool checkUrl(const QString& text, QUrl* url, QString* error);
    // Compiles, and has a group named "symbol"; false with the reason.
    static bool checkPattern(const QString& pattern, QString* error);
    // "S-1, F-1,424B4": known forms, any case, separated by commas; false naming the first bad one.
    static bool parseForms(const QString& text, QStringList* forms, QString* error);
    static QString formsText(const QStringList& forms) { return forms.join(QStringLiteral(", ")); }

    bool operator==(const WatchSettings&) const = default;
};
