#include "app/ChildView.h"

#include "app/AppIcon.h"
#include "app/Globals.h"
#include "app/Layout.h"
#include "app/MainFrame.h"
#include "app/OutputPlaces.h"
#include "app/TimerPeriod.h"
#include "controls/DlgBar.h"
#include "platform/CappedFile.h"
#include "platform/Paths.h"
#include "platform/SerialPort.h"
#include "publishing/DataLogFormat.h"
#include "receiver/CommandTables.h"
#include "receiver/SatelliteTrackFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QResizeEvent>
#include <QTimerEvent>

CChildView::CChildView(QWidget* parent) : QWidget(parent), m_wndMap(this), m_wndGraph(this), m_wndText(this) {
    // Custom colours 0 to 7 start as the trace colours, the rest white.
    m_crCustom.fill(RGB(255, 255, 255));
    std::copy(kTraceColourTable.begin(), kTraceColourTable.end(), m_crCustom.begin());
    ResetGraphChannels();
    SetDefaultFilePaths();
    m_hIcon = AppIcon();
    m_strComPort = QString::fromLatin1(kDefaultComPorts[0]);
    m_strComPort2 = QString::fromLatin1(kDefaultComPorts[1]);

    // The three child windows, placed by the layout.
    for (QWidget* child : {static_cast<QWidget*>(&m_wndMap), static_cast<QWidget*>(&m_wndGraph),
                           static_cast<QWidget*>(&m_wndText)}) {
        child->setParent(this);
        child->setGeometry(0, 0, 100, 100);
    }
    m_wndMap.move(10, 0);
}

CChildView::~CChildView() {
    // The shut-down runs once; here it covers a view destroyed without its window being closed.
    OnDestroy();
}

QString CChildView::DataFolder() {
    const QString documents = platform::DocumentsFolder();
    if (documents.isEmpty())
        return {};
    return documents + QLatin1Char('/') + kProductName;
}

void CChildView::SetDefaultFilePaths() {
    const QString folder = DataFolder();
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder); // an existing folder is no error; a failure is ignored
    m_strUserPath = folder + QStringLiteral("/gpsuser.txt");
    m_strHtmlPath = folder + QStringLiteral("/gpsstat.htm");
    m_strLogPath = folder + QStringLiteral("/gpslog.log");
    m_strDumpPath = folder + QStringLiteral("/gpsdmp.bin");
    m_strMapPath = folder + QStringLiteral("/earth.png");
    m_strDebugPath = folder + QStringLiteral("/gpsdebug.txt");
}

void CChildView::OnCreate(CMainFrame* frame, CvDlgBar* dialogBar) {
    m_pMainFrame = frame;
    m_pDlgBar = dialogBar;
    if (m_pDlgBar)
        m_pDlgBar->m_pView = this;
    SetTimer(IDT_STARTUP, 0);
}

void CChildView::Initialise() {
    // 1. The dialog bar's two diagnostic boxes are hidden.
    if (m_pDlgBar) {
        for (int id : {IDC_DEBUG_BOX1, IDC_DEBUG_BOX2})
            if (QWidget* box = m_pDlgBar->GetDlgItem(id))
                box->hide();
    }
    // 2. Settings.
    LoadSettings();
    if (!g_strPortOverride.isEmpty()) {
        // A port named on the command line is for this run only: the stored one is saved back.
        m_strStoredComPort = m_strComPort;
        m_strComPort = g_strPortOverride;
    }
    // 3. The "Large font" box.
    if (m_pDlgBar)
        if (auto* largeFont = qobject_cast<QCheckBox*>(m_pDlgBar->GetDlgItem(IDC_LARGE_FONT)))
            largeFont->setChecked(m_bLargeUserFont);
    // 4. The receiver family.
    if (static_cast<unsigned>(g_nReceiverType) > 4u) {
        // No family stored yet, or one out of range.
        g_nReceiverType = RECEIVER_JACKSON;
        SetReceiverDefaults();
    } else if (!m_bOldRegVersion) {
        // Stored settings of this layout: take the family's prompts, poll requests, buttons and
        // command list, keeping a non-empty auxiliary prompt list of the operator's.
        m_strPrompts = g_ReplyPrompts[g_nReceiverType];
        if (m_strOKPrompt.isEmpty())
            m_strOKPrompt = m_strPrompts;
        for (int slot = 0; slot < kPollSlots; ++slot)
            m_strPollCommand[slot] = g_PollCommands[g_nReceiverType][slot];
        LoadDefaultButtons();
        // The current receiver profile's buttons and command list over the family's.
        ReadProfile(false);
    } else {
        // Settings of an older layout: the family's full set-up.
        SetReceiverDefaults();
    }
    CheckMapBackdrop();
    // 5. A data log of an older layout is deleted: a log, never a device or FIFO in its place.
    if (m_bOldLogVersion) {
        if (QFileInfo(m_strLogPath).isFile())
            QFile::remove(m_strLogPath);
        m_bOldLogVersion = false;
    }
    // A trim in place of the data log or the track file that a kill or power failure interrupted
    // is finished before the graph and the map read them, its syncs said as a trim's are.
    ReportTrimSyncs(ReportedOutput::DataLog, m_strLogPath,
                    platform::FinishInterruptedTrim(m_strLogPath, LogTrimRule(m_nLogMaxSize)));
    ReportTrimSyncs(ReportedOutput::TrackFile, m_strDumpPath,
                    platform::FinishInterruptedTrim(m_strDumpPath, TrackTrimRule(m_nTrackMaxSize)));
    // 6. The frame reopens where it was closed.
    WindowPlacement placement;
    if (m_pMainFrame && LoadWindowPlacement(placement))
        ApplyWindowPlacement(*m_pMainFrame, placement);
    // 7. Title.
    UpdateTitle();
    // 8. Stopped, with the menu enablers at rest.
    m_bUpdateAllEnabled = false;
    m_bOptionsEnabled = true;
    m_bSetTimeEnabled = false;
    // 9. and 10. The user-window fonts: the small one from the font settings, the large one the
    // dialog bar's own font in the status face (an 11-pixel font when there is no bar).
    m_fontUserSmall = DisplayFont(m_strSmallStatusFace, m_nSmallStatusHeight, m_nSmallStatusWidth, true);
    if (m_pDlgBar) {
        m_fontUserLarge = m_pDlgBar->font();
        m_fontUserLarge.setFamily(m_strSmallStatusFace);
        m_fontUserLarge.setStyleHint(QFont::TypeWriter);
        m_fontUserLarge.setFixedPitch(true);
    } else {
        m_fontUserLarge = DisplayFont(m_strSmallStatusFace, -11, 0, true);
    }
    if (m_pDlgBar)
        m_pDlgBar->ApplyUserWindowFont();
    // 11. Cached pictures.
    m_wndMap.CreateCachedBitmap();
    m_wndGraph.CreateCachedBitmap();
    // 12. and 13.
    m_bInitialised = true;
    SetTimer(IDT_USER_COMMAND, ClampTimerPeriod(m_nRemoteInterval));
    // 14. and 15.
    RecalcLayout();
    m_wndGraph.m_bCacheValid = false;
    m_wndGraph.update();
    m_wndMap.m_bCacheValid = false;
    m_wndMap.update();
    // 16. Auto-run: nobody may be there to answer a message box, and the receiver may come later.
    if (m_bAutoRun)
        StartUnattended();
}

void CChildView::OnDestroy() {
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    // Stop first: it closes the ports and joins the SNTP thread, which reads the view.
    OnStop();
    EndFtpUpload(); // its thread reports to the view
    RemoveTrayIcon();
    // Before the start-up tick has loaded the settings, the members hold only their defaults:
    // saving them would overwrite the stored settings.
    if (m_bInitialised)
        SaveSettings();
    for (int id : {IDT_USER_COMMAND, IDT_STARTUP, IDT_POLL, IDT_GRAPH_REFRESH, IDT_RECONNECT})
        KillTimer(id);
    // Likewise the placement: the window has not been placed yet.
    if (m_bInitialised && m_pMainFrame)
        SaveWindowPlacement(ReadWindowPlacement(*m_pMainFrame));
}

// ---- command routing ----

bool CChildView::OnCmdMsg(int id) {
    // A command that switches an output off or points it elsewhere (Options, the menu's switches
    // and file choices) ends the failures said of it.
    const OutputPlaces before = PlacesOfOutputs(*this);
    const bool handled = DispatchCommand(id);
    if (!m_bDestroyed)
        for (const ReportedOutput output : MovedOutputs(before, PlacesOfOutputs(*this)))
            EndFailures(output);
    return handled;
}

bool CChildView::DispatchCommand(int id) {
    switch (id) {
    case ID_VIEW_ALL:
        OnViewAll();
        return true;
    case ID_VIEW_STATUS:
        OnViewStatus();
        return true;
    case ID_VIEW_TIME:
        OnViewTime();
        return true;
    case ID_VIEW_MAP:
        OnViewMap();
        return true;
    case ID_VIEW_GRAPH:
        OnViewGraph();
        return true;
    case ID_SET_TIME:
        OnSetTime();
        return true;
    default:
        return OnSettingsCommand(id) || OnControlCommand(id);
    }
}

bool CChildView::OnUpdateCmdUI(int id, QAction& action) {
    switch (id) {
    case ID_VIEW_ALL:
        action.setChecked(m_nViewMode == ViewModeAll);
        return true;
    case ID_VIEW_TIME:
        action.setChecked(m_nViewMode == ViewModeTime);
        return true;
    case ID_VIEW_MAP:
        action.setChecked(m_nViewMode == ViewModeMap);
        return true;
    case ID_VIEW_GRAPH:
        action.setChecked(m_nViewMode == ViewModeGraph);
        return true;
    case ID_VIEW_STATUS:
        action.setChecked(m_nViewMode == ViewModeStatus);
        return true;
    case ID_SET_TIME:
        OnUpdateSetTime(action);
        return true;
    default:
        return OnUpdateSettingsCommand(id, action) || OnUpdateControlCommand(id, action);
    }
}

// ---- timers ----

void CChildView::SetTimer(int id, int periodMs) {
    m_timerPeriods[id] = std::max(0, periodMs);
    m_timers[id].start(m_timerPeriods[id], this);
}

void CChildView::KillTimer(int id) {
    const auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second.stop();
}

int CChildView::TimerPeriod(int id) const {
    const auto it = m_timerPeriods.find(id);
    return it == m_timerPeriods.end() ? -1 : it->second;
}

bool CChildView::IsTimerActive(int id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second.isActive();
}

void CChildView::PostTimer(int id) {
    QMetaObject::invokeMethod(
        this, [this, id] { OnTimer(id); }, Qt::QueuedConnection);
}

void CChildView::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timer] : m_timers) {
        if (timer.timerId() == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(event);
}

void CChildView::OnTimer(int id) {
    // The timer that fired is killed first and armed again where its work goes on, so no two
    // ticks of one timer overlap.
    if (m_bDestroyed)
        return; // a tick posted or deferred before the shut-down
    if (m_wndMap.IsAnimating()) {
        // Nothing of the poll cycle runs inside the map's replay: running timers keep firing
        // and are heard after it; a posted tick waits for its end.
        if (!IsTimerActive(id))
            m_deferredTicks.insert(id);
        return;
    }
    KillTimer(id);
    switch (id) {
    case IDT_STARTUP:
        Initialise();
        break;
    case IDT_POLL:
        PollTick();
        break;
    case IDT_GRAPH_REFRESH:
        m_wndGraph.m_bCacheValid = false;
        m_wndGraph.update();
        break;
    case IDT_USER_COMMAND:
        UserCommandTick();
        break;
    case IDT_RECONNECT:
        ReconnectTick();
        break;
    case IDT_TRAY_WATCH:
        TrayWatchTick();
        break;
    default:
        break;
    }
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcLayout();
}
