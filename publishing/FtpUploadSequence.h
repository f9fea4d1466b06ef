#pragma once
// The upload run: the page, the map image, the graph image, the style sheet and the operator's
// further files, in that order, over one connection, stopping at the first failure.
#include "publishing/FtpSession.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

struct FtpUploadItem {
    QString label;     // the progress line's start, e.g. "HTML upload OK: "
    QString localPath; // as typed
    QString remoteName;
    // The run's own copy of a file the program rewrites while the run goes on, or why it could
    // not be read; without either the file is read when its turn comes.
    std::optional<QByteArray> snapshot;
    QString snapshotError;
    // When set, a file that does not exist is skipped with this progress line (+ the local path)
    // and the run goes on: the style sheet is the operator's own file, which the program never
    // writes. Otherwise a missing file ends the run.
    QString missingLabel;
};

// The ";"-separated list of further files: entries trimmed, empty ones dropped.
QStringList SplitAdditionalFiles(const QString& list);

// What one run sends, in order. Empty image names (no image type) send no image.
std::vector<FtpUploadItem> FtpUploadItems(const QString& htmlPath, const QString& mapImage,
                                          const QString& graphImage, const QString& cssName,
                                          const QString& additionalFiles);

// Reads now the items that name one of `rewrittenFiles` (paths compared as absolute paths).
void TakeSnapshots(std::vector<FtpUploadItem>& items, const QStringList& rewrittenFiles);

// A failure's line: the error text (at most 254 characters, cut before its first CR LF), a blank
// and what was being done.
QString FtpErrorLine(const QString& errorText, const QString& item);

struct FtpUploadJob {
    FtpSessionSettings session;
    QString directory; // empty: the login folder
    std::vector<FtpUploadItem> items;
};

struct FtpUploadReport {
    std::function<void(const QString&)> progress; // each step done
    // A step that failed without ending the run (a time-out libcurl refused, a QUIT the server did
    // not answer), said as a progress line too.
    std::function<void(const QString&)> stepFailed;
    std::function<void(const QString&)> error; // the failure that ended the run
};

// `abort`, when given, ends the run within a second once set (from any thread). A run that runs
// out of memory ends with its error line ("Out of memory"), as any other failure does.
void RunFtpUpload(const FtpUploadJob& job, const FtpUploadReport& report, FtpAbort* abort = nullptr);
