#pragma once
// The program's release date as a calendar date: the date the version text carries after the
// version number (the build's ORVANE_RELEASE_DATE, compiled in as ORVANE_COMMENTS and written
// "6 December 2026"). Read at compile time; a date the build cannot read stops the build.
#include <array>
#include <chrono>
#include <string_view>

// "day Month year" (English month name, single spaces allowed to repeat); an invalid date when
// the text is not of that shape.
constexpr std::chrono::year_month_day ParseReleaseDate(std::string_view text) {
    constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                          "May",       "June",     "July",     "August",
                                                          "September", "October",  "November", "December"};
    const std::chrono::year_month_day invalid{};
    std::size_t at = 0;
    auto skipSpaces = [&] {
        while (at < text.size() && text[at] == ' ')
            ++at;
    };
    auto number = [&](int maxDigits) {
        int value = 0;
        int digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < maxDigits) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        return digits == 0 ? -1 : value;
    };
    skipSpaces();
    const int day = number(2);
    skipSpaces();
    const std::size_t nameStart = at;
    while (at < text.size() && text[at] != ' ')
        ++at;
    const std::string_view name = text.substr(nameStart, at - nameStart);
    unsigned month = 0;
    for (unsigned m = 0; m < kMonths.size(); ++m)
        if (kMonths[m] == name)
            month = m + 1;
    skipSpaces();
    const int year = number(4);
    skipSpaces();
    if (day < 0 || month == 0 || year < 0 || at != text.size())
        return invalid;
    return std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{month},
                                       std::chrono::day{static_cast<unsigned>(day)}};
}

constexpr std::chrono::year_month_day kReleaseDate = ParseReleaseDate(ORVANE_COMMENTS);
static_assert(kReleaseDate.ok(), "ORVANE_RELEASE_DATE must be a date written as \"6 December 2026\"");
