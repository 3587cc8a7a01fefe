#include "physical/dates.h"

#include "common/text.h"
#include "physical/field_checks.h"

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

} // namespace verdalia
