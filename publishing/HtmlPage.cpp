#include "publishing/HtmlPage.h"

#include <algorithm>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString ImageCell(const QString& source) {
    return QStringLiteral(" <td><img src= \"") + EscapeHtmlAttribute(source) + QStringLiteral("\"/></td>") +
           kCrLf;
}
} // namespace

QString EscapeHtmlText(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

QString EscapeHtmlAttribute(const QString& text) {
    return EscapeHtmlText(text).replace(QLatin1Char('"'), QLatin1String("&quot;"));
}

unsigned RefreshSeconds(unsigned refreshMs) {
    return std::max(refreshMs / 1000U, 1U);
}

QString BuildStatusPage(const HtmlPageContent& content) {
    QString page;
    page += QStringLiteral("<!DOCTYPE HTML PUBLIC -//W3C//DTD HTML 4.0 Transitional//EN><html>") + kCrLf;
    page += QStringLiteral("<head>") + kCrLf;
    page +=
        QStringLiteral("<!-- ********* ") + content.versionText + QStringLiteral(" ********** -->") + kCrLf;
    if (content.refreshMs != 0)
        page += QStringLiteral("<META HTTP-EQUIV=\"refresh\" CONTENT=\"%1\">")
                    .arg(RefreshSeconds(content.refreshMs)) +
                kCrLf;
    page += QStringLiteral("<meta HTTP-EQUIV=\"Pragma\" CONTENT=\"no-cache\">") + kCrLf;
    page += QStringLiteral("<title>GPS Status</title>") + kCrLf;
    page += QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"") +
            EscapeHtmlAttribute(content.cssName) + QStringLiteral("\" />") + kCrLf;
    page += QStringLiteral("</head>") + kCrLf;
    page += QStringLiteral("<body>") + kCrLf;
    page += QStringLiteral("<table>") + kCrLf;
    page += QStringLiteral("<tr>") + kCrLf;
    page += ImageCell(content.mapSource);
    page += ImageCell(content.graphSource);
    if (!content.includeText.isEmpty())
        page += QStringLiteral(" <td rowspan=2>") + kCrLf + content.includeText + QStringLiteral(" </td>") +
                kCrLf;
    page += QStringLiteral("</tr>") + kCrLf;
    page += QStringLiteral("<tr>") + kCrLf;
    page += QStringLiteral(" <td colspan=2><pre>") + EscapeHtmlText(content.statusText) +
            QStringLiteral("</pre></td>") + kCrLf;
    page += QStringLiteral("</tr>") + kCrLf;
    page += QStringLiteral("</table>") + kCrLf;
    page += QStringLiteral("</body>") + kCrLf;
    page += QStringLiteral("</html>") + kCrLf;
    return page;
}
