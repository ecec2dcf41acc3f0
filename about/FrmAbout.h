// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class FrmAbout;
}

// The program's About box: its name, its build line and the mail control's credit,
// with OK and a Help button that opens the help file of the current directory.
class FrmAbout final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmAbout)
public:
    using LogAction = std::function<void(const QString&)>;

    // logAction writes one line to the action log.
    FrmAbout(const QString& buildInfo, LogAction logAction, QWidget* parent = nullptr);
    ~FrmAbout() override;

    static const QString HelpFileName;

private:
    void Command1_Click();
    void Command2_Click();

    std::unique_ptr<Ui::FrmAbout> m_ui;
    LogAction m_logAction;
};
