#pragma once
// The native settings store: QSettings in the native format under the executable's name, so the
// settings live in <config dir>/<name>.conf on Linux (HKCU\Software\<name> on Windows).
#include <QSettings>
#include <memory>

namespace platform {

std::unique_ptr<QSettings> OpenSettingsStore();

// Points the store at another folder (tests); affects stores opened afterwards.
void SetSettingsFolder(const QString& folder);

} // namespace platform
