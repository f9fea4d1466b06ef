// Loading and saving every setting of the view in the native settings store.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/FileAccess.h"
#include "platform/SettingsFileFormat.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsIo.h"
#include "settings/SettingsKeys.h"

namespace {

// A path that names no regular file, found at start or at a save: one line for both, said once.
const QString kUseTheFile = QStringLiteral("use the settings file");
constexpr qsizetype kMiB = 1024 * 1024;
QString NotRegularReason() {
    return platform::NotRegularFileReason() + QStringLiteral(", read as empty and never written");
}

// A file whose read failed part-way (a disk's read error), found at start or at a save: one line
// for both, said once.
const QString kReadTheFile = QStringLiteral("read the settings file");
QString ReadFailureReason(const QString& reason) {
    return reason + QStringLiteral(", its settings not used and the file not written in this run");
}

} // namespace

void CChildView::LoadSettings() {
    const std::unique_ptr<platform::SettingsStore> store = platform::OpenSettingsStore();
    const StoreSettingsTree tree(*store);
    ProcessSettings process{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay};
    const StoredVersions versions = LoadViewSettings(tree, *this, process);
    g_nReceiverType = process.receiverType;
    g_bUseBitmap = process.useBitmap;
    g_bBlitFromDisplay = process.blitFromDisplay;
    m_bOldRegVersion = versions.oldRegVersion;
    m_bOldLogVersion = versions.oldLogVersion;
    const platform::SettingsReadProblems problems = platform::TakeSettingsReadProblems();
    const QString path = store->fileName();
    if (problems.notRegular)
        ReportFileFailure(ReportedOutput::Settings, kUseTheFile, path, NotRegularReason());
    if (!problems.readFailure.isEmpty())
        ReportFileFailure(ReportedOutput::Settings, kReadTheFile, path,
                          ReadFailureReason(problems.readFailure));
    // Values far too long for any setting (a damaged or hand-edited file) read as their defaults.
    if (!problems.overlongKeys.isEmpty())
        ReportFileFailure(
            ReportedOutput::Settings,
            QStringLiteral("read %1 from").arg(problems.overlongKeys.join(QStringLiteral(", "))), path,
            QStringLiteral("value longer than %1 bytes, default used").arg(platform::kLongestSettingsValue));
    if (problems.droppedValues > 0)
        ReportFileFailure(
            ReportedOutput::Settings, QStringLiteral("read every setting of"), path,
            QStringLiteral("more than %1 keys or %2 MiB of settings that are not the program's, "
                           "the %3 values past them are not read nor saved back")
                .arg(platform::kForeignSettingsKept)
                .arg(platform::kForeignSettingsBytes / kMiB)
                .arg(problems.droppedValues));
}

void CChildView::SaveSettings() {
    const std::unique_ptr<platform::SettingsStore> store = platform::OpenSettingsStore();
    StoreSettingsTree tree(*store);
    SaveViewSettings(tree, *this, ProcessSettings{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay});
    if (!m_strStoredComPort.isNull() && m_strComPort == g_strPortOverride)
        store->setValue(SettingsKey::ComPort, m_strStoredComPort);
    if (store->sync()) {
        ReportWorking(ReportedOutput::Settings);
        return;
    }
    const QString reason = store->failureReason();
    if (store->failedOnRead())
        ReportFileFailure(ReportedOutput::Settings, kReadTheFile, store->fileName(),
                          ReadFailureReason(reason));
    else if (reason == platform::NotRegularFileReason())
        ReportFileFailure(ReportedOutput::Settings, kUseTheFile, store->fileName(), NotRegularReason());
    else
        ReportFileFailure(ReportedOutput::Settings, QStringLiteral("save the settings to"), store->fileName(),
                          reason);
}
