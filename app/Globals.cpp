#include "app/Globals.h"

QString g_strWindowTitle;
const QString g_strSeparators = QStringLiteral("\t ,;");
QString g_strVersion;

int g_nReceiverType = -1;
bool g_bUseBitmap = true;
bool g_bBlitFromDisplay = false;
QString g_strPortOverride;
