#pragma once

#include <string>
#include <string_view>

namespace verdalia {

// The number a text begins with. Blanks anywhere are skipped; a sign, digits, one decimal
// point "." and an exponent are read; reading stops at the first character that cannot
// continue the number; a text that does not begin with a number gives 0. The decimal point
// is always ".", whatever the locale.
double LeadingNumberValue(std::string_view text);

// The value of a fixed-point field: the leading-number value of its first `integer_digits`
// characters, a ".", and its last `decimals` characters.
double FixedPointValue(std::string_view field, std::size_t integer_digits, std::size_t decimals);
// FixedPointValue of the field of `line` at 1-based `start` of `length` characters (clipped
// as Mid clips it). An amount the rules read in every record: a field of at most eight
// digits with eight bytes of the line ending with it is read as one word.
double FixedPointValueAt(std::string_view line, std::size_t start, std::size_t length,
                         std::size_t integer_digits, std::size_t decimals);

// 1-based substring, clipped to the text: shorter when the text ends early, empty when the
// start lies beyond its end.
inline std::string_view Mid(std::string_view text, std::size_t start, std::size_t length) {
  if (start < 1 || start > text.size()) {
    return {};
  }
  return text.substr(start - 1, length);
}

// Only the blank (code 32) is trimmed, as the checks define it.
std::string_view Trim(std::string_view text);
std::string_view RightTrim(std::string_view text);
// Whether the text is empty or only blanks; it stops at the first character that is not.
bool IsBlank(std::string_view text);

// Whether `text` is exactly `literal`: a field against a fixed code, which the rules ask of
// every record, compared in place rather than through a call.
template <std::size_t N> constexpr bool Is(std::string_view text, const char (&literal)[N]) {
  if (text.size() != N - 1) {
    return false;
  }
  for (std::size_t k = 0; k + 1 < N; ++k) {
    if (text[k] != literal[k]) {
      return false;
    }
  }
  return true;
}

// ASCII upper case: the names and codes compared upper-cased are all ASCII.
std::string UpperAscii(std::string_view text);

// One character as a text that lives as long as the program (a check digit, a record type);
// empty for NUL.
std::string_view CharacterText(char c);

} // namespace verdalia
