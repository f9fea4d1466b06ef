#pragma once
// File choices go through two functions, so tests can answer them instead of a dialog.
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

enum class FileDialogKind { Save, Open };

// The chosen full path, or nothing when the operator cancelled. The save dialog asks before it
// lets an existing file be chosen; neither creates or opens the file.
// The filter, when given, lists the kinds of file offered ("Name (*.ext);;Other (*.x)").
std::optional<QString> ChooseFile(FileDialogKind kind, QWidget* parent, const QString& initialPath,
                                  const QString& filter = {});

using FileDialogHandler = std::function<std::optional<QString>(FileDialogKind, const QString& initialPath)>;
// Replaces the dialogs (an empty handler restores the real ones).
void SetFileDialogHandler(FileDialogHandler handler);

} // namespace platform
