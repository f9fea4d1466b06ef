#pragma once
// A UTC calendar time written the way tests read it.
#include "timeservice/NtpTime.h"

inline SystemTime Utc(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second, unsigned ms = 0) {
    SystemTime t;
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}
