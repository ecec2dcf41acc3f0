// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageClient.h"

#include <QList>

// A page client whose fetches finish only when the test says how.
class FakePageClient final : public PageClient {
    Q_OBJECT
public:
    using PageClient::PageClient;

    void fetch(const QUrl& url) override
    {
        m_requested.append(url);
        m_busy = true;
    }
    void abort() override { m_busy = false; }
    bool isBusy() const override { return m_busy; }

    void finishWithPage(const QString& body, int code = 200, const QString& info = QStringLiteral("OK"))
    {
        finish({true, body, code, info, 0, {}});
    }
    void finishWithError(int number, const QString& description) { finish({false, {}, 0, {}, number, description}); }
    const QList<QUrl>& requested() const { return m_requested; }

private:
    void finish(const PageResult& r)
    {
        m_busy = false;
        Q_EMIT finished(r);
    }

    QList<QUrl> m_requested;
    bool m_busy = false;
};
