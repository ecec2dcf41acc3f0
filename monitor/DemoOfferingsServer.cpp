// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/DemoOfferingsServer.h"

#include <QHostAddress>
#include <QList>
#include <QTcpSocket>
#include <QTimer>

#include <array>

namespace {

constexpr qsizetype MaximumRequestHead = 16 * 1024;
constexpr int MaximumConnections = 32;
constexpr int IdleTimeoutMs = 10'000;
const char* const BufferProperty = "demoRequestBuffer";

struct Offering {
    const char* symbol;
    const char* company;
    const char* exchange;
    const char* priceRange;
    const char* shares;
    const char* expected;
};

// Two casts of four: the first three are listed at the start of a round, the fourth joins.
constexpr std::array<std::array<Offering, 4>, 2> Casts = {{
    {{{"AURX", "Aurora Cell Therapeutics, Inc.", "NASDAQ", "$14.00 - $16.00", "6,250,000", "This week"},
      {"BLFN", "Bluefin Robotics Corp.", "NYSE", "$21.00 - $23.00", "9,000,000", "This week"},
      {"CDGE", "Cedar Grid Energy Holdings", "NYSE", "$11.00 - $13.00", "12,500,000", "Next week"},
      {"DRWD", "Driftwood Software Group", "NASDAQ", "$17.00 - $19.00", "5,400,000", "Next week"}}},
    {{{"ELMT", "Elmstead Materials Ltd.", "NYSE", "$9.00 - $11.00", "15,000,000", "This week"},
      {"FRXL", "Foxtail Logistics, Inc.", "NASDAQ", "$19.00 - $21.00", "7,800,000", "This week"},
      {"GLNT", "Glenmont Bancorp", "NASDAQ", "$12.00 - $14.00", "4,100,000", "Next week"},
      {"HRBR", "Harbor Light Foods Co.", "NYSE", "$15.00 - $17.00", "8,600,000", "Next week"}}},
}};

struct Filer {
    const char* name; // as XML text: entities and all
    int cik;
};

// The feed's companies, one round's worth; later rounds add to the CIKs so that every
// round brings new filers.
constexpr std::array<Filer, 4> Filers = {{
    {"Northwind Quantum Systems, Inc.", 1971001},
    {"Soci\xc3\xa9t\xc3\xa9 Lumi\xc3\xa8re Holdings S.A.", 1971002},
    {"Barnes &amp; Pike Capital Corp.", 1971003},
    {"Tidewater Genomics (Delaware) Inc.", 1971004},
}};

QByteArray feedEntry(const Filer& filer, int round, const QByteArray& form, int sequence)
{
    const QByteArray cik = QByteArray::number(filer.cik + round * 10).rightJustified(10, '0');
    const QByteArray accession = cik + "-26-" + QByteArray::number(sequence).rightJustified(6, '0');
    return "<entry>\n<title>" + form + " - " + QByteArray(filer.name) + " (" + cik + ") (Filer)</title>\n"
        + "<link rel=\"alternate\" type=\"text/html\" href=\"https://www.sec.gov/Archives/edgar/data/"
        + QByteArray::number(filer.cik + round * 10) + "/" + accession + "-index.htm\"/>\n"
        + "<summary type=\"html\"> &lt;b&gt;Filed:&lt;/b&gt; 2026-12-07 &lt;b&gt;AccNo:&lt;/b&gt; " + accession
        + "</summary>\n<updated>2026-12-07T09:" + QByteArray::number(10 + sequence % 50)
        + ":00-05:00</updated>\n<category scheme=\"https://www.sec.gov/\" label=\"form type\" term=\"" + form
        + "\"/>\n<id>urn:tag:sec.gov,2008:accession-number=" + accession + "</id>\n</entry>\n";
}

QByteArray row(const Offering& offering, bool open)
{
    const QByteArray symbol(offering.symbol);
    QByteArray html = "<TR>\n<TD><A HREF=/cgi-bin/gx.cgi/Applogic+IPOInfo?Ipo_Symbol=" + symbol
        + "&Ipo_OfferType=IPO><B>" + symbol + "</B></A></TD>\n";
    html += "<TD>" + QByteArray(offering.company) + "</TD>\n<TD>" + QByteArray(offering.exchange)
        + "</TD>\n<TD ALIGN=RIGHT>" + QByteArray(offering.priceRange) + "</TD>\n<TD ALIGN=RIGHT>"
        + QByteArray(offering.shares) + "</TD>\n<TD>" + QByteArray(offering.expected) + "</TD>\n";
    html += open ? "<TD ALIGN=CENTER><IMG SRC=/images/go.gif WIDTH=52 HEIGHT=18 BORDER=0 ALT=\"Open\"></TD>\n"
                 : "<TD ALIGN=CENTER><IMG SRC=/images/closed.gif WIDTH=52 HEIGHT=18 BORDER=0 ALT=\"Closed\"></TD>\n";
    return html + "</TR>\n";
}

QByteArray statusImage(bool open)
{
    const QByteArray colour = open ? "#1f7a1f" : "#8a8a8a";
    const QByteArray label = open ? "GO" : "CLOSED";
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"52\" height=\"18\">"
           "<rect width=\"52\" height=\"18\" rx=\"3\" fill=\""
        + colour
        + "\"/><text x=\"26\" y=\"13\" font-family=\"sans-serif\" font-size=\"10\" "
          "font-weight=\"bold\" fill=\"#fff\" text-anchor=\"middle\">"
        + label + "</text></svg>";
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Unknown";
    }
}

} // namespace

DemoOfferingsServer::DemoOfferingsServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &DemoOfferingsServer::onNewConnection);
}

DemoOfferingsServer::~DemoOfferingsServer()
{
    m_server.close();
}

bool DemoOfferingsServer::start()
{
    return m_server.isListening() || m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl DemoOfferingsServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server.serverPort());
    url.setPath(QString::fromLatin1(PagePath));
    return url;
}

QUrl DemoOfferingsServer::feedUrl() const
{
    QUrl url = this->url();
    url.setPath(QString::fromLatin1(FeedPath));
    url.setQuery(QStringLiteral("action=getcurrent&type=S-1&count=100&output=atom"));
    return url;
}

QByteArray DemoOfferingsServer::feed(int fetchNumber)
{
    const int index = qMax(fetchNumber, 1) - 1;
    const int stage = index % RoundLength;
    const int round = index / RoundLength;
    // Newest first, as EDGAR lists them.
    QByteArray entries;
    if (stage >= 3)
        entries += feedEntry(Filers[1], round, "S-1/A", 5);
    if (stage >= 2)
        entries += feedEntry(Filers[3], round, "S-1", 4);
    entries += feedEntry(Filers[2], round, "S-1", 3);
    entries += feedEntry(Filers[1], round, "S-1", 2);
    if (stage != 4)
        entries += feedEntry(Filers[0], round, "S-1", 1);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n"
           "<title>Latest Filings (demo, view "
        + QByteArray::number(index + 1)
        + ")</title>\n<link rel=\"self\" href=\"/cgi-bin/browse-edgar?action=getcurrent\"/>\n"
          "<id>https://www.sec.gov/cgi-bin/browse-edgar?action=getcurrent</id>\n"
          "<author><name>Offerwatch demo</name></author>\n<updated>2026-12-07T10:00:00-05:00</updated>\n"
        + entries + "</feed>\n";
}

QByteArray DemoOfferingsServer::page(int fetchNumber)
{
    const int index = qMax(fetchNumber, 1) - 1;
    const int stage = index % RoundLength;
    const auto& cast = Casts.at(static_cast<std::size_t>((index / RoundLength) % Casts.size()));

    QByteArray rows = row(cast[0], true);
    if (stage != 4)
        rows += row(cast[1], stage != 3);
    rows += row(cast[2], true);
    if (stage >= 2)
        rows += row(cast[3], true);

    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
           "<HTML>\n<HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\n"
           "<TITLE>Current IPO Offerings (demo)</TITLE>\n"
           "<STYLE TYPE=\"text/css\">\n"
           "body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; margin: 16px; }\n"
           "table.offerings { border-collapse: collapse; }\n"
           "table.offerings th { background: #003366; color: #fff; padding: 4px 10px; text-align: left; }\n"
           "table.offerings td { border-bottom: 1px solid #ccd; padding: 4px 10px; }\n"
           "</STYLE>\n</HEAD>\n<BODY BGCOLOR=#FFFFFF>\n"
           "<H2>Current IPO Offerings</H2>\n"
           "<P>Offerings open for indications of interest. Click a symbol for the preliminary "
           "prospectus and offering details.</P>\n"
           "<TABLE CLASS=offerings>\n<TR><TH>Symbol</TH><TH>Company</TH><TH>Exchange</TH>"
           "<TH>Price range</TH><TH>Shares</TH><TH>Expected</TH><TH>Status</TH></TR>\n"
        + rows
        + "</TABLE>\n"
          "<P><SMALL>This is a demonstration page served by Offerwatch on this computer. The companies "
          "are invented; the page changes each time Offerwatch polls it (view "
        + QByteArray::number(index + 1)
        + ").</SMALL></P>\n"
          "</BODY>\n</HTML>\n";
}

void DemoOfferingsServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        if (m_openConnections >= MaximumConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_openConnections;
        connect(socket, &QObject::destroyed, this, [this] { --m_openConnections; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its request does not hold a connection for ever.
        QTimer::singleShot(IdleTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void DemoOfferingsServer::onReadyRead(QTcpSocket* socket)
{
    const QByteArray buffer = socket->property(BufferProperty).toByteArray() + socket->readAll();
    qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        end = buffer.indexOf("\n\n");
    if (end < 0) {
        if (buffer.size() > MaximumRequestHead) {
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            reply(socket, 431, "text/plain; charset=utf-8", "Request header too large\n");
        } else {
            socket->setProperty(BufferProperty, buffer);
        }
        return;
    }
    // One request per connection; the answer closes it.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->setProperty(BufferProperty, QVariant());
    respond(socket, buffer.left(end));
}

void DemoOfferingsServer::respond(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    if (request.size() != 3 || !request.at(2).startsWith("HTTP/1.") || !request.at(1).startsWith('/')) {
        reply(socket, 400, "text/plain; charset=utf-8", "Bad request\n");
        return;
    }
    const QByteArray& method = request.at(0);
    if (method != "GET" && method != "HEAD") {
        reply(socket, 405, "text/plain; charset=utf-8", "Only GET and HEAD are served here\n");
        return;
    }
    const bool withBody = method == "GET";
    const QByteArray path = request.at(1).split('?').first();

    bool fromMonitor = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.toLower().startsWith("user-agent:"))
            fromMonitor = line.mid(11).trimmed().startsWith("Offerwatch/");
    }
    if (path == PagePath) {
        if (withBody && fromMonitor)
            ++m_fetchCount;
        reply(socket, 200, "text/html; charset=utf-8", page(m_fetchCount), withBody);
    } else if (path == FeedPath) {
        if (withBody && fromMonitor)
            ++m_feedFetchCount;
        reply(socket, 200, "application/atom+xml", feed(m_feedFetchCount), withBody);
    } else if (path == "/images/go.gif" || path == "/images/closed.gif") {
        reply(socket, 200, "image/svg+xml", statusImage(path == "/images/go.gif"), withBody);
    } else {
        reply(socket, 404, "text/plain; charset=utf-8", "Not found\n", withBody);
    }
}

void DemoOfferingsServer::reply(QTcpSocket* socket, int status, const QByteArray& contentType,
                                const QByteArray& body, bool withBody)
{
    QByteArray message = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status)
        + "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (withBody)
        message += body;
    socket->write(message);
    socket->disconnectFromHost();
}
