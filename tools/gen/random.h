#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace verdalia::gen {

// A small pseudo-random source whose every step is fixed here (xoshiro256**, seeded through
// SplitMix64).
// The standard distributions differ between libraries; these draws do not, so a seed gives
// the same file on every platform.
class Random {
public:
  explicit Random(std::uint64_t seed);

  std::uint64_t Next();

  // Uniform in [low, high], both included; low <= high.
  long long Between(long long low, long long high);

  // True with probability p (p <= 0 never, p >= 1 always).
  bool Chance(double p);

  template <class T> const T &Pick(const std::vector<T> &items) {
    return items[static_cast<std::size_t>(Between(0, static_cast<long long>(items.size()) - 1))];
  }
  template <class T, std::size_t N> const T &Pick(const std::array<T, N> &items) {
    return items[static_cast<std::size_t>(Between(0, static_cast<long long>(N) - 1))];
  }

private:
  std::array<std::uint64_t, 4> m_state{};
};

} // namespace verdalia::gen
