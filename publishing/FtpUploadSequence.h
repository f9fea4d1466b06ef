#pragma once
// The upload run: the page, the map image, the graph image, the style sheet and the operator's
// further files, in that order, over one connection, stopping at the first failure.
#include "publishing/FtpSession.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct FtpUploadItem {
    QString label;     // the progress line's start, e.g. "HTML upload OK: "
    QString localPath; // as typed
    QString remoteName;
};

// The ";"-separated list of further files: entries trimmed, empty ones dropped.
QStringList SplitAdditionalFiles(const QString& list);

// What one run sends, in order. Empty image names (no image type) send no image.
std::vector<FtpUploadItem> FtpUploadItems(const QString& htmlPath, const QString& mapImage,
                                          const QString& graphImage, const QString& cssName,
                                          const QString& additionalFiles);

// A failure's line: the error text (at most 254 characters, cut before its first CR LF), a blank
// and what was being done.
QString FtpErrorLine(const QString& errorText, const QString& item);

struct FtpUploadJob {
    FtpSessionSettings session;
    QString directory; // empty: the login folder
    std::vector<FtpUploadItem> items;
};

struct FtpUploadReport {
    std::function<void(const QString&)> progress;       // each step done
    std::function<void(const QString&)> timeoutsFailed; // a time-out libcurl refused
    std::function<void(const QString&)> error;          // the failure that ended the run
};

void RunFtpUpload(const FtpUploadJob& job, const FtpUploadReport& report);
