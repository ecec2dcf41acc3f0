// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class FrmBrowser;
}

// The browser view beside the main window. Constructing it is loading it: it is
// placed, navigates to StartingAddress when there is one, and lays out its
// controls once. It shows the page by loading it itself, not the text the poll
// cycle fetched.
class FrmBrowser final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmBrowser)
public:
    // mainFrame is the main window's frame; screenArea the part of the screen
    // that windows may use.
    FrmBrowser(const QString& startingAddress, const QRect& mainFrame, const QRect& screenArea,
               QWidget* parent = nullptr);
    ~FrmBrowser() override;

    // The frame the view takes: the rest of the screen to the right of the main window.
    static QRect placement(const QRect& mainFrame, const QRect& screenArea);

    const QString& StartingAddress() const { return m_startingAddress; }
    // True from Navigate until the browser has finished loading.
    bool Busy() const { return m_navigationPending || m_loading; }
    // The page's title, or its address when it has none.
    QString LocationName() const;
    // Starts loading address and returns at once; false when it names no place to go.
    bool Navigate(const QString& address);

private:
    void Form_Load(const QRect& mainFrame, const QRect& screenArea);
    void layOutControls();
    void cboAddress_Click();
    void timTimer_Timer();
    void brwWebBrowser_DownloadComplete();

    std::unique_ptr<Ui::FrmBrowser> m_ui;
    QTimer* m_timTimer;
    QString m_startingAddress;
    bool m_navigationPending = false;
    bool m_loading = false;
};
