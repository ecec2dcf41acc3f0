// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// What one page fetch brought back. A failed fetch carries a number and a readable
// description; the body may still be empty on success (the caller decides what that means).
struct PageResult {
    bool ok = false;
    QString body;
    int responseCode = 0;
    QString responseInfo;
    int errorNumber = 0;
    QString errorDescription;
};

// Fetches one page at a time, asynchronously, so the window stays responsive.
class PageClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts fetching url. A fetch still running is abandoned and never reports.
    virtual void fetch(const QUrl& url) = 0;
    // Abandons the running fetch, if any, without a report.
    virtual void abort() = 0;
    virtual bool isBusy() const = 0;

    // A contact address named in every request after the program's own name, for sites
    // whose rules want to know who is asking; empty for none.
    void setContact(const QString& contact) { m_contact = contact; }
    const QString& contact() const { return m_contact; }

Q_SIGNALS:
    void finished(const PageResult& result);

private:
    QString m_contact;
};
