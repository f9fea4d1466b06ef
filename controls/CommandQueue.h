#pragma once
// The texts the dialog bar puts on the command queue, the command box's items and the trimming
// of a full user window. No widgets here.
#include <QString>
#include <QStringList>

// The user window holds at most this many characters; a longer text is trimmed from the front.
constexpr int kUserWindowLimit = 32767;

// What Send queues for the command box's text: the text itself, with a CR appended unless it
// already names a line end ("<CR>" or "<LF>"). The notation is decoded only when sent.
QString SendBoxCommand(const QString& text);

// What a command button queues: its command followed by CR, whatever the command holds.
QString ButtonCommand(const QString& command);

// The items of a ';'-terminated command list, in list order. Text after the last ';' is no item.
QStringList CommandListItems(const QString& list);

// The command box shows its items sorted without regard to case, like a sorted list box.
QStringList SortedCommandItems(const QString& list);

// Room in a full user window: the first third of the text goes, and with it the rest of the line
// in which that third ends, so the window starts at a line start. Three characters or fewer stay.
QString TrimUserWindowText(const QString& text);

// The last `limit` characters of a text for the user window, from the start of a line when the
// cut falls inside one that ends within them.
QString UserWindowTail(const QString& text, qsizetype limit);

// Text for a widget that would take a string beginning with a tag for markup (tooltips): the
// text is escaped so that it always shows as written.
QString PlainTextToolTip(const QString& text);
