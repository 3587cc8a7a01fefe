#include "physical/dates.h"

#include <bit>

#include "common/text.h"
#include "physical/field_checks.h"
#include "physical/words.h"

namespace verdalia {

bool IsDateText(std::string_view text) {
  if (Is(text, "00000000")) {
    return true;
  }
  // Trimmed, "00000000" is no date: its day is 0.
  const std::string_view date = Trim(text);
  if (date.size() != 8 || !IsNumber(date)) {
    return false;
  }
  const DateOfDigits read = DateOfEightDigits(date.data());
  return read.valid && !read.zero;
}

bool IsDateOfDigits(std::string_view digits) {
  return digits.size() == 8 && DateOfEightDigits(digits.data()).valid;
}

DateOfDigits DateOfEightDigits(const char *date) {
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
