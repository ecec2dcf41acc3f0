// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

#include <memory>

namespace Ui {
class FrmMAPI;
}
class MapiChannel;

// The local-mail setup window: binds its controls to the channel and follows the
// channel's load state. Creating it loads the channel (its start-up runs unless it
// is loaded already); closing it unloads the channel, and an unload from the
// channel (FINISH, program exit) closes it. It deletes itself when closed.
class FrmMAPI final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmMAPI)
public:
    // mainWindow: the main window's geometry; this window stands right beside it.
    FrmMAPI(MapiChannel& channel, const QRect& mainWindow, QWidget* parent = nullptr);
    ~FrmMAPI() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();

    MapiChannel& m_channel;
    std::unique_ptr<Ui::FrmMAPI> m_ui;
};
