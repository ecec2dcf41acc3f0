// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/MessageBoxPrompt.h"

#include <QMessageBox>

void MessageBoxPrompt::critical(const QString& title, const QString& text)
{
    // Shown without a nested event loop: boxes are raised from inside socket and timer
    // handlers, which must return before the user gets round to pressing OK.
    auto* box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
