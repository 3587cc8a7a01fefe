#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace verdalia {

// A field's value list as the plan of the detail records tests it: the texts of the field's
// length that the list holds, each packed into a word (words.h), for fields of up to eight
// characters.

// The texts of `size` characters that `list` holds followed by "#", packed and sorted; with
// `trimmed`, the texts whose right-trimmed form it holds so.
std::vector<std::uint64_t> ListedTexts(std::string_view list, std::size_t size, bool trimmed);

// Whether the sorted texts hold `word`.
inline bool Contains(const std::vector<std::uint64_t> &texts, std::uint64_t word) {
  if (texts.size() <= 8) {
    return std::find(texts.begin(), texts.end(), word) != texts.end();
  }
  return std::binary_search(texts.begin(), texts.end(), word);
}

// A table of a power of two places without collisions: a word is listed when it is the one
// in the place the top `64 - shift` bits of its product with the multiplier name.
struct ListHash {
  std::uint64_t multiplier = 0;
  std::uint32_t shift = 0;
  std::uint32_t table = 0; // where the table begins among the tables
};

// Finds a multiplier that sends each of `texts` to a place of its own, among a few, and
// appends the table to `tables`; false when there are no texts or none is found, and the
// list is searched instead.
bool HashList(const std::vector<std::uint64_t> &texts, ListHash &hash,
              std::vector<std::uint64_t> &tables);

// The lists tested column by column in the line's pass (line_scan.h): a list that holds
// every combination of one byte per column from a set per column. Each set is a union of
// rectangles (a high nibble, a set of low nibbles), a class bit each, of which there are
// seven; the eighth is every byte's, in the columns no list tests.
class ColumnLists {
public:
  explicit ColumnLists(std::size_t columns = 0) : m_columns(columns) {}

  // Takes the list of `texts` of `length` bytes at column `start` when it is such a list,
  // its rectangles fit the bits left and no list it took before tests its columns.
  bool Take(std::uint32_t start, std::size_t length, const std::vector<std::uint64_t> &texts);

  // For the pass: by column, the classes that satisfy it, none when no list was taken; and
  // the classes of a byte by its low and by its high nibble.
  const std::uint8_t *Allowed() const { return m_allowed.empty() ? nullptr : m_allowed.data(); }
  const std::uint8_t *AllowedLow() const { return m_allowed_low.data(); }
  const std::uint8_t *AllowedHigh() const { return m_allowed_high.data(); }

private:
  std::size_t m_columns;
  std::vector<std::uint8_t> m_allowed;
  std::array<std::uint8_t, 16> m_allowed_low{};
  std::array<std::uint8_t, 16> m_allowed_high{};
  std::vector<std::pair<unsigned, std::uint16_t>> m_rectangles; // high nibble, low nibbles
};

} // namespace verdalia
