#include "physical/value_lists.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "physical/words.h"

namespace verdalia {
namespace {

// The bit of a column that no list tests, which every byte has.
constexpr std::uint8_t kAnyAllowed = 0x80;

} // namespace

std::vector<std::uint64_t> ListedTexts(std::string_view list, std::size_t size, bool trimmed) {
  std::vector<std::uint64_t> texts;
  for (std::size_t end = 0; end < list.size(); ++end) {
    if (list[end] != '#') {
      continue;
    }
    for (std::size_t count = trimmed ? 0 : size; count <= size && count <= end; ++count) {
      std::string text(list.substr(end - count, count));
      if (trimmed && !text.empty() && text.back() == ' ') {
        continue; // no right-trimmed text ends in a blank
      }
      text.resize(size, ' ');
      texts.push_back(Pack(text));
    }
  }
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  return texts;
}

bool HashList(const std::vector<std::uint64_t> &texts, ListHash &hash,
              std::vector<std::uint64_t> &tables) {
  if (texts.empty()) {
    return false;
  }
  std::uint64_t seed = 0x9E3779B97F4A7C15ull;
  for (unsigned bits = 1; bits <= 8; ++bits) {
    const std::size_t size = std::size_t{1} << bits;
    if (size < texts.size()) {
      continue;
    }
    for (int attempt = 0; attempt < 64; ++attempt) {
      // splitmix64: multipliers spread over every bit, the same on every run.
      seed += 0x9E3779B97F4A7C15ull;
      std::uint64_t m = seed;
      m = (m ^ (m >> 30)) * 0xBF58476D1CE4E5B9ull;
      m = (m ^ (m >> 27)) * 0x94D049BB133111EBull;
      m = (m ^ (m >> 31)) | 1;
      // Empty places hold a listed text, which only that text matches.
      std::vector<std::uint64_t> table(size, texts.front());
      std::vector<bool> taken(size, false);
      bool collision = false;
      for (const std::uint64_t text : texts) {
        const std::size_t place = (text * m) >> (64 - bits);
        collision = collision || taken[place];
        taken[place] = true;
        table[place] = text;
      }
      if (!collision) {
        hash.multiplier = m;
        hash.shift = 64 - bits;
        hash.table = static_cast<std::uint32_t>(tables.size());
        tables.insert(tables.end(), table.begin(), table.end());
        return true;
      }
    }
  }
  return false;
}

bool ColumnLists::Take(std::uint32_t start, std::size_t length,
                       const std::vector<std::uint64_t> &texts) {
  if (texts.empty() || length == 0) {
    return false;
  }
  std::vector<std::array<std::uint16_t, 16>> sets(length); // by column, low nibbles by high
  for (const std::uint64_t text : texts) {
    char bytes[8];
    std::memcpy(bytes, &text, 8);
    for (std::size_t c = 0; c < length; ++c) {
      const auto b = static_cast<unsigned char>(bytes[c]);
      sets[c][b >> 4] |= static_cast<std::uint16_t>(1u << (b & 15));
    }
  }
  // The combinations hold every listed text: the list is all of them when there are no more.
  std::size_t combinations = 1;
  for (const auto &set : sets) {
    std::size_t bytes = 0;
    for (const std::uint16_t low : set) {
      bytes += static_cast<std::size_t>(std::popcount(low));
    }
    combinations *= bytes;
    if (combinations > texts.size()) {
      return false;
    }
  }
  if (m_allowed.empty()) {
    m_allowed.assign(m_columns, kAnyAllowed);
    m_allowed_low.fill(kAnyAllowed);
    m_allowed_high.fill(kAnyAllowed);
  }
  // The bits of each column's rectangles, new ones taken only if all fit.
  std::vector<std::pair<unsigned, std::uint16_t>> rectangles = m_rectangles;
  std::vector<std::uint8_t> bits(length, 0);
  for (std::size_t c = 0; c < length; ++c) {
    if (m_allowed[start + c] != kAnyAllowed) {
      return false;
    }
    for (unsigned high = 0; high < 16; ++high) {
      if (sets[c][high] == 0) {
        continue;
      }
      const std::pair<unsigned, std::uint16_t> rectangle{high, sets[c][high]};
      auto found = std::find(rectangles.begin(), rectangles.end(), rectangle);
      if (found == rectangles.end()) {
        if (rectangles.size() == 7) {
          return false;
        }
        found = rectangles.insert(rectangles.end(), rectangle);
      }
      bits[c] |= static_cast<std::uint8_t>(1u << (found - rectangles.begin()));
    }
  }
  for (std::size_t bit = m_rectangles.size(); bit < rectangles.size(); ++bit) {
    const auto [high, lows] = rectangles[bit];
    m_allowed_high[high] |= static_cast<std::uint8_t>(1u << bit);
    for (unsigned low = 0; low < 16; ++low) {
      if ((lows >> low) & 1u) {
        m_allowed_low[low] |= static_cast<std::uint8_t>(1u << bit);
      }
    }
  }
  m_rectangles = std::move(rectangles);
  for (std::size_t c = 0; c < length; ++c) {
    m_allowed[start + c] = bits[c];
  }
  return true;
}

} // namespace verdalia
