// The view's FTP upload: the settings made into one upload run on the uploader's thread, its lines
// to the user window and the debug file as the diagnostic switches say, on the view's thread; a
// failed run is also said once whatever the switches, until a run succeeds.
#include "app/ChildView.h"
#include "platform/TickCount.h"
#include "publishing/FtpUploadSequence.h"

#include <QMetaObject>
#include <algorithm>

namespace {
// The time-outs the upload runs with, in seconds: never none, so a silent server cannot hold
// a run for good.
constexpr int kMinFtpTimeout = 1;
constexpr int kMaxFtpTimeout = 600;
} // namespace

void CChildView::FtpUpload() {
    m_dwLastFtp = platform::GetTickCount();
    if ((m_nFtpInterval == 0 && !m_bForceUpdate) || m_strFtpServer.isEmpty() || m_strFtpAccount.isEmpty()) {
        m_bForceUpdate = false;
        m_bUpdateAllEnabled = true;
        return;
    }
    m_bForceUpdate = false;
    if (m_bFtpRunning) {
        // The running one ends with its own time-outs; this one waits for the next interval.
        if (!m_bFtpSkipReported)
            FtpError(QStringLiteral("FTP upload skipped: the last upload is still running"));
        m_bFtpSkipReported = true;
        return;
    }
    m_bFtpRunning = true;
    m_bFtpSkipReported = false;
    m_bFtpRunFailed = false;
    m_bFtpAbortAsked = false;

    FtpUploadJob job;
    job.session = {m_strFtpServer, m_strFtpAccount, m_strFtpPassword, m_bFtpPassive,
                   std::clamp(m_nFtpTimeout, kMinFtpTimeout, kMaxFtpTimeout)};
    job.directory = m_strFtpDirectory;
    job.items = FtpUploadItems(GetHtmlPath(), GetMapImageName(), GetGraphImageName(), GetCssFileName(),
                               m_strFtpAdditionalFiles);
    // The page's files as written for this run: this thread writes them again before they go.
    TakeSnapshots(job.items, {GetHtmlPath(), GetMapImageName(), GetGraphImageName(), GetTxtFileName()});

    // Called on the run's thread: the line is handled on this one, after the run's earlier lines.
    const auto onViewThread = [this](std::function<void(CChildView&, const QString&)> show) {
        return [this, show = std::move(show)](const QString& line) {
            QMetaObject::invokeMethod(
                this,
                [this, show, line] {
                    if (!m_bDestroyed)
                        show(*this, line);
                },
                Qt::QueuedConnection);
        };
    };
    FtpUploadReport report;
    report.progress = onViewThread([](CChildView& view, const QString& line) {
        if (view.m_bFtpDebug)
            view.UserWindowLine(line);
    });
    report.stepFailed = onViewThread([](CChildView& view, const QString& line) {
        if (view.m_bDebugEnable)
            view.DebugToFile(line);
    });
    report.error = onViewThread([](CChildView& view, const QString& line) {
        view.FtpError(line);
        view.m_bFtpRunFailed = true;
        // A run that the program itself ended (Stop, the Options sheet, exit) did not fail.
        if (!view.m_bFtpAbortAsked)
            view.ReportFailure(ReportedOutput::FtpUpload, QStringLiteral("FTP upload failed: ") + line);
    });
    m_ftpUploader.Start(std::move(job), std::move(report), [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bFtpRunning = false;
                if (!m_bFtpRunFailed)
                    ReportWorking(ReportedOutput::FtpUpload);
                // Update all is offered again after an upload, unless Stop has greyed it meanwhile.
                if (IsRunning())
                    m_bUpdateAllEnabled = true;
            },
            Qt::QueuedConnection);
    });
}

void CChildView::FtpError(const QString& line) {
    if (m_bFtpDebug)
        UserWindowLine(line);
    if (m_bDebugEnable)
        DebugToFile(line);
}

void CChildView::AbortFtpUpload() {
    m_bFtpAbortAsked = true;
    m_ftpUploader.Abort();
}

void CChildView::EndFtpUpload() {
    m_bFtpAbortAsked = true;
    m_ftpUploader.Abort();
    m_ftpUploader.Join();
}
