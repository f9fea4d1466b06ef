#include "publishing/FtpUploadSequence.h"

#include "platform/FileAccess.h"
#include "publishing/HtmlNames.h"

#include <QFileInfo>
#include <new>

namespace {
constexpr qsizetype kMaxErrorText = 254;
// The page and its pictures are far smaller; a copy is held in memory while the run goes on.
constexpr qint64 kMaxSnapshotBytes = 64 * 1024 * 1024;
} // namespace

QStringList SplitAdditionalFiles(const QString& list) {
    QStringList files;
    for (const QString& entry : list.split(QLatin1Char(';'))) {
        const QString path = entry.trimmed();
        if (!path.isEmpty())
            files << path;
    }
    return files;
}

std::vector<FtpUploadItem> FtpUploadItems(const QString& htmlPath, const QString& mapImage,
                                          const QString& graphImage, const QString& cssName,
                                          const QString& additionalFiles) {
    std::vector<FtpUploadItem> items;
    const auto add = [&items](const char* label, const QString& local, const char* missingLabel = "") {
        if (local.isEmpty())
            return;
        FtpUploadItem& item = items.emplace_back();
        item.label = QLatin1String(label);
        item.localPath = local;
        item.remoteName = FileNamePart(local);
        item.missingLabel = QLatin1String(missingLabel);
    };
    add("HTML upload OK: ", htmlPath);
    add("Map upload OK: ", mapImage);
    add("Graph upload OK: ", graphImage);
    add("CSS upload OK: ", cssName, "CSS upload skipped, no such file: ");
    for (const QString& file : SplitAdditionalFiles(additionalFiles))
        add("File upload OK: ", file);
    return items;
}

void TakeSnapshots(std::vector<FtpUploadItem>& items, const QStringList& rewrittenFiles) {
    QStringList rewritten;
    for (const QString& path : rewrittenFiles)
        if (!path.isEmpty())
            rewritten << QFileInfo(path).absoluteFilePath();
    for (FtpUploadItem& item : items) {
        if (!rewritten.contains(QFileInfo(item.localPath).absoluteFilePath()))
            continue;
        item.snapshot = platform::ReadRegularFile(item.localPath, kMaxSnapshotBytes, &item.snapshotError);
    }
}

QString FtpErrorLine(const QString& errorText, const QString& item) {
    QString text = errorText.left(kMaxErrorText);
    const qsizetype lineEnd = text.indexOf(QLatin1String("\r\n"));
    if (lineEnd >= 0)
        text.truncate(lineEnd);
    return text + QLatin1Char(' ') + item;
}

void RunFtpUpload(const FtpUploadJob& job, const FtpUploadReport& report, FtpAbort* abort) {
    FtpSession session(job.session, abort);
    QString item = session.TimeoutsSet() ? QStringLiteral("FTP timeouts set OK ")
                                         : QStringLiteral("FTP set timeouts FAILED ");
    QString failure; // a failure of the run's own, else the session's
    const auto step = [&](bool done, const QString& progress) {
        if (done)
            report.progress(progress);
        else
            report.error(FtpErrorLine(failure.isEmpty() ? session.ErrorText() : failure, item));
        return done;
    };
    const auto put = [&](const FtpUploadItem& upload) {
        failure = upload.snapshotError;
        if (!failure.isEmpty())
            return false;
        return upload.snapshot ? session.PutBytes(*upload.snapshot, upload.remoteName)
                               : session.Put(upload.localPath, upload.remoteName);
    };
    try {
        report.progress(item);
        if (!session.TimeoutsSet())
            report.stepFailed(item);
        bool going = step(session.Connect(), QStringLiteral("FTP connected OK "));
        if (going && !job.directory.isEmpty()) {
            item = job.directory;
            going = step(session.ChangeDirectory(job.directory),
                         QStringLiteral("FTP set dir OK: ") + job.directory);
        }
        for (auto it = job.items.begin(); going && it != job.items.end(); ++it) {
            if (!it->missingLabel.isEmpty() && !QFileInfo::exists(it->localPath)) {
                report.progress(it->missingLabel + it->localPath);
                continue;
            }
            item = it->localPath + QStringLiteral(" to ") + it->remoteName;
            going = step(put(*it), it->label + item);
        }
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("Out of memory");
        step(false, {});
    }
    const bool connected = session.IsConnected();
    if (session.Close()) {
        report.progress(QStringLiteral("FTP quit OK: "));
    } else if (connected) {
        // The files sent are on the server all the same; the run failed only when a step did.
        const QString line = QStringLiteral("FTP quit FAILED: ") + session.ErrorText();
        report.progress(line);
        report.stepFailed(line);
    }
}
