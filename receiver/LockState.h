#pragma once
// Whether a receiver's status answer reports a valid time.
#include <QString>

bool TimeValidFromStatus(const QString& text, int receiverType);
