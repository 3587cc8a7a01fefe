#include "logical/text_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace verdalia {
namespace {

// The Unicode value of each Windows-1252 byte from 0x80 to 0x9F; the five bytes the code
// page leaves undefined keep their own value. Every other byte is its own Unicode value.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint16_t CharacterCode(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x80 && value <= 0x9F ? kHighControls[value - 0x80u] : value;
}

} // namespace

bool SortsAfter(std::string_view left, std::string_view right) {
  const std::size_t common = std::min(left.size(), right.size());
  // Equal beginnings, as dates mostly have, are passed over a word at a time.
  std::size_t k = 0;
  for (; k + 8 <= common; k += 8) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, left.data() + k, 8);
    std::memcpy(&b, right.data() + k, 8);
    if (a != b) {
      break;
    }
  }
  for (; k < common; ++k) {
    const std::uint16_t a = CharacterCode(left[k]);
    const std::uint16_t b = CharacterCode(right[k]);
    if (a != b) {
      return a > b;
    }
  }
  return left.size() > right.size();
}

} // namespace verdalia
