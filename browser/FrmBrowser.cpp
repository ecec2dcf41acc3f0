// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/FrmBrowser.h"

#include "ui_FrmBrowser.h"

#include <QLineEdit>
#include <QUrl>
#include <QWebEngineView>

namespace {
// Window geometry is designed in twips; the screen has 15 of them to a pixel.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr int Margin = twips(100);
constexpr int BusyPollMs = 5;
} // namespace

FrmBrowser::FrmBrowser(const QString& startingAddress, const QRect& mainFrame, const QRect& screenArea,
                       QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::FrmBrowser>())
    , m_timTimer(new QTimer(this))
    , m_startingAddress(startingAddress)
{
    m_ui->setupUi(this);
    m_timTimer->setObjectName(QStringLiteral("timTimer"));
    m_timTimer->setInterval(BusyPollMs);
    // The list holds StartingAddress alone; completing typed text against it
    // would only get in the way of typing another address.
    m_ui->cboAddress->setCompleter(nullptr);

    connect(m_timTimer, &QTimer::timeout, this, &FrmBrowser::timTimer_Timer);
    connect(m_ui->cboAddress, &QComboBox::activated, this, [this] { cboAddress_Click(); });
    // Enter visits the typed address; the combo box is told not to add it to its list.
    connect(m_ui->cboAddress->lineEdit(), &QLineEdit::returnPressed, this, [this] { cboAddress_Click(); });
    connect(m_ui->brwWebBrowser, &QWebEngineView::loadStarted, this, [this] {
        m_navigationPending = false;
        m_loading = true;
    });
    connect(m_ui->brwWebBrowser, &QWebEngineView::loadFinished, this, [this] {
        m_loading = false;
        brwWebBrowser_DownloadComplete();
    });

    Form_Load(mainFrame, screenArea);
}

FrmBrowser::~FrmBrowser() = default;

QRect FrmBrowser::placement(const QRect& mainFrame, const QRect& screenArea)
{
    return QRect(screenArea.left() + mainFrame.width() + 1, screenArea.top(),
                 screenArea.width() - mainFrame.width(), mainFrame.height());
}

void FrmBrowser::Form_Load(const QRect& mainFrame, const QRect& screenArea)
{
    const QRect frame = placement(mainFrame, screenArea);
    move(frame.topLeft());
    if (frame.width() > 0 && frame.height() > 0)
        resize(frame.size());

    if (!m_startingAddress.isEmpty()) {
        m_ui->cboAddress->setEditText(m_startingAddress);
        m_ui->cboAddress->addItem(m_startingAddress);
        if (Navigate(m_startingAddress))
            m_timTimer->start();
    }
    layOutControls();
}

void FrmBrowser::layOutControls()
{
    const int clientWidth = width();
    const int clientHeight = height();
    QWidget* strip = m_ui->picAddress;
    strip->resize(clientWidth, strip->height());
    // The address box ends a margin short of the window's right edge, so its
    // drop-down button stays on screen.
    QComboBox* box = m_ui->cboAddress;
    box->resize(qMax(0, clientWidth - box->x() - Margin), box->height());
    QWidget* browser = m_ui->brwWebBrowser;
    browser->resize(qMax(0, clientWidth - Margin),
                    qMax(0, clientHeight - (strip->y() + strip->height()) - Margin));
}

QString FrmBrowser::LocationName() const
{
    const QString title = m_ui->brwWebBrowser->title();
    return title.isEmpty() ? m_ui->brwWebBrowser->url().toString() : title;
}

bool FrmBrowser::Navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    if (!url.isValid() || url.isEmpty())
        return false;
    // The browser reports the start of a load only later, from its own process;
    // until then the view counts as busy so the caption shows the wait at once.
    m_navigationPending = true;
    m_ui->brwWebBrowser->load(url);
    return true;
}

void FrmBrowser::cboAddress_Click()
{
    // Text that names no address is refused and leaves the caption as it is.
    if (Navigate(m_ui->cboAddress->currentText()))
        m_timTimer->start();
}

void FrmBrowser::timTimer_Timer()
{
    if (Busy()) {
        setWindowTitle(QStringLiteral("Working..."));
        return;
    }
    m_timTimer->stop();
    setWindowTitle(LocationName());
}

void FrmBrowser::brwWebBrowser_DownloadComplete()
{
    setWindowTitle(LocationName());
}
