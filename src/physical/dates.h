#pragma once

#include <string_view>

namespace verdalia {

// Dates of eight characters, year, month and day: years 1900 to 2500, months 1 to 12, days
// 1 to the month's length, every year divisible by 4 a leap year (no century exception:
// 1900 and 2100 are leap years here, as they always were). "00000000", the zero date, is
// accepted as it is: whether zero is allowed is the caller's rule.

// "00000000" as it is, or a date once trimmed of blanks.
bool IsDateText(std::string_view text);

// The same answer for a text already known to hold only digits, so without blanks to trim:
// the detail checks test a field's digits first, on every record.
bool IsDateOfDigits(std::string_view digits);

// Eight digits at `date`, read as one word: whether they are a date or the zero date, and
// whether the zero date.
struct DateOfDigits {
  bool valid;
  bool zero;
};
DateOfDigits DateOfEightDigits(const char *date);

} // namespace verdalia
