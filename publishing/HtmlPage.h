#pragma once
// The HTML status page: the map and graph images side by side, the operator's own HTML beside
// them, and the status text below, with a refresh line so that a browser reloads it.
#include <QString>

struct HtmlPageContent {
    QString versionText;    // goes into the comment in the head
    unsigned refreshMs = 0; // the page's refresh interval; 0: no refresh line
    QString cssName;        // style sheet, relative to the page
    QString mapSource;      // first image, relative to the page
    QString graphSource;    // second image, relative to the page
    QString includeText;    // the operator's HTML, inserted as it stands; empty: no cell
    QString statusText;     // the receiver's status screen
};

// "&", "<" and ">" as entities, for text between tags.
QString EscapeHtmlText(const QString& text);
// The text with "&", "<", ">" and the double quote as entities, for an attribute value.
QString EscapeHtmlAttribute(const QString& text);

// The refresh line's seconds: at least 1, so that a short interval does not reload without end.
unsigned RefreshSeconds(unsigned refreshMs);

// The page, CR LF line ends.
QString BuildStatusPage(const HtmlPageContent& content);
