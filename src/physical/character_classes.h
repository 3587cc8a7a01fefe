#pragma once

#include <array>
#include <cstdint>

#include "physical/field_types.h"

namespace verdalia {

// The classes of a byte that the plan of the detail records requires of a line's columns,
// as bits. A column requires a set of them and a byte satisfies it when it has any bit of
// the set. Each bit is a rectangle of high and low nibbles, so a byte's bits are those of its
// low nibble's entry and its high nibble's entry together: two table lookups, which a vector
// unit does for many bytes at once (line_scan.cpp).
inline constexpr std::uint8_t kDigitClass = 1;   // 0-9
inline constexpr std::uint8_t kBlankClass = 2;   // the blank
inline constexpr std::uint8_t kText20Class = 4;  // blank, double quote, hyphen
inline constexpr std::uint8_t kText30Class = 8;  // 0-9, <, >
inline constexpr std::uint8_t kText40Class = 16; // @, A-O
inline constexpr std::uint8_t kText50Class = 32; // P-Z
inline constexpr std::uint8_t kBinaryClass = 64; // 0, 1
inline constexpr std::uint8_t kAnyClass = 128;   // every byte
inline constexpr std::uint8_t kTextClass =
    kText20Class | kText30Class | kText40Class | kText50Class;
inline constexpr std::uint8_t kNoClass = 0; // two requirements no byte meets

constexpr std::array<std::uint8_t, 16> LowNibbleClasses() {
  std::array<std::uint8_t, 16> table{};
  for (unsigned lo = 0; lo < 16; ++lo) {
    std::uint8_t bits = kAnyClass | kText40Class;
    bits |= lo <= 9 ? kDigitClass | kText30Class : 0;
    bits |= lo == 0 ? kBlankClass : 0;
    bits |= lo == 0 || lo == 2 || lo == 0xD ? kText20Class : 0;
    bits |= lo == 0xC || lo == 0xE ? kText30Class : 0;
    bits |= lo <= 0xA ? kText50Class : 0;
    bits |= lo <= 1 ? kBinaryClass : 0;
    table[lo] = bits;
  }
  return table;
}

constexpr std::array<std::uint8_t, 16> HighNibbleClasses() {
  std::array<std::uint8_t, 16> table{};
  for (unsigned hi = 0; hi < 16; ++hi) {
    std::uint8_t bits = kAnyClass;
    bits |= hi == 2 ? kBlankClass | kText20Class : 0;
    bits |= hi == 3 ? kDigitClass | kText30Class | kBinaryClass : 0;
    bits |= hi == 4 ? kText40Class : 0;
    bits |= hi == 5 ? kText50Class : 0;
    table[hi] = bits;
  }
  return table;
}

inline constexpr std::array<std::uint8_t, 16> kLowNibbleClasses = LowNibbleClasses();
inline constexpr std::array<std::uint8_t, 16> kHighNibbleClasses = HighNibbleClasses();

// The classes that satisfy a field type's characters.
constexpr std::uint8_t ClassOf(CharacterClass characters) {
  switch (characters) {
  case CharacterClass::Any:
    return kAnyClass;
  case CharacterClass::Digits:
    return kDigitClass;
  case CharacterClass::Text:
    return kTextClass;
  case CharacterClass::Blanks:
    return kBlankClass;
  }
  return kAnyClass;
}

// Whether every byte of class `a` is of class `b`: 0 and 1 are digits, digits and the
// blank are texts, and every byte is something.
constexpr bool Within(std::uint8_t a, std::uint8_t b) {
  return a == b || b == kAnyClass || (a == kBinaryClass && b == kDigitClass) ||
         ((a == kBinaryClass || a == kDigitClass || a == kBlankClass) && b == kTextClass);
}

// The requirement of a column that two fields cover.
constexpr std::uint8_t Both(std::uint8_t a, std::uint8_t b) {
  if (Within(a, b)) {
    return a;
  }
  return Within(b, a) ? b : kNoClass;
}

} // namespace verdalia
