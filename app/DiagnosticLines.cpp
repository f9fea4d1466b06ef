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
    QString reason;
    QString trimFailure;
    const bool written = AppendNarrowed(m_strDebugPath, line, {}, &reason, &trimFailure);
    ReportFileWrite(written, QStringLiteral("write the debug file"), m_strDebugPath, reason,
                    m_strDebugFileFailure, trimFailure);
}

void CChildView::ReportFileWrite(bool written, const QString& what, const QString& path,
                                 const QString& reason, QString& reported, const QString& trimFailure) {
    if (written && !trimFailure.isEmpty())
        ReportFileFailure(QStringLiteral("trim"), path + QStringLiteral(" to its size limit"), trimFailure,
                          reported);
    else if (written)
        reported.clear();
    else if (!path.isEmpty()) // no file named: nothing to say
        ReportFileFailure(what, path, reason, reported);
}

void CChildView::ReportFileFailure(const QString& what, const QString& path, const QString& reason,
                                   QString& reported) {
    ReportOnce(QStringLiteral("Unable to %1 %2: %3").arg(what, path, reason), reported);
}

void CChildView::ReportOnce(const QString& text, QString& reported) {
    if (reported == text)
        return;
    reported = text; // before the line, which may fail on the same file
    UserWindowLine(text);
    // The line may have reached the very file that failed (a short line where a long one did not
    // fit); that is no sign the file takes its lines again.
    reported = text;
    if (m_pMainFrame)
        m_pMainFrame->ShowLinkStatus(text);
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
    QString reason;
    QString trimFailure;
    const bool written = AppendNarrowed(m_strUserPath, text, {}, &reason, &trimFailure);
    ReportFileWrite(written, QStringLiteral("write the user-window file"), m_strUserPath, reason,
                    m_strUserFileFailure, trimFailure);
}

void CChildView::UpdateTitle() {
    g_strWindowTitle = WindowTitle(platform::ExecutableBaseName(), m_strComPort);
    if (m_pMainFrame)
        m_pMainFrame->setWindowTitle(g_strWindowTitle);
}
