#pragma once
#include <QIcon>

// The program's icon, drawn once: a clock face over a satellite dish colour.
QIcon AppIcon();
