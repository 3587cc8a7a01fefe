#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

#include "physical/words.h"

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
// whether the zero date. Inline: the plan of the detail records reads every date of every
// record with it.
struct DateOfDigits {
  bool valid;
  bool zero;
};
inline DateOfDigits DateOfEightDigits(const char *date) {
  unsigned year;
  unsigned month;
  unsigned day;
  bool zero;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t digits = Load(date) - Repeated('0');
    zero = digits == 0;
    // Each pair of digits to its value, in the pair's first byte.
    const std::uint64_t pairs = digits * 10 + (digits >> 8);
    year = static_cast<unsigned>(pairs & 0xFF) * 100 + static_cast<unsigned>((pairs >> 16) & 0xFF);
    month = static_cast<unsigned>((pairs >> 32) & 0xFF);
    day = static_cast<unsigned>((pairs >> 48) & 0xFF);
  } else {
    auto digit = [date](int k) { return static_cast<unsigned>(date[k] - '0'); };
    year = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
    month = digit(4) * 10 + digit(5);
    day = digit(6) * 10 + digit(7);
    zero = year == 0 && month == 0 && day == 0;
  }
  static constexpr unsigned kDays[16] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const unsigned days = kDays[month & 15] + (month == 2 && (year & 3) == 0 ? 1 : 0);
  // Unsigned: a month or day of 0, or a year before 1900, wraps round to a large number.
  const bool valid = month - 1 < 12 && year - 1900 <= 600 && day - 1 < days;
  return {valid || zero, zero};
}

} // namespace verdalia
