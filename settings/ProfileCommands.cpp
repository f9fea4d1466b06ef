// The File menu's receiver profile commands and the reading of the current profile: the view's
// glue over settings/ProfileIni.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "settings/ProfileIni.h"

#include <QAction>
#include <QFileInfo>

bool CChildView::WriteProfile(const QString& path, QString* reason) {
    // The sections of other families in an existing file are kept; a file that exists but cannot
    // be read is not overwritten.
    IniFile file;
    if (QFileInfo::exists(path)) {
        std::optional<IniFile> existing = ReadIniFile(path, reason);
        if (!existing)
            return false;
        file = std::move(*existing);
    }
    ::WriteProfile(file, g_nReceiverType, m_strCommandList, m_strButton, *this);
    return WriteIniFile(path, file, reason);
}

bool CChildView::ReadProfile(bool withGraph) {
    const std::optional<IniFile> file = ReadIniFile(m_strProfilePath);
    if (!file)
        return false;
    ReadProfileButtons(*file, g_nReceiverType, m_strCommandList, m_strButton);
    UpdateDialogBar();
    if (withGraph) {
        ReadProfileGraph(*file, *this);
        m_wndGraph.m_bCacheValid = false;
        m_wndGraph.update();
    }
    return true;
}

void CChildView::OnExportProfile() {
    const auto chosen = platform::ChooseFile(platform::FileDialogKind::Save, this, QString());
    QString reason;
    if (chosen && !WriteProfile(*chosen, &reason))
        platform::MessageBox(QStringLiteral("Unable to write profile %1: %2").arg(*chosen, reason),
                             platform::MessageIcon::Warning);
}

void CChildView::OnImportProfile() {
    const auto chosen = platform::ChooseFile(platform::FileDialogKind::Open, this, m_strProfilePath);
    if (!chosen)
        return;
    const QString previous = m_strProfilePath;
    m_strProfilePath = *chosen;
    if (!ReadProfile(true)) {
        m_strProfilePath = previous;
        platform::MessageBox(QStringLiteral("Unable to read profile %1").arg(*chosen),
                             platform::MessageIcon::Warning);
        return;
    }
    SaveSettings();
}

void CChildView::OnClearProfile() {
    m_strProfilePath.clear();
    LoadDefaultButtons();
    SaveSettings();
}
