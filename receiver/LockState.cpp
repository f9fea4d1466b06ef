#include "receiver/LockState.h"

#include "app/Globals.h"

bool TimeValidFromStatus(const QString& text, int receiverType) {
    switch (receiverType) {
    case RECEIVER_DATUM:
        return text.contains(QStringLiteral("LOCKED TO GPS"));
    case RECEIVER_UCCM:
        return text.contains(QStringLiteral("Synchronized to UTC"));
    case RECEIVER_HP:
    case RECEIVER_PROTEUS:
    case RECEIVER_JACKSON: {
        // The time line: the receiver prints '?' in place of digits it does not know.
        qsizetype pos = text.indexOf(QStringLiteral("UTC  "));
        if (pos < 0)
            pos = text.indexOf(QStringLiteral("LOCAL "));
        if (pos < 0)
            return false;
        return !QStringView(text).mid(pos + 11).left(24).contains(u'?');
    }
    default:
        return false;
    }
}
