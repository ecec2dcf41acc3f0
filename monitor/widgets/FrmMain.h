#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class FrmMain;
}
class Monitor;

// The main window: binds its controls to the monitor's logic and copies the
// monitor's panel state back into them.
class FrmMain final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmMain)
public:
    explicit FrmMain(Monitor& monitor, QWidget* parent = nullptr);
    ~FrmMain() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectControls();
    void refreshFromPanel();
    void refreshDiagnostics();

    Monitor& m_monitor;
    std::unique_ptr<Ui::FrmMain> m_ui;
    bool m_shownOnce = false;
};
