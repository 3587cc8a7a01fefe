#include "gen/random.h"

namespace verdalia::gen {
namespace {

std::uint64_t SplitMix64(std::uint64_t &x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t RotateLeft(std::uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

} // namespace

Random::Random(std::uint64_t seed) {
  for (std::uint64_t &word : m_state) {
    word = SplitMix64(seed);
  }
}

std::uint64_t Random::Next() {
  const std::uint64_t result = RotateLeft(m_state[1] * 5, 7) * 9;
  const std::uint64_t t = m_state[1] << 17;
  m_state[2] ^= m_state[0];
  m_state[3] ^= m_state[1];
  m_state[1] ^= m_state[2];
  m_state[0] ^= m_state[3];
  m_state[2] ^= t;
  m_state[3] = RotateLeft(m_state[3], 45);
  return result;
}

long long Random::Between(long long low, long long high) {
  const std::uint64_t span = static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) + 1;
  if (span == 0) {
    return static_cast<long long>(Next()); // the whole 64-bit range
  }
  // Draws above the last whole multiple of the span are thrown away, so every value is
  // equally likely.
  const std::uint64_t limit = UINT64_MAX - (UINT64_MAX % span);
  std::uint64_t draw = Next();
  while (draw >= limit) {
    draw = Next();
  }
  return static_cast<long long>(static_cast<std::uint64_t>(low) + draw % span);
}

bool Random::Chance(double p) {
  if (p <= 0.0) {
    return false;
  }
  if (p >= 1.0) {
    return true;
  }
  const double unit = static_cast<double>(Next() >> 11) * 0x1.0p-53;
  return unit < p;
}

} // namespace verdalia::gen
