// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class FrmWatch;
}
class QCheckBox;
class WatchSetup;

// File > Watch Settings: binds its boxes to the watch setup. Save keeps the window
// open with the reason when a value is refused.
class FrmWatch final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmWatch)
public:
    explicit FrmWatch(WatchSetup& setup, QWidget* parent = nullptr);
    ~FrmWatch() override;

    // A line shown until Try or Save has something to say.
    void setNote(const QString& note);

private:
    void refresh();
    QList<QCheckBox*> formBoxes() const;
    void formsEdited();
    void save();

    WatchSetup& m_setup;
    std::unique_ptr<Ui::FrmWatch> m_ui;
};
