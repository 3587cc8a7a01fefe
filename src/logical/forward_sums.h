#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace verdalia {

// The running sum of the insured-amount rule over a group of item records: S starts at 0
// and the terms from a start position to the end of the group are added one by one, in
// double precision. Each addition rounds, so sums from different starts are not
// differences of one another; adding them anew for every policy record that shares a
// group would cost the square of the group's size.
//
// CentsOfProduct answers C = S × factor rounded to cents without that cost: it keeps, for
// every start, an accurate sum of the remaining terms and a bound on how far the one-by-one
// sum can stray from it (n additions stray by at most n units of the last place of the sum
// of magnitudes). Rounding to cents only ever moves one way as S grows, so when both ends
// of that interval give the same C the one-by-one sum gives it too. Only where the
// interval straddles a cent boundary (an amount that lands on half a cent) are the terms
// added one by one, as the rule does.
class ForwardSums {
public:
  explicit ForwardSums(std::vector<double> terms);

  // 0 + terms[start] + terms[start + 1] + ... + terms[n - 1], left to right.
  double Sum(std::size_t start);

  // Works out and remembers Sum(start) for every one of `starts` in a single pass.
  void SumFrom(std::vector<std::size_t> starts);

  // Whether CentsOfProduct(start, factor) has to add the terms one by one.
  bool NeedsSum(std::size_t start, double factor) const;

  // RoundToCents(Sum(start) * factor), exactly.
  double CentsOfProduct(std::size_t start, double factor);

private:
  // RoundToCents(sum * factor) for every sum within the bound of the one-by-one sum from
  // `start`, when they all agree.
  bool Decided(std::size_t start, double factor, double &cents) const;

  std::vector<double> m_terms;
  // From each start to the end: the backward sum, the exact rounding errors of its
  // additions summed, and the sum of the terms' magnitudes.
  std::vector<double> m_high;
  std::vector<double> m_low;
  std::vector<double> m_magnitude;
  std::unordered_map<std::size_t, double> m_sums;
};

} // namespace verdalia
