// The view's diagnostic writers: user-window lines, the user-window file, the debug file, and the
// window title.
#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "platform/Paths.h"
#include "platform/WallClock.h"

void CChildView::DebugToFile(QString text) {
    const QString line = DebugLine(platform::ToLocalTime(platform::CurrentWallClock().now()), text);
    AppendNarrowed(m_strDebugPath, line);
}

void CChildView::Diagnostic(const QString& text) {
    if (m_bDebugEnable)
        DebugToFile(text);
    if (m_bComsDebug)
        UserWindowLine(text);
}

void CChildView::UserWindowLine(QString text) {
    const QString line = UserLine(platform::ToUtcTime(platform::CurrentWallClock().now()), text);
    if (m_pDlgBar && m_pDlgBar->GetDlgItem(IDC_USER_WINDOW))
        m_pDlgBar->AppendToUserWindow(line);
    AppendUserFile(line);
}

void CChildView::AppendUserFile(const QString& text) {
    if (!m_bUserToFile)
        return;
    AppendNarrowed(m_strUserPath, text);
}

void CChildView::UpdateTitle() {
    g_strWindowTitle = WindowTitle(platform::ExecutableBaseName(), m_strComPort);
    if (m_pMainFrame)
        m_pMainFrame->setWindowTitle(g_strWindowTitle);
}
