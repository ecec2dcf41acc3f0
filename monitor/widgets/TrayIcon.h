#pragma once

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class TrayModel;

// The icon in the desktop's tray: the status colour, the tooltip and the menu of the
// tray model, and Show/Hide for the main window. Made only where a tray exists.
class TrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)
public:
    TrayIcon(TrayModel& model, QWidget& mainWindow, QObject* parent = nullptr);
    ~TrayIcon() override;

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* icon() const { return m_icon; }

private:
    void refresh();
    void toggleMainWindow();

    TrayModel& m_model;
    QWidget& m_mainWindow;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon;
    QAction* m_showHide;
    QAction* m_start;
    QAction* m_stop;
    QAction* m_checkNow;
};
