#include "common/text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace verdalia {

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Whether the eight bytes of a word are all digits.
bool EightDigits(std::uint64_t chunk) {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
  constexpr std::uint64_t kThrees = 0x3030303030303030ull;
  return (chunk & kHigh) == kThrees && ((chunk + 0x0606060606060606ull) & kHigh) == kThrees;
}

// The value of eight digits, the first in the word's lowest byte, in three multiplications.
std::uint64_t ValueOfEightDigits(std::uint64_t chunk) {
  chunk -= 0x3030303030303030ull;
  chunk = chunk * 10 + (chunk >> 8);
  constexpr std::uint64_t kMask = 0x000000FF000000FFull;
  constexpr std::uint64_t kHundreds = 100 + (1000000ull << 32);
  constexpr std::uint64_t kOnes = 1 + (10000ull << 32);
  return ((chunk & kMask) * kHundreds + ((chunk >> 16) & kMask) * kOnes) >> 32;
}

// Appends the digits of `text` from `i` on to `mantissa`, eight at a time where it can, and
// moves `i` past them. Amounts and provisions are read in every record.
void ReadDigits(std::string_view text, std::size_t &i, std::uint64_t &mantissa) {
  if constexpr (kLittleEndian) {
    while (i + 8 <= text.size()) {
      std::uint64_t chunk;
      std::memcpy(&chunk, text.data() + i, 8);
      if (!EightDigits(chunk)) {
        break;
      }
      mantissa = mantissa * 100000000 + ValueOfEightDigits(chunk);
      i += 8;
    }
  }
  while (i < text.size() && IsDigit(text[i])) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    ++i;
  }
}

// The common case of a field of digits with at most one point and no blanks, sign or
// exponent: an integer of at most 2^53 is exact as a double, and dividing it by an exact
// power of ten rounds once, correctly, to the same double a full conversion gives.
// Returns false when the text needs the general reading.
bool FastDecimalValue(std::string_view text, double &value) {
  std::uint64_t mantissa = 0;
  std::size_t i = 0;
  auto read_digits = [&] {
    const std::size_t start = i;
    ReadDigits(text, i, mantissa);
    return i - start;
  };
  std::size_t digits = read_digits();
  std::size_t decimals = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    decimals = read_digits();
    digits += decimals;
  }
  // Nineteen digits always fit the integer; beyond them it may have wrapped. Anything
  // after the number that could continue it (blank, exponent) takes the long way.
  if (digits == 0 || digits > 19 || decimals > 22 || mantissa > (std::uint64_t{1} << 53) ||
      (i < text.size() && (text[i] == ' ' || text[i] == 'E' || text[i] == 'e'))) {
    return false;
  }
  value = static_cast<double>(mantissa) / kExactPowersOfTen[decimals];
  return true;
}

// Appends the digits and the one decimal point that follow `i`, blanks dropped; `i` stops
// at the first character that cannot continue them. Whether any digit was read.
bool AppendDigits(std::string_view text, std::size_t &i, std::string &number) {
  bool seen_digit = false;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      continue;
    }
    if (IsDigit(c)) {
      number.push_back(c);
      seen_digit = true;
    } else if (c == '.' && !seen_point) {
      number.push_back(c);
      seen_point = true;
    } else {
      break;
    }
  }
  return seen_digit;
}

// Appends the exponent that begins at `i`, if any. It counts only when at least one digit
// follows its letter and optional sign.
void AppendExponent(std::string_view text, std::size_t i, std::string &number) {
  if (i >= text.size() || (text[i] != 'E' && text[i] != 'e')) {
    return;
  }
  std::size_t j = i + 1;
  std::string exponent = "e";
  while (j < text.size() && text[j] == ' ') {
    ++j;
  }
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
    exponent.push_back(text[j]);
    ++j;
  }
  bool exponent_digit = false;
  bool significant = false;
  for (; j < text.size(); ++j) {
    const char c = text[j];
    if (c == ' ') {
      continue;
    }
    if (!IsDigit(c)) {
      break;
    }
    exponent_digit = true;
    // Leading zeros are dropped before the bound below, which would otherwise cut off the
    // digits that count: "1E00000001" is 10.
    significant |= c != '0';
    // Keep the exponent bounded: beyond a few digits the value is 0 or infinite anyway.
    if (significant && exponent.size() < 8) {
      exponent.push_back(c);
    }
  }
  if (exponent_digit) {
    number += exponent;
    if (!significant) {
      number.push_back('0');
    }
  }
}

// The value of the collected characters, which hold at least one digit.
double CollectedValue(const std::string &number) {
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched on overflow and underflow: tell them apart.
    const bool tiny = number.find("e-") != std::string::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return value;
}

} // namespace

double LeadingNumberValue(std::string_view text) {
  double fast = 0.0;
  if (FastDecimalValue(text, fast)) {
    return fast;
  }
  // Collect the characters that form the number, blanks dropped, then convert once.
  std::string number;
  number.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (!AppendDigits(text, i, number)) {
    return 0.0;
  }
  AppendExponent(text, i, number);
  const double value = CollectedValue(number);
  return negative ? -value : value;
}

double FixedPointValue(std::string_view field, std::size_t integer_digits, std::size_t decimals) {
  const std::string_view integer_part = field.substr(0, integer_digits);
  const std::string_view decimal_part =
      field.size() >= decimals ? field.substr(field.size() - decimals) : field;
  // Amounts are usually all digits: read them as one exact integer scaled once, which is
  // the double the text "integer.decimals" converts to.
  if (!integer_part.empty() && decimal_part.size() <= 22 &&
      integer_part.size() + decimal_part.size() <= 15) {
    std::uint64_t mantissa = 0;
    bool digits = true;
    for (const char c : integer_part) {
      digits &= IsDigit(c);
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (const char c : decimal_part) {
      digits &= IsDigit(c);
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (digits) {
      return static_cast<double>(mantissa) / kExactPowersOfTen[decimal_part.size()];
    }
  }
  std::string text;
  text.reserve(integer_part.size() + decimal_part.size() + 1);
  text.append(integer_part);
  text.push_back('.');
  text.append(decimal_part);
  return LeadingNumberValue(text);
}

double FixedPointValueAt(std::string_view line, std::size_t start, std::size_t length,
                         std::size_t integer_digits, std::size_t decimals) {
  if constexpr (kLittleEndian) {
    const std::size_t end = start - 1 + length;
    if (start >= 1 && end <= line.size() && end >= 8 && length <= 8 && integer_digits >= 1 &&
        integer_digits + decimals == length) {
      // The eight bytes that end with the field, those before it replaced by leading zeros.
      std::uint64_t word;
      std::memcpy(&word, line.data() + end - 8, 8);
      const std::uint64_t before = (std::uint64_t{1} << (8 * (8 - length))) - 1;
      word = (word & ~before) | (0x3030303030303030ull & before);
      if (EightDigits(word)) {
        return static_cast<double>(ValueOfEightDigits(word)) / kExactPowersOfTen[decimals];
      }
    }
  }
  return FixedPointValue(Mid(line, start, length), integer_digits, decimals);
}

std::string_view Trim(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && text[first] == ' ') {
    ++first;
  }
  if (first == text.size()) {
    return {};
  }
  std::size_t end = text.size();
  while (text[end - 1] == ' ') {
    --end;
  }
  return text.substr(first, end - first);
}

std::string_view RightTrim(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') {
    --end;
  }
  if (end == 0) {
    return {};
  }
  return text.substr(0, end);
}

bool IsBlank(std::string_view text) {
  for (const char c : text) {
    if (c != ' ') {
      return false;
    }
  }
  return true;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char &c : out) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

std::string_view CharacterText(char c) {
  static const std::array<char, 256> kCharacters = [] {
    std::array<char, 256> all{};
    for (std::size_t i = 0; i < all.size(); ++i) {
      all[i] = static_cast<char>(i);
    }
    return all;
  }();
  return c == '\0' ? std::string_view()
                   : std::string_view(&kCharacters[static_cast<unsigned char>(c)], 1);
}

} // namespace verdalia
