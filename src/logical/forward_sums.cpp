#include "logical/forward_sums.h"

#include "logical/number_text.h"

#include <cmath>
#include <limits>

namespace verdalia {

ForwardSums::ForwardSums(std::vector<double> terms)
    : m_terms(std::move(terms)), m_high(m_terms.size() + 1, 0.0),
      m_low(m_terms.size() + 1, 0.0), m_magnitude(m_terms.size() + 1, 0.0) {
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

double ForwardSums::CentsOfProduct(std::size_t start, double factor) {
  const std::size_t count = start < m_terms.size() ? m_terms.size() - start : 0;
  if (count > 1) {
    // The one-by-one sum of `count` terms lies within (count - 1) units of the last place
    // of the sum of magnitudes of the exact sum; the bound below is four times wider than
    // that, which also covers the rounding of the accurate sum and of the bound itself.
    constexpr double kUnit = std::numeric_limits<double>::epsilon() / 2;
    const double accurate = m_high[start] + m_low[start];
    const double bound = 4.0 * static_cast<double>(count + 2) * kUnit * m_magnitude[start];
    const double low = accurate - bound;
    const double high = accurate + bound;
    if (std::isfinite(low) && std::isfinite(high)) {
      const double cents_low = RoundToCents(low * factor);
      const double cents_high = RoundToCents(high * factor);
      if (cents_low == cents_high) {
        return cents_low;
      }
    }
  }
  return RoundToCents(Sum(start) * factor);
}

} // namespace verdalia
