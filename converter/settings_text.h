// The settings as a user types them, read by one rule for the command line's
// options and the web page's fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/dates/date_format.h"

// A decimal whole number of at most 9 digits, with an optional "-": "010" is
// ten, as a user reads it, and "0x3", "3.5" or "" no number.
bool titleRangeFromText(std::string_view text, std::int32_t& titleRange);

enum class DayProblem { None, NotYyyyMmDd, Before1601, NoSuchDay };

// The day of "YYYY-MM-DD", from 1601-01-01 on (the first day the date tags
// can print).
DayProblem dayFromText(std::string_view text, CalendarDate& day);

// The product beside its source: the source's extension, if any, replaced by
// "htm" (an extension holds no blank, no slash and stops at a quote).
std::u16string productBesideSource(std::u16string_view sourcePath);
