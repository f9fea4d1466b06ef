#include "publishing/VersionText.h"

#include "app/Globals.h"

QString GetVersionString(const QString& name) {
    if (name == QLatin1String("FileVersion"))
        return QStringLiteral(ORVANE_VERSION);
    if (name == QLatin1String("Comments"))
        return QStringLiteral(ORVANE_COMMENTS);
    return {};
}

QString NormaliseVersion(const QString& version) {
    QString v = version;
    while (!v.isEmpty() && v.back().isSpace())
        v.chop(1);
    if (v.isEmpty() || !v.contains(QLatin1Char('.')))
        return {};
    v = v.trimmed();
    qsizetype dot = v.indexOf(QLatin1Char('.'));
    QString result = v.left(dot) + QLatin1Char('.');
    for (;;) {
        v = v.mid(dot + 1);
        while (!v.isEmpty() && v.front().isSpace())
            v.remove(0, 1);
        dot = v.indexOf(QLatin1Char('.'));
        if (dot < 0)
            return result + v;
        result += v.left(dot);
    }
}

QString GetVersionText() {
    if (g_strVersion.isEmpty())
        g_strVersion = QStringLiteral("Version %1 %2")
                           .arg(NormaliseVersion(GetVersionString(QStringLiteral("FileVersion"))),
                                GetVersionString(QStringLiteral("Comments")));
    return g_strVersion;
}
