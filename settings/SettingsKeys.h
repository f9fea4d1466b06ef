#pragma once
// The settings keys that are also written on their own, outside the load and save of the whole
// table (settings/SettingsIo.cpp reads and writes them with the rest).
#include <QString>

namespace SettingsKey {
inline const QString WasRunning = QStringLiteral("Initial/WasRunning");
inline const QString WindowPos = QStringLiteral("Initial/WindowPos");
inline const QString ComPort = QStringLiteral("Port/ComPort");
inline const QString LastCorrectedSeconds = QStringLiteral("SNTP/LastCorrectedS");
inline const QString LastCorrectedFraction = QStringLiteral("SNTP/LastCorrectedF");
} // namespace SettingsKey
