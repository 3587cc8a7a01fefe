#include "physical/field_checks.h"

#include <array>
#include <cstdint>

#include "common/text.h"

namespace verdalia {
namespace {

constexpr std::array<bool, 256> ValidTextCharacters() {
  std::array<bool, 256> valid{};
  for (const char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@<>- \"")) {
    valid[static_cast<unsigned char>(c)] = true;
  }
  return valid;
}

constexpr std::array<bool, 256> kValidTextCharacters = ValidTextCharacters();

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `test` holds for every character. Eight characters a step, each tested without a
// branch: fields are short and nearly always right, and a step of eight plain tests runs
// several times faster than a test and a jump per character.
template <typename Test> bool EveryCharacter(std::string_view text, Test test) {
  bool all = true;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    for (std::size_t k = 0; k < 8; ++k) {
      all &= test(text[i + k]);
    }
  }
  for (; i < text.size(); ++i) {
    all &= test(text[i]);
  }
  return all;
}

int DigitsValue(std::string_view digits) {
  int value = 0;
  for (const char c : digits) {
    value = value * 10 + (c - '0');
  }
  return value;
}

int DaysInMonth(int month, int year) {
  switch (month) {
  case 4:
  case 6:
  case 9:
  case 11:
    return 30;
  case 2:
    // No century exception: 1900 and 2100 are leap years here, as they always were.
    return year % 4 == 0 ? 29 : 28;
  default:
    return 31;
  }
}

// The date test of eight digits: year, month and day in range. "00000000" is no date here
// (day 0): the callers set it aside first.
bool IsEightDigitDateOfDigits(std::string_view date) {
  if (date.size() != 8) {
    return false;
  }
  const int year = DigitsValue(date.substr(0, 4));
  const int month = DigitsValue(date.substr(4, 2));
  const int day = DigitsValue(date.substr(6, 2));
  if (day < 1 || month < 1 || month > 12 || year < 1900 || year > 2500) {
    return false;
  }
  return day <= DaysInMonth(month, year);
}

// The date test after the zero date is set aside and the text trimmed: a trimmed
// "00000000" is no date (day 0).
bool IsEightDigitDate(std::string_view date) {
  return date.size() == 8 && IsNumber(date) && IsEightDigitDateOfDigits(date);
}

// Weights 2, 3, ..., 7, 2, 3, ... from the last character back, of a number that is not 0.
// A wide sum: a 16-bit one would overflow past some five hundred characters.
char WeightedCheckDigit(std::string_view rut) {
  std::uint64_t sum = 0;
  std::uint64_t weight = 2;
  for (std::size_t i = rut.size(); i-- > 0;) {
    // A character that is not a digit counts as 0.
    const std::uint64_t value = IsDigit(rut[i]) ? static_cast<std::uint64_t>(rut[i] - '0') : 0;
    sum += value * weight;
    weight = weight == 7 ? 2 : weight + 1;
  }
  const std::uint64_t r = 11 - sum % 11;
  if (r == 11) {
    return '0';
  }
  if (r == 10) {
    return 'K';
  }
  return static_cast<char>('0' + r);
}

} // namespace

bool HasValidCharacters(std::string_view text) {
  return EveryCharacter(text,
                        [](char c) { return kValidTextCharacters[static_cast<unsigned char>(c)]; });
}

bool IsNumber(std::string_view text) {
  return EveryCharacter(text, IsDigit);
}

bool HasCharacters(CharacterClass characters, std::string_view text) {
  switch (characters) {
  case CharacterClass::Any:
    return true;
  case CharacterClass::Digits:
    return IsNumber(text);
  case CharacterClass::Text:
    return HasValidCharacters(text);
  case CharacterClass::Blanks:
    return IsBlank(text);
  }
  return false;
}

bool IsBinary(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (const char c : text) {
    if (c != '0' && c != '1') {
      return false;
    }
  }
  return true;
}

bool IsDateText(std::string_view text) {
  return Is(text, "00000000") || IsEightDigitDate(Trim(text));
}

char CheckDigitOf(std::string_view identity_number) {
  const std::string_view rut = Trim(identity_number);
  // Only whether the number is 0 matters; for digits alone, that is whether all are "0".
  if (IsNumber(rut)) {
    return CheckDigitOfDigits(rut);
  }
  return LeadingNumberValue(rut) == 0 ? '0' : WeightedCheckDigit(rut);
}

// One pass: the weighted sum and whether any digit is not 0. An identity number is checked
// in every record that has one.
char CheckDigitOfDigits(std::string_view digits) {
  static constexpr std::uint64_t kWeights[6] = {2, 3, 4, 5, 6, 7};
  std::uint64_t sum = 0;
  std::uint64_t any = 0;
  std::size_t weight = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    const auto digit = static_cast<std::uint64_t>(digits[i] - '0');
    any |= digit;
    sum += digit * kWeights[weight];
    weight = weight == 5 ? 0 : weight + 1;
  }
  if (any == 0) {
    return '0';
  }
  const std::uint64_t r = 11 - sum % 11;
  return r == 11 ? '0' : r == 10 ? 'K' : static_cast<char>('0' + r);
}

bool IsDateOfDigits(std::string_view digits) {
  return Is(digits, "00000000") || IsEightDigitDateOfDigits(digits);
}

} // namespace verdalia
