#include "platform/FileDialog.h"

#include <QFileDialog>

namespace platform {
namespace {
FileDialogHandler& handler() {
    static FileDialogHandler instance;
    return instance;
}
} // namespace

std::optional<QString> chooseFile(FileDialogKind kind, QWidget* parent, const QString& initialPath) {
    if (handler())
        return handler()(kind, initialPath);
    const QString chosen = kind == FileDialogKind::Save
                               ? QFileDialog::getSaveFileName(parent, QString(), initialPath)
                               : QFileDialog::getOpenFileName(parent, QString(), initialPath);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void setFileDialogHandler(FileDialogHandler newHandler) {
    handler() = std::move(newHandler);
}

} // namespace platform
