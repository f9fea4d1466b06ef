#include "controls/CommandQueue.h"

#include <algorithm>

QString SendBoxCommand(const QString& text) {
    if (text.contains(QLatin1String("<CR>")) || text.contains(QLatin1String("<LF>")))
        return text;
    return text + QLatin1Char('\r');
}

QString ButtonCommand(const QString& command) {
    return command + QLatin1Char('\r');
}

QStringList CommandListItems(const QString& list) {
    QStringList items = list.split(QLatin1Char(';'));
    items.removeLast(); // what follows the last ';' (all of it when there is none)
    return items;
}

QStringList SortedCommandItems(const QString& list) {
    QStringList items = CommandListItems(list);
    std::stable_sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return items;
}

QString TrimUserWindowText(const QString& text) {
    if (text.size() <= 3)
        return text;
    const QString rest = text.mid(text.size() / 3);
    const qsizetype lineEnd = rest.indexOf(QLatin1Char('\n'));
    return lineEnd < 0 ? rest : rest.mid(lineEnd + 1);
}

QString UserWindowTail(const QString& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    const qsizetype cut = text.size() - limit;
    if (text.at(cut - 1) == QLatin1Char('\n'))
        return text.sliced(cut);
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), cut);
    return text.sliced(lineEnd < 0 ? cut : lineEnd + 1);
}

QString PlainTextToolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    // Rich text whose content is escaped shows every character as it is, "<CR>" included.
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}
