#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace verdalia {

// A field of up to eight bytes read as one 64-bit word, in the machine's byte order, and
// kept to its length with a mask. The plan of the detail records reads its copy of a line
// this way, which has room for a word past its end.

// The mask of a word's first `count` bytes.
constexpr std::uint64_t FirstBytes(std::size_t count) {
  if (count >= 8) {
    return ~std::uint64_t{0};
  }
  if constexpr (std::endian::native == std::endian::little) {
    return (std::uint64_t{1} << (8 * count)) - 1;
  } else {
    return count == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - count));
  }
}

inline std::uint64_t Load(const char *bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

// A text's first eight bytes as a word, the bytes past its end 0.
inline std::uint64_t Pack(std::string_view text) {
  std::uint64_t word = 0;
  std::memcpy(&word, text.data(), std::min<std::size_t>(text.size(), 8));
  return word;
}

constexpr std::uint64_t Repeated(char c) {
  return 0x0101010101010101ull * static_cast<unsigned char>(c);
}

// Whether the `size` bytes are all `c`; the bytes may be read up to a word past them.
inline bool AllOf(const char *bytes, std::size_t size, char c) {
  const std::uint64_t pattern = Repeated(c);
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    if (Load(bytes + i) != pattern) {
      return false;
    }
  }
  const std::uint64_t mask = FirstBytes(size - i);
  return (Load(bytes + i) & mask) == (pattern & mask);
}

// Whether every byte the mask keeps is "0" or "1".
constexpr bool IsBinaryWord(std::uint64_t word, std::uint64_t mask) {
  return ((word ^ Repeated('0')) & Repeated('\xFE') & mask) == 0;
}

} // namespace verdalia
