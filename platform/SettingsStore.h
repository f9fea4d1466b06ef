#pragma once
// The settings store: QSettings under the executable's name in <config dir>/<name>.conf, the file
// and layout of Qt's native format on Linux, read by our own reader so that a value costs no more
// than its text (platform/SettingsFileFormat.h).
#include <QSettings>
#include <memory>

namespace platform {

std::unique_ptr<QSettings> OpenSettingsStore();

// Why the store's file could not be written the last time writing its text failed on this thread
// (a full disk, say), and forgets it; empty when no write of the text failed since the last call.
QString TakeSettingsWriteFailure();

// Points the store at another folder (tests); affects stores opened afterwards.
void SetSettingsFolder(const QString& folder);

} // namespace platform
