#pragma once
// The settings store: QSettings under the executable's name in <config dir>/<name>.conf, the file
// and layout of Qt's native format on Linux, read by our own reader so that a value costs no more
// than its text (platform/SettingsFileFormat.h).
#include <QSettings>
#include <QStringList>
#include <memory>

namespace platform {

std::unique_ptr<QSettings> OpenSettingsStore();

// The "Section/Key" of each value that the store's file held too long to read (it read as
// missing) since the last call, each once.
QStringList TakeOverlongSettings();

// Forgets why writing the store's text last failed, before a save whose failure is to be told.
void ForgetSettingsWriteFailure();
// Why a save of the store's file `fileName` failed (QSettings does not say): why writing its text
// failed, when it did; otherwise what opening the file (without changing it) or writing a byte
// beside it meets; "access denied" when none of them fails.
QString SettingsSaveFailureReason(const QString& fileName);

// Points the store at another folder (tests); affects stores opened afterwards.
void SetSettingsFolder(const QString& folder);

} // namespace platform
