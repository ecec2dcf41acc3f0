// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageClient.h"

#include <QHash>
#include <QStringList>
#include <QTimer>

#include <functional>

// EDGAR's current-filings feed lists one form at a time. For such an address this client
// asks once per watched form (the address with its type= set to the form), one request
// after the other and spaced well within EDGAR's fair-access limit, and answers with the
// feeds together, separated by FeedSeparator. Other addresses pass straight through.
//
// A poll fails only when every request failed. A form whose request failed is named in one
// warning, and the feed it gave last time stands in for it, so that its filings do not read
// as new when it answers again.
class FormFeedClient final : public PageClient {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormFeedClient)
public:
    // No XML document holds U+0000, so it cannot occur inside any of the feeds.
    static constexpr QChar FeedSeparator = QChar(0);
    static constexpr int SpacingMilliseconds = 250;

    explicit FormFeedClient(PageClient& inner, QObject* parent = nullptr);

    // Empty for none: every address passes through.
    void setForms(const QStringList& forms);
    void setWarningSink(std::function<void(const QString&)> sink) { m_warn = std::move(sink); }

    void fetch(const QUrl& url) override;
    void abort() override;
    bool isBusy() const override { return m_busy; }

    static bool isCurrentFilingsFeed(const QUrl& url);
    static QUrl formUrl(const QUrl& url, const QString& form);

private:
    void requestNext();
    void partArrived(const PageResult& result);
    void finishAll();

    PageClient& m_inner;
    QStringList m_forms;
    std::function<void(const QString&)> m_warn;
    bool m_busy = false;
    bool m_passThrough = false;
    QUrl m_url;
    qsizetype m_next = 0;
    QTimer m_spacing;
    QStringList m_bodies;
    QStringList m_failures;
    PageResult m_lastAnswer;
    PageResult m_firstFailure;
    bool m_anyAnswer = false;
    // Each form's last good feed, for the address it came from.
    QHash<QString, QString> m_lastGood;
    QUrl m_lastGoodUrl;
};
