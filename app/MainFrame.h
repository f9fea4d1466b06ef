#pragma once
// The main window: toolbar, status bar, the dialog bar docked on the left and the
// main view. Every command is offered to the view before the frame.
#include "app/ChildView.h"
#include "controls/DlgBar.h"

#include <QMainWindow>
#include <map>

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // Routes a command to the view first, then to the frame; true when handled.
    bool OnCmdMsg(int id);
    // Refreshes the check marks and enabling of every command's action. A command that neither
    // the view nor the frame handles is greyed.
    void UpdateCommandUI();

    // The action of a command id (null when there is none).
    QAction* Action(int id) const;
    // Makes the action of a command id, wired to the command routing.
    QAction* AddCommand(int id, const QString& text, QMenu* menu, bool checkable = false);

    void OnViewDialogBar();
    void OnViewToolBar();
    void OnViewStatusBar();
    // Suspend and resume of the PC.
    void OnSuspend();
    void OnResume();
    // The state of the receiver link on the status bar; empty text clears it.
    void ShowLinkStatus(const QString& text);

    CvDlgBar m_wndDlgBar;
    CChildView m_wndView;
    QToolBar* m_wndToolBar = nullptr;
    QStatusBar* m_wndStatusBar = nullptr;
    QLabel* m_wndLinkStatus = nullptr; // the status bar's message pane
    QDockWidget* m_wndDlgBarDock = nullptr;
    bool m_bDialogBarHidden = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    bool OnUpdateFrameCmdUI(int id, QAction& action) const;
    void OnHelp();

    std::map<int, QAction*> m_actions;
    // Stands in for an action while its update handler runs, so a real action changes only
    // when its state does.
    QAction* m_pProbeAction = nullptr;
};
