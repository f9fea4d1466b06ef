// The view's FTP upload: the settings made into one upload run, its lines to the user window and
// the debug file as the diagnostic switches say.
#include "app/ChildView.h"
#include "platform/TickCount.h"
#include "platform/WaitCursor.h"
#include "publishing/FtpUploadSequence.h"

#include <algorithm>

namespace {
// The time-outs the upload runs with, in seconds: never none, so a silent server cannot hold
// the program for good.
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
    const platform::WaitCursor waitCursor;

    FtpUploadJob job;
    job.session = {m_strFtpServer, m_strFtpAccount, m_strFtpPassword, m_bFtpPassive,
                   std::clamp(m_nFtpTimeout, kMinFtpTimeout, kMaxFtpTimeout)};
    job.directory = m_strFtpDirectory;
    job.items = FtpUploadItems(GetHtmlPath(), GetMapImageName(), GetGraphImageName(), GetCssFileName(),
                               m_strFtpAdditionalFiles);

    FtpUploadReport report;
    report.progress = [this](const QString& line) {
        if (m_bFtpDebug)
            UserWindowLine(line);
    };
    report.timeoutsFailed = [this](const QString& line) {
        if (m_bDebugEnable)
            DebugToFile(line);
    };
    report.error = [this](const QString& line) {
        if (m_bFtpDebug)
            UserWindowLine(line);
        if (m_bDebugEnable)
            DebugToFile(line);
    };
    RunFtpUpload(job, report);
    m_bUpdateAllEnabled = true;
}
