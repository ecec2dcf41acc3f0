// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// The built-in sample offerings page of --demo: a small HTTP/1.1 server on 127.0.0.1,
// on a free port, serving a page in the broker's markup at the offerings path
// (404 elsewhere). The page changes from one fetch to the next, so that pressing
// START five times shows each report of the monitor once:
//
//   fetch 1  AURX, BLFN, CDGE open         ticker(s) found (the history is blank)
//   fetch 2  the same page                 no changes
//   fetch 3  DRWD joins, open              ticker(s) found
//   fetch 4  BLFN shows closed             no changes with exclude-closed on
//                                          (ticker(s) found with it off)
//   fetch 5  BLFN removed                  no changes with exclude-closed on: every
//                                          4-character piece of the shorter list occurs
//                                          in the previous one (found with it off)
//
// Fetches 6 to 10 tell the same story with ELMT, FRXL, GLNT and HRBR; fetch 11 starts
// over with the first four, whose lists have left the monitor's eight-list history by
// then, so every round of five reports found, no, found, no, no.
//
// Beside the page it serves a feed in the form of EDGAR's "latest filings" Atom feed at
// FeedPath, with a story of its own (its fetches are counted apart):
//
//   fetch 1  three S-1 filings             ticker(s) found
//   fetch 2  the same feed                 no changes
//   fetch 3  a fourth company files        ticker(s) found, naming it
//   fetch 4  one company amends (S-1/A)    ticker(s) found: a new form is a new filing
//   fetch 5  the oldest filing drops off   no changes
//
// and so on with new companies.
//
// Only page requests of the monitor itself (User-Agent "Offerwatch/...") move the
// sequence on. Any other client, such as the browser view reloading the page after a
// poll, is shown the page the monitor saw last, so that watching the page does not
// change what the monitor will see next.
class DemoOfferingsServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoOfferingsServer)
public:
    static constexpr const char* PagePath = "/cgi-bin/gx.cgi/Applogic+IPOCurrentOfferings";
    static constexpr const char* FeedPath = "/cgi-bin/browse-edgar";
    static constexpr int RoundLength = 5;

    explicit DemoOfferingsServer(QObject* parent = nullptr);
    ~DemoOfferingsServer() override;

    // Listens on 127.0.0.1; false with errorString() when no port could be had.
    bool start();
    QString errorString() const { return m_server.errorString(); }
    QUrl url() const;
    QUrl feedUrl() const;

    // Page requests of the monitor answered so far.
    int fetchCount() const { return m_fetchCount; }

    // The page as served at the given fetch (1 for the first).
    static QByteArray page(int fetchNumber);
    static QByteArray feed(int fetchNumber);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& head);
    static void reply(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
                      bool withBody = true);

    QTcpServer m_server;
    int m_fetchCount = 0;
    int m_feedFetchCount = 0;
    int m_openConnections = 0;
};
