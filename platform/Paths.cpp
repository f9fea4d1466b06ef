#include "platform/Paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace platform {

namespace {
std::optional<QString> g_documentsOverride;
std::optional<QString> g_executableOverride;
} // namespace

QString DocumentsFolder() {
    if (g_documentsOverride)
        return *g_documentsOverride;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void SetDocumentsFolderOverride(const QString& folder) {
    g_documentsOverride = folder;
}
void ClearDocumentsFolderOverride() {
    g_documentsOverride.reset();
}

QString ExecutableBaseName() {
    if (g_executableOverride)
        return *g_executableOverride;
    const QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        return QStringLiteral("orvane");
    return QFileInfo(path).completeBaseName();
}

void SetExecutableBaseNameOverride(const QString& name) {
    g_executableOverride = name;
}

} // namespace platform
