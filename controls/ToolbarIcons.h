#pragma once
// The toolbar's pictures, drawn once per command.
#include <QIcon>

// The picture of a toolbar command, or a null icon for a command without one.
QIcon ToolbarIcon(int commandId);
