#include "app/MainFrame.h"

#include "app/AppIcon.h"
#include "app/CommandIds.h"
#include "app/Globals.h"
#include "controls/ToolbarIcons.h"
#include "platform/PowerManagement.h"

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
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

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

    // No lock-key indicators: the platform does not tell their state.
    m_wndStatusBar = statusBar();
    // A pane of its own, so menu hints passing over the bar do not wipe the link's state.
    m_wndLinkStatus = new QLabel(m_wndStatusBar);
    m_wndLinkStatus->setTextFormat(Qt::PlainText);
    m_wndStatusBar->addWidget(m_wndLinkStatus, 1);

    m_pProbeAction = new QAction(this);
    CreateMenus();
    CreateToolBar();
    connect(&m_wndDlgBar, &CvDlgBar::command, this, [this](int id) {
        OnCmdMsg(id);
        UpdateCommandUI();
    });
    // The toolbar shows its enabling and check marks all the time: refresh them as the state
    // they read changes (running, stopped, after an upload) without waiting for a command.
    auto* uiTimer = new QTimer(this);
    connect(uiTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    uiTimer->start(250);
    m_wndView.OnCreate(this, &m_wndDlgBar);
    UpdateCommandUI();

    // The PC's suspend and resume notices.
    connect(&platform::PowerManagement::instance(), &platform::PowerManagement::suspending, this,
            &CMainFrame::OnSuspend);
    connect(&platform::PowerManagement::instance(), &platform::PowerManagement::resumed, this,
            &CMainFrame::OnResume);
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
    AddCommand(ID_EXPORT_PROFILE, tr("Export profile as ..."), fileMenu);
    AddCommand(ID_IMPORT_PROFILE, tr("Import profile ..."), fileMenu);
    AddCommand(ID_CLEAR_PROFILE, tr("Clear profile"), fileMenu);
    fileMenu->addSeparator();
    AddCommand(ID_CHOOSE_LOG_FILE, tr("Choose logfile ..."), fileMenu);
    AddCommand(ID_CHOOSE_SATELLITE_FILE, tr("Choose satellite file ..."), fileMenu);
    AddCommand(ID_CHOOSE_HTML_FILE, tr("Choose HTML file ..."), fileMenu);
    AddCommand(ID_CHOOSE_USER_FILE, tr("Choose user file ..."), fileMenu);
    AddCommand(ID_CHOOSE_DEBUG_FILE, tr("Choose debug file ..."), fileMenu);
    AddCommand(ID_MAP_BACKDROP_FILE, tr("Map backdrop file ..."), fileMenu);
    fileMenu->addSeparator();
    AddCommand(ID_APP_EXIT, tr("E&xit"), fileMenu);

    QMenu* settingsMenu = menuBar()->addMenu(tr("Settings"));
    AddCommand(ID_OPTIONS, tr("Options"), settingsMenu);
    settingsMenu->addSeparator();
    AddCommand(ID_RECEIVER_HP, tr("Hewlett Packard"), settingsMenu, true);
    AddCommand(ID_RECEIVER_DATUM, tr("Datum 2000"), settingsMenu, true);
    AddCommand(ID_RECEIVER_PROTEUS, tr("NavSymm Proteus"), settingsMenu, true);
    AddCommand(ID_RECEIVER_JACKSON, tr("Jackson Labs"), settingsMenu, true);
    AddCommand(ID_RECEIVER_UCCM, tr("UCCM"), settingsMenu, true);
    settingsMenu->addSeparator();
    AddCommand(ID_AUTO_RUN, tr("Auto-run ?"), settingsMenu, true);
    AddCommand(ID_READ_ERROR_QUEUE, tr("Read error queue ?"), settingsMenu, true);
    AddCommand(ID_AUTO_LEAPS, tr("Auto read leap seconds ?"), settingsMenu, true);
    AddCommand(ID_BEEP_ON_ERROR, tr("Beep on error ?"), settingsMenu, true);
    settingsMenu->addSeparator();
    AddCommand(ID_DEBUG_TO_USER_WINDOW, tr("Debug to user window ?"), settingsMenu, true);
    AddCommand(ID_VERBOSE_SERIAL, tr("Verbose serial to user window ?"), settingsMenu, true);
    AddCommand(ID_FTP_DEBUG, tr("FTP debug to user window ?"), settingsMenu, true);
    AddCommand(ID_USER_TO_FILE, tr("User window to file ?"), settingsMenu, true);
    AddCommand(ID_DEBUG_FILE_ENABLE, tr("Debug file enable ?"), settingsMenu, true);
    settingsMenu->addSeparator();
    AddCommand(ID_HIDE, tr("Hide"), settingsMenu);

    QMenu* commandsMenu = menuBar()->addMenu(tr("Commands"));
    AddCommand(ID_START, tr("Start"), commandsMenu);
    AddCommand(ID_STOP, tr("Stop"), commandsMenu);
    commandsMenu->addSeparator();
    AddCommand(ID_SET_TIME, tr("Set time"), commandsMenu);
    AddCommand(ID_UPDATE_ALL, tr("Update all"), commandsMenu);
    AddCommand(ID_EXPORT, tr("Export"), commandsMenu);
    AddCommand(ID_ANIMATE_SATELLITES, tr("Animate satellites ..."), commandsMenu);

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    AddCommand(ID_VIEW_ALL, tr("All ?"), viewMenu, true);
    AddCommand(ID_VIEW_TIME, tr("Time ?"), viewMenu, true);
    AddCommand(ID_VIEW_MAP, tr("Map ?"), viewMenu, true);
    AddCommand(ID_VIEW_GRAPH, tr("Graph ?"), viewMenu, true);
    AddCommand(ID_VIEW_STATUS, tr("Status ?"), viewMenu, true);
    viewMenu->addSeparator();
    AddCommand(ID_RAW_STATUS, tr("Raw status?"), viewMenu, true);
    AddCommand(ID_IDENTIFY_SATELLITES, tr("Identify satellites ?"), viewMenu, true);
    AddCommand(ID_SAT_BACKDROP, tr("Sat backdrop?"), viewMenu, true);
    viewMenu->addSeparator();
    AddCommand(ID_NO_TRAILS, tr("No trails ?"), viewMenu, true);
    AddCommand(ID_RECENT_TRAILS, tr("Recent trails ?"), viewMenu, true);
    AddCommand(ID_EXTENDED_TRAILS, tr("Extended trails ?"), viewMenu, true);
    viewMenu->addSeparator();
    AddCommand(ID_LOCK_TI_EXTENTS, tr("Lock TI extents ?"), viewMenu, true);
    viewMenu->addSeparator();
    AddCommand(ID_VIEW_TOOLBAR, tr("&Toolbar"), viewMenu, true);
    AddCommand(ID_VIEW_STATUS_BAR, tr("&Status bar"), viewMenu, true);
    AddCommand(ID_VIEW_DIALOGBAR, tr("&Dialog bar ?"), viewMenu, true);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    AddCommand(ID_HELP_FINDER, tr("&Help Topics"), helpMenu);
    helpMenu->addSeparator();
    AddCommand(ID_APP_ABOUT, tr("&About %1...").arg(kProductName), helpMenu);

    for (QMenu* menu : {fileMenu, settingsMenu, commandsMenu, viewMenu, helpMenu}) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            m_wndView.CheckMapBackdrop();
            UpdateCommandUI();
        });
    }
}

void CMainFrame::CreateToolBar() {
    const std::initializer_list<std::initializer_list<int>> groups = {
        {ID_START, ID_STOP},
        {ID_OPTIONS},
        {ID_VIEW_GRAPH, ID_VIEW_MAP, ID_VIEW_TIME, ID_VIEW_ALL, ID_VIEW_STATUS},
        {ID_HIDE, ID_SET_TIME, ID_UPDATE_ALL},
        {ID_NO_TRAILS, ID_RECENT_TRAILS, ID_EXTENDED_TRAILS, ID_SAT_BACKDROP},
        {ID_LOCK_TI_EXTENTS},
    };
    for (const auto& group : groups) {
        for (int id : group) {
            QAction* action = Action(id);
            action->setIcon(ToolbarIcon(id));
            // The tooltip is the menu text without its question mark.
            QString tip = action->text();
            tip.remove(QLatin1Char('&'));
            if (tip.endsWith(QLatin1Char('?')))
                tip.chop(1);
            action->setToolTip(tip.trimmed());
            m_wndToolBar->addAction(action);
        }
        m_wndToolBar->addSeparator();
    }
    m_wndToolBar->addAction(QWhatsThis::createAction(this));
}

bool CMainFrame::OnCmdMsg(int id) {
    if (m_wndView.OnCmdMsg(id))
        return true;
    switch (id) {
    case ID_VIEW_DIALOGBAR: OnViewDialogBar(); return true;
    case ID_VIEW_TOOLBAR: OnViewToolBar(); return true;
    case ID_VIEW_STATUS_BAR: OnViewStatusBar(); return true;
    case ID_APP_EXIT: close(); return true;
    case ID_HELP:
    case ID_HELP_FINDER: OnHelp(); return true;
    default: return false;
    }
}

bool CMainFrame::OnUpdateFrameCmdUI(int id, QAction& action) const {
    switch (id) {
    case ID_VIEW_DIALOGBAR: action.setChecked(!m_bDialogBarHidden); return true;
    case ID_VIEW_TOOLBAR: action.setChecked(!m_wndToolBar->isHidden()); return true;
    case ID_VIEW_STATUS_BAR: action.setChecked(!m_wndStatusBar->isHidden()); return true;
    case ID_APP_EXIT:
    case ID_HELP:
    case ID_HELP_FINDER: return true;
    default: return false;
    }
}

void CMainFrame::UpdateCommandUI() {
    for (const auto& [id, action] : m_actions) {
        // The handlers see an enabled, unchecked stand-in; what they leave is copied over.
        QAction& probe = *m_pProbeAction;
        probe.setCheckable(action->isCheckable());
        probe.setChecked(false);
        probe.setEnabled(true);
        const bool handled = m_wndView.OnUpdateCmdUI(id, probe) || OnUpdateFrameCmdUI(id, probe);
        action->setEnabled(handled && probe.isEnabled());
        if (action->isCheckable())
            action->setChecked(probe.isChecked());
    }
}

void CMainFrame::OnViewDialogBar() {
    m_bDialogBarHidden = !m_bDialogBarHidden;
    m_wndDlgBarDock->setVisible(!m_bDialogBarHidden);
}

void CMainFrame::OnViewToolBar() { m_wndToolBar->setVisible(m_wndToolBar->isHidden()); }

void CMainFrame::OnViewStatusBar() { m_wndStatusBar->setVisible(m_wndStatusBar->isHidden()); }

void CMainFrame::OnSuspend() {
    if (m_wndView.IsRunning()) {
        m_wndView.OnStop();
        m_wndView.m_bResumeAfterSuspend = true;
    }
}

void CMainFrame::OnResume() {
    if (m_wndView.m_bResumeAfterSuspend)
        m_wndView.StartUnattended();
}

void CMainFrame::ShowLinkStatus(const QString& text) {
    m_wndLinkStatus->setText(text);
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
    // Closing the main window ends the program even when it is hidden to the tray (a termination
    // signal then), where closing a hidden window would not end the event loop by itself.
    QCoreApplication::quit();
}
