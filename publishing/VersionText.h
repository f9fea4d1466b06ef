#pragma once
// The program's version line, "Version <version> <comments>", built once from the version and
// comments compiled into the program.
#include <QString>

// The named version value ("FileVersion" or "Comments"), empty for any other name.
QString GetVersionString(const QString& name);

// Keeps the first dot of a dotted version and joins the later parts without dots
// ("1.2.3" gives "1.23"); a text without a dot gives "".
QString NormaliseVersion(const QString& version);

// The version line; built on the first call and unchanged for the rest of the run.
QString GetVersionText();
