// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

#include <memory>

namespace Ui {
class FrmSmtp;
}
class SmtpChannel;

// The Internet-mail setup page. Its logic, and the mail-sending control, live in the
// channel, which alerts reach with or without this window; closing it unloads both.
class FrmSmtp final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmSmtp)
public:
    // mainWindow: where the main window stands; this page opens beside it, as tall.
    FrmSmtp(SmtpChannel& channel, const QRect& mainWindow, QWidget* parent = nullptr);
    ~FrmSmtp() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();
    void placeFace();

    SmtpChannel& m_channel;
    std::unique_ptr<Ui::FrmSmtp> m_ui;
    QWidget* m_face = nullptr;
    qsizetype m_shownStatus = 0;
};
