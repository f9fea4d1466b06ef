// The view's menu and toolbar commands of the operator: switches, receiver family, file choices,
// trails, Update all and Auto-run, with their check marks and enabling.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/FileDialog.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QFileInfo>
#include <utility>

namespace {
int FamilyOfCommand(int id) {
    switch (id) {
    case ID_RECEIVER_HP:
        return RECEIVER_HP;
    case ID_RECEIVER_DATUM:
        return RECEIVER_DATUM;
    case ID_RECEIVER_PROTEUS:
        return RECEIVER_PROTEUS;
    case ID_RECEIVER_JACKSON:
        return RECEIVER_JACKSON;
    case ID_RECEIVER_UCCM:
        return RECEIVER_UCCM;
    default:
        return -1;
    }
}

// 0 none, 1 recent, 2 extended
int TrailModeOfCommand(int id) {
    return id - ID_NO_TRAILS;
}

// The menus' on/off switches: each command flips its member and shows it as its check mark.
struct MenuSwitch {
    int id;
    bool CChildView::*member;
    bool redrawsMap; // the sky map shows the switch
};

constexpr MenuSwitch kMenuSwitches[] = {
    {ID_READ_ERROR_QUEUE, &CChildView::m_bDeQueue, false},
    {ID_AUTO_LEAPS, &CChildView::m_bAutoLeaps, false},
    {ID_BEEP_ON_ERROR, &CChildView::m_bBeepOnError, false},
    {ID_DEBUG_TO_USER_WINDOW, &CChildView::m_bComsDebug, false},
    {ID_VERBOSE_SERIAL, &CChildView::m_bVerboseDebug, false},
    {ID_FTP_DEBUG, &CChildView::m_bFtpDebug, false},
    {ID_USER_TO_FILE, &CChildView::m_bUserToFile, false},
    {ID_DEBUG_FILE_ENABLE, &CChildView::m_bDebugEnable, false},
    {ID_RAW_STATUS, &CChildView::m_bRawStatus, false},
    {ID_IDENTIFY_SATELLITES, &CChildView::m_bIdentSats, true},
    {ID_SAT_BACKDROP, &CChildView::m_bMapBackdrop, true},
};

const MenuSwitch* FindMenuSwitch(int id) {
    for (const MenuSwitch& s : kMenuSwitches)
        if (s.id == id)
            return &s;
    return nullptr;
}
} // namespace

bool CChildView::OnControlCommand(int id) {
    if (id >= IDC_BUTTON1 && id <= IDC_BUTTON40) {
        OnCommandButton(id - IDC_BUTTON1);
        return true;
    }
    if (const int family = FamilyOfCommand(id); family >= 0) {
        OnReceiverFamily(family);
        return true;
    }
    if (const MenuSwitch* s = FindMenuSwitch(id)) {
        this->*s->member = !(this->*s->member);
        if (s->redrawsMap)
            InvalidateMap();
        return true;
    }
    switch (id) {
    // dialog bar
    case IDC_SEND:
        OnSendButton();
        return true;
    case IDC_CLEAR_USER_WINDOW:
        OnClearUserWindow();
        return true;
    case IDC_LARGE_FONT:
        OnLargeFont();
        return true;
    // switches
    case ID_AUTO_RUN:
        OnAutoRun();
        return true;
    case ID_NO_TRAILS:
    case ID_RECENT_TRAILS:
    case ID_EXTENDED_TRAILS:
        m_nTrailMode = TrailModeOfCommand(id);
        InvalidateMap();
        return true;
    case ID_LOCK_TI_EXTENTS:
        OnLockTiExtents();
        return true;
    case ID_EXPORT:
        OnExport();
        return true;
    case ID_ANIMATE_SATELLITES:
        OnAnimateSatellites();
        return true;
    // files
    case ID_CHOOSE_LOG_FILE:
        ChooseFile(m_strLogPath);
        return true;
    case ID_CHOOSE_SATELLITE_FILE:
        ChooseFile(m_strDumpPath);
        return true;
    case ID_CHOOSE_HTML_FILE:
        ChooseFile(m_strHtmlPath);
        return true;
    case ID_CHOOSE_USER_FILE:
        ChooseFile(m_strUserPath);
        return true;
    case ID_CHOOSE_DEBUG_FILE:
        ChooseFile(m_strDebugPath);
        return true;
    case ID_MAP_BACKDROP_FILE:
        OnMapBackdropFile();
        return true;
    // actions
    case ID_START:
        OnStart();
        return true;
    case ID_STOP:
        OnStopCommand();
        return true;
    case ID_UPDATE_ALL:
        OnUpdateAll();
        return true;
    case ID_HIDE:
        OnHide();
        return true;
    case ID_APP_ABOUT:
        OnAppAbout();
        return true;
    default:
        return false;
    }
}

bool CChildView::OnUpdateControlCommand(int id, QAction& action) {
    if (const int family = FamilyOfCommand(id); family >= 0) {
        action.setChecked(g_nReceiverType == family);
        OnUpdateWhenStopped(action);
        return true;
    }
    if (const MenuSwitch* s = FindMenuSwitch(id)) {
        action.setChecked(this->*s->member);
        if (id == ID_READ_ERROR_QUEUE)
            action.setEnabled(g_nReceiverType == RECEIVER_HP || g_nReceiverType == RECEIVER_DATUM);
        else if (id == ID_SAT_BACKDROP)
            action.setEnabled(m_bMapBackdropReadable);
        return true;
    }
    switch (id) {
    case ID_AUTO_RUN:
        action.setChecked(m_bAutoRun);
        return true;
    case ID_NO_TRAILS:
    case ID_RECENT_TRAILS:
    case ID_EXTENDED_TRAILS:
        action.setChecked(m_nTrailMode == TrailModeOfCommand(id));
        return true;
    case ID_LOCK_TI_EXTENTS:
        action.setChecked(m_bHoldMin[kTimeIntervalChannel]);
        return true;
    case ID_START:
    case ID_CHOOSE_LOG_FILE:
    case ID_CHOOSE_SATELLITE_FILE:
    case ID_CHOOSE_HTML_FILE:
        OnUpdateWhenStopped(action);
        return true;
    case ID_STOP:
        // Also while a failed port is being reopened, so the operator can end that.
        action.setEnabled(IsRunning() || m_bReconnecting);
        return true;
    case ID_HIDE:
        OnUpdateWhenRunning(action);
        return true;
    case ID_UPDATE_ALL:
        action.setEnabled(m_bUpdateAllEnabled);
        return true;
    // Always enabled.
    case ID_EXPORT:
    case ID_ANIMATE_SATELLITES:
    case ID_CHOOSE_USER_FILE:
    case ID_CHOOSE_DEBUG_FILE:
    case ID_MAP_BACKDROP_FILE:
    case ID_APP_ABOUT:
    case IDC_SEND:
    case IDC_CLEAR_USER_WINDOW:
    case IDC_LARGE_FONT:
        return true;
    default:
        if (id >= IDC_BUTTON1 && id <= IDC_BUTTON40)
            return true;
        return false;
    }
}

void CChildView::OnUpdateWhenStopped(QAction& action) const {
    action.setEnabled(!IsRunning());
}

void CChildView::OnUpdateWhenRunning(QAction& action) const {
    action.setEnabled(IsRunning());
}

void CChildView::OnAutoRun() {
    m_bAutoRun = !m_bAutoRun;
    // Written at once, so a crash or power cut keeps the operator's choice.
    platform::OpenSettingsStore()->setValue(SettingsKey::WasRunning, m_bAutoRun ? 1 : 0);
}

void CChildView::OnReceiverFamily(int family) {
    g_nReceiverType = family;
    // The status screen of the family before is no status of this one.
    m_strRawStatus.clear();
    m_wndText.m_strText.clear();
    m_wndText.update();
    SetReceiverDefaults();
    SaveSettings();
}

void CChildView::OnLockTiExtents() {
    m_wndGraph.m_bCacheValid = false;
    m_bHoldMin[kTimeIntervalChannel] = !m_bHoldMin[kTimeIntervalChannel];
    m_bHoldMax[kTimeIntervalChannel] = m_bHoldMin[kTimeIntervalChannel];
    m_wndGraph.update();
}

void CChildView::OnUpdateAll() {
    m_dwLastLog = 0;
    m_dwLastHtml = 0;
    m_dwLastFtp = 0;
    m_dwLastExport = 0;
    m_bUpdateAllEnabled = false;
    m_bForceUpdate = true;
}

void CChildView::ChooseFile(QString& path) {
    if (const auto chosen = platform::ChooseFile(platform::FileDialogKind::Save, this, path))
        path = *chosen;
}

void CChildView::OnMapBackdropFile() {
    const auto chosen = platform::ChooseFile(platform::FileDialogKind::Open, this, m_strMapPath);
    if (!chosen)
        return;
    m_strMapPath = *chosen;
    CheckMapBackdrop();
    InvalidateMap();
    SaveSettings();
}

void CChildView::CheckMapBackdrop() {
    // Opening the file could wait for good (a FIFO, a device, a hung mount): its kind and
    // permissions are enough.
    const QFileInfo info(m_strMapPath);
    m_bMapBackdropReadable = !m_strMapPath.isEmpty() && info.isFile() && info.isReadable();
}

void CChildView::InvalidateMap() {
    m_wndMap.m_bCacheValid = false;
    m_wndMap.update();
}

void CChildView::OnExport() {
    // While polling, the port is closed for the export, so that no reply is read meanwhile.
    const bool running = IsRunning();
    if (running)
        OnStop();
    ExportImages();
    if (running)
        OnStart();
}

void CChildView::OnAnimateSatellites() {
    m_wndMap.Animate();
    // The map shows no satellites until the next satellite answer.
    for (CSatInfo& sat : m_sat)
        sat.Empty();
    for (const int id : std::exchange(m_deferredTicks, {}))
        PostTimer(id);
}
