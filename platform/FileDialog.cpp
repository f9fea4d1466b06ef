#include "platform/FileDialog.h"

#include <QFileDialog>

namespace platform {
namespace {
FileDialogHandler& Handler() {
    static FileDialogHandler instance;
    return instance;
}
} // namespace

std::optional<QString> ChooseFile(FileDialogKind kind, QWidget* parent, const QString& initialPath,
                                  const QString& filter) {
    if (Handler())
        return Handler()(kind, initialPath);
    const QString chosen = kind == FileDialogKind::Save
                               ? QFileDialog::getSaveFileName(parent, QString(), initialPath, filter)
                               : QFileDialog::getOpenFileName(parent, QString(), initialPath, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void SetFileDialogHandler(FileDialogHandler newHandler) {
    Handler() = std::move(newHandler);
}

} // namespace platform
