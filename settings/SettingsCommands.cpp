// The Settings and File menus' commands of the settings: Options, and the profile commands
// (settings/ProfileCommands.cpp), with their enabling.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/TimerPeriod.h"
#include "settings/OptionsSheet.h"

#include <QAction>
#include <QCoreApplication>

void CChildView::OnOptions() {
    // The poll cycle, the command queue, the retries of a failed port and the SNTP thread read
    // what the sheet edits: all rest while it is open. An upload run ends too: it goes on the
    // settings of before.
    KillTimer(IDT_USER_COMMAND);
    KillTimer(IDT_RECONNECT);
    AbortFtpUpload();
    const bool wasRunning = IsRunning();
    if (wasRunning) {
        OnStop();
        // What Stop left queued is handled before the sheet takes over, unless the program is
        // ending.
        if (!m_bDestroyed && !QCoreApplication::closingDown())
            QCoreApplication::processEvents();
    }
    StopTimeServer();
    const bool accepted = DoOptionsDialog();
    // A shut-down inside the sheet (a termination signal) has stopped everything and saved the
    // settings: nothing starts again.
    if (m_bDestroyed)
        return;
    if (accepted) {
        SaveSettings();
        m_wndGraph.m_bCacheValid = false;
        m_wndGraph.update();
    }
    // The port opens with the settings as the sheet left them.
    if (m_bReconnecting)
        ReconnectTick();
    else if (wasRunning)
        OnStart();
    UpdateTitle();
    SetTimer(IDT_USER_COMMAND, ClampTimerPeriod(m_nRemoteInterval));
}

bool CChildView::DoOptionsDialog() {
    ProcessSettings process{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay};
    COptionsSheet sheet(OptionsTarget{*this, process, g_nReceiverType}, this);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    g_bUseBitmap = process.useBitmap;
    g_bBlitFromDisplay = process.blitFromDisplay;
    return true;
}

bool CChildView::OnSettingsCommand(int id) {
    switch (id) {
    case ID_OPTIONS:
        OnOptions();
        return true;
    case ID_EXPORT_PROFILE:
        OnExportProfile();
        return true;
    case ID_IMPORT_PROFILE:
        OnImportProfile();
        return true;
    case ID_CLEAR_PROFILE:
        OnClearProfile();
        return true;
    default:
        return false;
    }
}

bool CChildView::OnUpdateSettingsCommand(int id, QAction& action) const {
    switch (id) {
    case ID_OPTIONS:
        return true;
    case ID_EXPORT_PROFILE:
    case ID_IMPORT_PROFILE:
        OnUpdateWhenStopped(action);
        return true;
    case ID_CLEAR_PROFILE:
        action.setEnabled(!m_strProfilePath.isEmpty());
        return true;
    default:
        return false;
    }
}
