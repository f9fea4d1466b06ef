#include "app/MainFrame.h"

#include "app/AppIcon.h"
#include "app/CommandIds.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

CMainFrame::CMainFrame() {
    setWindowIcon(AppIcon());

    // The view is the central pane; the bars around it.
    setCentralWidget(&m_wndView);

    m_wndToolBar = addToolBar(tr("Toolbar"));
    m_wndToolBar->setObjectName(QStringLiteral("Toolbar"));
    m_wndToolBar->setMovable(false);

    m_wndDlgBarDock = new QDockWidget(this);
    m_wndDlgBarDock->setObjectName(QStringLiteral("DialogBar"));
    m_wndDlgBarDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_wndDlgBarDock->setTitleBarWidget(new QWidget(m_wndDlgBarDock));
    m_wndDlgBarDock->setWidget(&m_wndDlgBar);
    addDockWidget(Qt::LeftDockWidgetArea, m_wndDlgBarDock);

    m_wndStatusBar = statusBar();
    for (const char* indicator : {"CAP", "NUM", "SCRL"})
        m_wndStatusBar->addPermanentWidget(new QLabel(QString::fromLatin1(indicator), m_wndStatusBar));

    CreateMenus();
    m_wndView.OnCreate(this, &m_wndDlgBar);
}

CMainFrame::~CMainFrame() {
    // A frame destroyed without being closed (the session ending) still shuts the view down.
    m_wndView.OnDestroy();
    // The dock and the central widget are our members: take them back from Qt's ownership.
    m_wndDlgBarDock->setWidget(nullptr);
    m_wndDlgBar.setParent(nullptr);
    takeCentralWidget();
}

QAction* CMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QAction* CMainFrame::AddCommand(int id, const QString& text, QMenu* menu, bool checkable) {
    auto* action = new QAction(text, this);
    action->setCheckable(checkable);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] {
        OnCmdMsg(id);
        UpdateCommandUI();
    });
    if (menu)
        menu->addAction(action);
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    AddCommand(ID_APP_EXIT, tr("E&xit"), fileMenu);

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    AddCommand(ID_VIEW_ALL, tr("&All"), viewMenu, true);
    AddCommand(ID_VIEW_STATUS, tr("&Status"), viewMenu, true);
    AddCommand(ID_VIEW_TIME, tr("&Time"), viewMenu, true);
    AddCommand(ID_VIEW_MAP, tr("&Map"), viewMenu, true);
    AddCommand(ID_VIEW_GRAPH, tr("&Graph"), viewMenu, true);
    viewMenu->addSeparator();
    AddCommand(ID_VIEW_DIALOGBAR, tr("&Dialog bar"), viewMenu, true);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    AddCommand(ID_HELP, tr("&Help"), helpMenu);

    for (QMenu* menu : {fileMenu, viewMenu, helpMenu})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
}

bool CMainFrame::OnCmdMsg(int id) {
    if (m_wndView.OnCmdMsg(id))
        return true;
    switch (id) {
    case ID_VIEW_DIALOGBAR: OnViewDialogBar(); return true;
    case ID_APP_EXIT: close(); return true;
    case ID_HELP: OnHelp(); return true;
    default: return false;
    }
}

void CMainFrame::UpdateCommandUI() {
    for (const auto& [id, action] : m_actions) {
        if (m_wndView.OnUpdateCmdUI(id, *action))
            continue;
        if (id == ID_VIEW_DIALOGBAR)
            action->setChecked(!m_bDialogBarHidden);
    }
}

void CMainFrame::OnViewDialogBar() {
    m_bDialogBarHidden = !m_bDialogBarHidden;
    m_wndDlgBarDock->setVisible(!m_bDialogBarHidden);
}

void CMainFrame::OnSuspend() {
    if (m_wndView.IsRunning()) {
        m_wndView.OnStop();
        m_wndView.m_bResumeAfterSuspend = true;
    }
}

void CMainFrame::OnResume() {
    if (m_wndView.m_bResumeAfterSuspend)
        m_wndView.OnStart();
}

void CMainFrame::OnHelp() {
    // The help file sits beside the executable under the product's name.
    const QString helpFile =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Orvane.chm"));
    if (QFileInfo::exists(helpFile))
        QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_wndView.OnDestroy();
    event->accept();
}
