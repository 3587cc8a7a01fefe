#include "logical/forward_sums.h"

#include "logical/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace verdalia {

ForwardSums::ForwardSums(std::vector<double> terms)
    : m_terms(std::move(terms)), m_high(m_terms.size() + 1, 0.0), m_low(m_terms.size() + 1, 0.0),
      m_magnitude(m_terms.size() + 1, 0.0) {
  for (std::size_t k = m_terms.size(); k-- > 0;) {
    // Two-sum: `high + error` is exactly the previous sum plus the term.
    const double a = m_high[k + 1];
    const double b = m_terms[k];
    const double high = a + b;
    const double b_part = high - a;
    const double error = (a - (high - b_part)) + (b - b_part);
    m_high[k] = high;
    m_low[k] = m_low[k + 1] + error;
    m_magnitude[k] = m_magnitude[k + 1] + std::fabs(b);
  }
}

double ForwardSums::Sum(std::size_t start) {
  const auto known = m_sums.find(start);
  if (known != m_sums.end()) {
    return known->second;
  }
  double sum = 0;
  for (std::size_t k = start; k < m_terms.size(); ++k) {
    sum = sum + m_terms[k];
  }
  m_sums.emplace(start, sum);
  return sum;
}

void ForwardSums::SumFrom(std::vector<std::size_t> starts) {
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  std::erase_if(
      starts, [&](std::size_t start) { return start >= m_terms.size() || m_sums.contains(start); });
  if (starts.empty()) {
    return;
  }
  // One running sum per start; every sum adds the terms from its own start on. The sums do
  // not depend on each other, so they run side by side, a block at a time held in
  // registers; each still adds its terms one by one in the rule's order.
  constexpr std::size_t kBlock = 16;
  const std::size_t n = m_terms.size();
  for (std::size_t first = 0; first < starts.size(); first += kBlock) {
    const std::size_t width = std::min(kBlock, starts.size() - first);
    const std::size_t *block = starts.data() + first;
    double sums[kBlock] = {};
    // Until the block's last sum has begun, only the begun ones add.
    std::size_t k = block[0];
    std::size_t begun = 0;
    for (; k < n; ++k) {
      while (begun < width && block[begun] <= k) {
        ++begun;
      }
      if (begun == width) {
        break;
      }
      for (std::size_t j = 0; j < begun; ++j) {
        sums[j] = sums[j] + m_terms[k];
      }
    }
    if (width == kBlock) {
      for (; k < n; ++k) {
        const double term = m_terms[k];
        for (std::size_t j = 0; j < kBlock; ++j) {
          sums[j] = sums[j] + term;
        }
      }
    } else {
      for (; k < n; ++k) {
        for (std::size_t j = 0; j < width; ++j) {
          sums[j] = sums[j] + m_terms[k];
        }
      }
    }
    for (std::size_t j = 0; j < width; ++j) {
      m_sums.emplace(block[j], sums[j]);
    }
  }
}

bool ForwardSums::Decided(std::size_t start, double factor, double &cents) const {
  const std::size_t count = start < m_terms.size() ? m_terms.size() - start : 0;
  if (count <= 1) {
    // No addition rounds: the sum is 0 or the one term.
    cents = RoundToCents((count == 1 ? 0.0 + m_terms[start] : 0.0) * factor);
    return true;
  }
  // The one-by-one sum of `count` terms lies within (count - 1) units of the last place of
  // the sum of magnitudes of the exact sum; the bound below is four times wider than that,
  // which also covers the rounding of the accurate sum and of the bound itself.
  constexpr double kUnit = std::numeric_limits<double>::epsilon() / 2;
  const double accurate = m_high[start] + m_low[start];
  const double bound = 4.0 * static_cast<double>(count + 2) * kUnit * m_magnitude[start];
  const double low = accurate - bound;
  const double high = accurate + bound;
  if (!std::isfinite(low) || !std::isfinite(high)) {
    return false;
  }
  const double cents_low = RoundToCents(low * factor);
  const double cents_high = RoundToCents(high * factor);
  if (cents_low != cents_high) {
    return false;
  }
  cents = cents_low;
  return true;
}

bool ForwardSums::NeedsSum(std::size_t start, double factor) const {
  double cents = 0;
  return !m_sums.contains(start) && !Decided(start, factor, cents);
}

double ForwardSums::CentsOfProduct(std::size_t start, double factor) {
  double cents = 0;
  if (Decided(start, factor, cents)) {
    return cents;
  }
  return RoundToCents(Sum(start) * factor);
}

} // namespace verdalia
