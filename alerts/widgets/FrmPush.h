// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class PushChannel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// File > Push Alerts: the push channel's address, kind and token, a test, and ON/OFF.
// Each value is saved when it is applied; a refused one is named under the boxes.
class FrmPush final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPush)
public:
    explicit FrmPush(PushChannel& channel, QWidget* parent = nullptr);

private:
    void apply();
    void refresh();

    PushChannel& m_channel;
    QLineEdit* m_url;
    QComboBox* m_kind;
    QLineEdit* m_token;
    QCheckBox* m_on;
    QLabel* m_problem;
};
