// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class FrmMail;
}
class ActionLog;

// The first page of the e-mail and pager setup: asks which mail system the user has
// and hands over to its setup window, or tests the alarm for users without e-mail.
// It offers the mail systems it is given, the first two in its two frames (Command2
// on the left, Command1 on the right) and any more in frames added below them.
class FrmMail final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmMail)
public:
    struct MailSystem {
        QString name; // the log line's word for it: "button: email smtp setup"
        QString caption;
        QString explanation;
        std::function<void()> openSetup;
    };
    struct Actions {
        QList<MailSystem> mailSystems;
        std::function<void()> soundAlarm;
        // "Name new offerings in the subject": read when the wizard opens, set when ticked.
        std::function<bool()> namesNewOfferings;
        std::function<void(bool)> setNamesNewOfferings;
        // "Switch e-mail alerts on when Offerwatch starts", likewise.
        std::function<bool()> mailAtStart;
        std::function<void(bool)> setMailAtStart;
    };

    FrmMail(ActionLog& log, Actions actions, QWidget* parent = nullptr);
    ~FrmMail() override;

    void Command1_Click();
    void Command2_Click();
    void Command4_Click();

private:
    void addMailSystemFrame(int index, const MailSystem& system);
    void openMailSystem(qsizetype index);

    ActionLog& m_log;
    Actions m_actions;
    std::unique_ptr<Ui::FrmMail> m_ui;
};
