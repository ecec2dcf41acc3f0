// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class AboutForm;
}

// The control's About box: its name and the library's version.
class SMTP_EXPORT AboutForm final : public QDialog {
    Q_OBJECT
public:
    explicit AboutForm(QWidget* parent = nullptr);
    ~AboutForm() override;
    Q_DISABLE_COPY_MOVE(AboutForm)

    static QString versionText();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::AboutForm> m_ui;
};
