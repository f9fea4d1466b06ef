// Loading and saving every setting of the view in the native settings store.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SettingsFileFormat.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsIo.h"

#include "settings/SettingsKeys.h"

void CChildView::LoadSettings() {
    const std::unique_ptr<QSettings> store = platform::OpenSettingsStore();
    const QSettingsTree tree(*store);
    ProcessSettings process{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay};
    const StoredVersions versions = LoadViewSettings(tree, *this, process);
    g_nReceiverType = process.receiverType;
    g_bUseBitmap = process.useBitmap;
    g_bBlitFromDisplay = process.blitFromDisplay;
    m_bOldRegVersion = versions.oldRegVersion;
    m_bOldLogVersion = versions.oldLogVersion;
    // Values far too long for any setting (a damaged or hand-edited file) read as their defaults.
    const QStringList overlong = platform::TakeOverlongSettings();
    if (!overlong.isEmpty())
        ReportFileFailure(
            ReportedOutput::Settings, QStringLiteral("read %1 from").arg(overlong.join(QStringLiteral(", "))),
            store->fileName(),
            QStringLiteral("value longer than %1 bytes, default used").arg(platform::kLongestSettingsValue));
}

void CChildView::SaveSettings() {
    const std::unique_ptr<QSettings> store = platform::OpenSettingsStore();
    QSettingsTree tree(*store);
    SaveViewSettings(tree, *this, ProcessSettings{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay});
    if (!m_strStoredComPort.isNull() && m_strComPort == g_strPortOverride)
        store->setValue(SettingsKey::ComPort, m_strStoredComPort);
    platform::ForgetSettingsWriteFailure(); // one from an earlier save is not this one's
    store->sync();
    if (store->status() == QSettings::NoError) {
        ReportWorking(ReportedOutput::Settings);
        return;
    }
    ReportFileFailure(ReportedOutput::Settings, QStringLiteral("save the settings to"), store->fileName(),
                      platform::SettingsSaveFailureReason(store->fileName()));
}
