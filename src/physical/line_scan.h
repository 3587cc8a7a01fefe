#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace verdalia {

// Columns are marked 64 to a word.
inline constexpr std::size_t kColumnsPerWord = 64;

// What one pass over a line tests, by column (character_classes.h for the classes). Each
// table covers `words` words of columns, with room past them for the widest load.
struct ScanInput {
  const std::uint8_t *classes; // the classes that satisfy each column
  const char *values;          // the byte a "SI_ES:" rule forbids in each column
  std::size_t words;
  // Value lists tested by column: the classes of the plan's own that satisfy each column,
  // and the classes of a byte by its low and its high nibble; none when no list is.
  const std::uint8_t *allowed;
  const std::uint8_t *allowed_low;
  const std::uint8_t *allowed_high;
};

// The pass over a line's columns, a word of 64 at a time: whether each byte is of its
// column's classes, and which bytes are blanks, zeros, or the byte a "SI_ES:" rule forbids
// in their column. The marks go to `marks`: `words` of blanks, then of zeros, then of
// forbidden values.
using ScanFunction = bool (*)(const ScanInput &in, const char *bytes, std::uint64_t *marks);

// One way to make the pass, by the vector instructions it uses, each giving the same
// answers: "avx2" (32 bytes a step), "ssse3" (16) and "bytes" (one, on any processor).
struct LineScan {
  std::string_view name;
  ScanFunction scan;
};

// The scans this processor runs, widest first; "bytes" always among them.
std::vector<LineScan> UsableLineScans();

// The widest scan this processor runs: the one a program checks its files with.
LineScan WidestLineScan();

} // namespace verdalia
