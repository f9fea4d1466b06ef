#pragma once
// Where the program's files live: the user's Documents folder and the executable's own name.
#include <QString>

namespace platform {

// The user's Documents folder, or empty when it cannot be found.
QString DocumentsFolder();
// Replaces the Documents folder (a null string restores the desktop's; an empty one means "not found").
void SetDocumentsFolderOverride(const QString& folder);
void ClearDocumentsFolderOverride();

// The executable's file name without folder and extension ("orvane").
QString ExecutableBaseName();
void SetExecutableBaseNameOverride(const QString& name);

} // namespace platform
