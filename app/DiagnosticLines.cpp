// The view's diagnostic writers: user-window lines, the user-window file, the debug file, the
// failures said once, and the window title.
#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "platform/Paths.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFormat.h"
#include "receiver/SatelliteTrackFile.h"

#include <QLabel>

namespace {

// What a trim whose syncs failed means for the file, after the system's reason.
const QString kUnsyncedTrim =
    QStringLiteral("; the lines it moved may not have reached the disk, and a power failure could lose them");
// What a trim in place that went on without its record risked, after the system's reason.
const QString kUnrecordedTrim =
    QStringLiteral("; the trim went on without its record, and a kill part-way would have lost kept lines");

// Where a capped file's failed trims, their failed syncs and their lost records are said, apart
// from its writes and from each other: each stands with its own reason.
struct TrimOutputs {
    ReportedOutput file;
    ReportedOutput trim;
    ReportedOutput trimSyncs;
    ReportedOutput trimRecord;
};
constexpr TrimOutputs kCappedFiles[] = {
    {ReportedOutput::UserWindowFile, ReportedOutput::UserWindowFileTrim,
     ReportedOutput::UserWindowFileTrimSyncs, ReportedOutput::UserWindowFileTrimRecord},
    {ReportedOutput::DebugFile, ReportedOutput::DebugFileTrim, ReportedOutput::DebugFileTrimSyncs,
     ReportedOutput::DebugFileTrimRecord},
    {ReportedOutput::TrackFile, ReportedOutput::TrackFileTrim, ReportedOutput::TrackFileTrimSyncs,
     ReportedOutput::TrackFileTrimRecord},
    {ReportedOutput::DataLog, ReportedOutput::DataLogTrim, ReportedOutput::DataLogTrimSyncs,
     ReportedOutput::DataLogTrimRecord},
};

TrimOutputs TrimOutputsOf(ReportedOutput file) {
    for (const TrimOutputs& capped : kCappedFiles)
        if (capped.file == file)
            return capped;
    return {file, file, file, file}; // no capped file: never trimmed
}

} // namespace

void CChildView::DebugToFile(QString text) {
    const QString line = DebugLine(platform::ToLocalTime(platform::CurrentWallClock().now()), text);
    QString reason;
    QString trimFailure;
    platform::TrimSyncs trimSyncs;
    const bool written =
        AppendNarrowed(m_strDebugPath, line, {}, &reason, &trimFailure, TextStart::AsItComes, &trimSyncs);
    ReportFileWrite(ReportedOutput::DebugFile, written, QStringLiteral("write the debug file"),
                    m_strDebugPath, reason, trimFailure, trimSyncs);
}

bool CChildView::ReportFailure(ReportedOutput output, const QString& text) {
    if (!m_saidFailures.IsNew(output, text))
        return false;
    m_saidFailures.Remember(output, text); // before the line, which may fail on the same file
    PutUserWindowLine(text, UserText::FailureLine);
    ShowStandingFailure();
    return true;
}

void CChildView::ReportWorking(ReportedOutput output) {
    EndFailures(output);
}

void CChildView::EndFailures(ReportedOutput output) {
    if (m_saidFailures.Forget(output))
        ShowStandingFailure();
}

void CChildView::ShowStandingFailure() {
    // Another output's failure that still stands is not said again, so the bar keeps it in view.
    if (m_pMainFrame)
        m_pMainFrame->ShowLinkStatus(m_saidFailures.Latest());
}

bool CChildView::ReportFileFailure(ReportedOutput output, const QString& what, const QString& path,
                                   const QString& reason) {
    return ReportFailure(output, QStringLiteral("Unable to %1 %2: %3").arg(what, path, reason));
}

void CChildView::ReportTrimSyncs(ReportedOutput output, const QString& path,
                                 const platform::TrimSyncs& trimSyncs) {
    const TrimOutputs outputs = TrimOutputsOf(output);
    if (!trimSyncs.unrecorded.isEmpty())
        ReportFileFailure(outputs.trimRecord, QStringLiteral("record the trim of"), path,
                          trimSyncs.unrecorded + kUnrecordedTrim);
    else if (trimSyncs.trimmed)
        ReportWorking(outputs.trimRecord);
    if (!trimSyncs.failure.isEmpty())
        ReportFileFailure(outputs.trimSyncs, QStringLiteral("sync the trim of"),
                          path + QStringLiteral(" to the disk"), trimSyncs.failure + kUnsyncedTrim);
    else if (trimSyncs.trimmed)
        ReportWorking(outputs.trimSyncs);
}

bool CChildView::HasSizeLimit(ReportedOutput file) const {
    switch (file) {
    case ReportedOutput::DataLog:
        return LogTrimRule(m_nLogMaxSize).Limits();
    case ReportedOutput::TrackFile:
        return TrackTrimRule(m_nTrackMaxSize).Limits();
    default: // the user-window and debug files have one always; the other outputs are never trimmed
        return true;
    }
}

void CChildView::ReportFileWrite(ReportedOutput output, bool written, const QString& what,
                                 const QString& path, const QString& reason, const QString& trimFailure,
                                 const platform::TrimSyncs& trimSyncs) {
    ReportTrimSyncs(output, path, trimSyncs);
    // A file at its limit on a full disk fails by turns, a long line and a short line's trim: each
    // stands, said once, until a write that needs no failed trim.
    if (written && !trimFailure.isEmpty()) {
        ReportFileFailure(TrimOutputsOf(output).trim, QStringLiteral("trim"),
                          HasSizeLimit(output) ? path + QStringLiteral(" to its size limit") : path,
                          trimFailure);
    } else if (written) {
        ReportWorking(output);
        ReportWorking(TrimOutputsOf(output).trim);
    } else if (!path.isEmpty()) { // no file named: nothing to say
        ReportFileFailure(output, what, path, reason);
    }
}

void CChildView::ReportPictureWrite(ReportedOutput output, const QString& picture,
                                    const ImageWriteResult& result) {
    if (result.ok)
        ReportWorking(output);
    else
        ReportFailure(output, QStringLiteral("Unable to write %1: %2").arg(picture, result.error));
}

void CChildView::Diagnostic(const QString& text) {
    if (m_bDebugEnable)
        DebugToFile(text);
    if (m_bComsDebug)
        UserWindowLine(text);
}

void CChildView::UserWindowLine(QString text) {
    PutUserWindowLine(text, UserText::Line);
}

void CChildView::PutUserWindowLine(const QString& text, UserText kind) {
    const QString line = UserLine(platform::ToUtcTime(platform::CurrentWallClock().now()), text);
    if (m_pDlgBar && m_pDlgBar->GetDlgItem(IDC_USER_WINDOW))
        m_pDlgBar->AppendLineToUserWindow(line);
    WriteUserFile(line, kind);
}

void CChildView::AppendUserFile(const QString& text) {
    WriteUserFile(text, UserText::AsItComes);
}

void CChildView::WriteUserFile(const QString& text, UserText kind) {
    if (!m_bUserToFile)
        return;
    QString reason;
    QString trimFailure;
    platform::TrimSyncs trimSyncs;
    const bool written = AppendNarrowed(
        m_strUserPath, text, {}, &reason, &trimFailure,
        kind == UserText::AsItComes ? TextStart::AsItComes : TextStart::OnALineOfItsOwn, &trimSyncs);
    // A failure line may fit where the file's own lines do not (a short line on a full disk): that
    // it was written says nothing of the file. That it was not, or its trim failed, still counts, and
    // so does a trim it made, whose syncs are said as any other trim's.
    if (kind == UserText::FailureLine && written && trimFailure.isEmpty()) {
        ReportTrimSyncs(ReportedOutput::UserWindowFile, m_strUserPath, trimSyncs);
        return;
    }
    ReportFileWrite(ReportedOutput::UserWindowFile, written, QStringLiteral("write the user-window file"),
                    m_strUserPath, reason, trimFailure, trimSyncs);
}

void CChildView::UpdateTitle() {
    g_strWindowTitle = WindowTitle(platform::ExecutableBaseName(), m_strComPort);
    if (m_pMainFrame)
        m_pMainFrame->setWindowTitle(g_strWindowTitle);
}
