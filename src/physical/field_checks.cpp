#include "physical/field_checks.h"

#include <array>

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

} // namespace verdalia
