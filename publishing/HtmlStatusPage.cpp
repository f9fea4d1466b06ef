// The view's status page: the path functions over its settings and the page writer.
#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "platform/TickCount.h"
#include "publishing/HtmlNames.h"
#include "publishing/HtmlPage.h"
#include "publishing/PublishedFile.h"
#include "publishing/VersionText.h"

QString CChildView::GetHtmlPath() const {
    return m_strHtmlPath;
}

QString CChildView::GetLogPath() const {
    return m_strLogPath;
}

QString CChildView::GetDumpPath() const {
    return m_strDumpPath;
}

QString CChildView::GetGraphImageName() const {
    return GraphImageName(m_strHtmlPath, m_strImageFileType);
}

QString CChildView::GetMapImageName() const {
    return MapImageName(m_strHtmlPath, m_strImageFileType);
}

QString CChildView::GetCssFileName() const {
    return CssFileName(m_strHtmlPath);
}

QString CChildView::GetTxtFileName() const {
    return TxtFileName(m_strHtmlPath);
}

QString CChildView::GetIncFileName() const {
    return IncFileName(m_strHtmlPath);
}

QString CChildView::GetFileNamePart(const QString& path) {
    return FileNamePart(path);
}

void CChildView::UpdateHtml(const QString& statusText) {
    m_dwLastHtml = platform::GetTickCount();
    const QString htmlPath = GetHtmlPath();
    if (htmlPath.isEmpty() || !m_bHtmlStatus)
        return;

    // The pictures beside the page, square at the page's image size, published as the page is.
    const bool blit = g_bUseBitmap && g_bBlitFromDisplay;
    const QRect imageRect(0, 0, m_nHtmlImageSize, m_nHtmlImageSize);
    if (const QString map = GetMapImageName(); !map.isEmpty())
        ReportPictureWrite(ReportedOutput::PageMapPicture, QStringLiteral("the page's map picture"),
                           m_wndMap.ExportImage(map, blit, imageRect, ImageWrite::Publish));
    if (const QString graph = GetGraphImageName(); !graph.isEmpty())
        ReportPictureWrite(ReportedOutput::PageGraphPicture, QStringLiteral("the page's graph picture"),
                           m_wndGraph.ExportImage(graph, blit, false, imageRect, ImageWrite::Publish));

    const QString textPath = GetTxtFileName();
    QString reason;
    const bool textWritten = WritePublishedFile(textPath, NarrowToBytes(statusText), &reason);
    ReportFileWrite(ReportedOutput::PageTextFile, textWritten, QStringLiteral("write the page's text file"),
                    textPath, reason);

    HtmlPageContent content;
    content.versionText = GetVersionText();
    content.refreshMs = static_cast<unsigned>(m_nStatusInterval);
    content.cssName = GetFileNamePart(GetCssFileName());
    content.mapSource = ImageSourceName(GetMapImageName(), m_strImageFileType);
    content.graphSource = ImageSourceName(GetGraphImageName(), m_strImageFileType);
    content.includeText = ReadLatin1File(GetIncFileName());
    content.statusText = statusText;
    if (!WritePublishedFile(htmlPath, NarrowToBytes(BuildStatusPage(content)), &reason)) {
        ReportFileFailure(ReportedOutput::HtmlPage, QStringLiteral("open HTML file:"), htmlPath, reason);
        Diagnostic(QStringLiteral("Unable to open HTML file: ") + htmlPath);
        return;
    }
    ReportWorking(ReportedOutput::HtmlPage);
    if (m_bFtpDebug)
        UserWindowLine(QStringLiteral("Local HTML update OK "));
}
