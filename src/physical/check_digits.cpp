#include "physical/check_digits.h"

#include "common/text.h"
#include "physical/field_checks.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>
#define VERDALIA_SSE2 1
#endif

namespace verdalia {
namespace {

// Weights 2, 3, ..., 7, 2, 3, ... from the last character back, of a number that is not 0.
// A wide sum: a 16-bit one would overflow past some five hundred characters.
char WeightedCheckDigit(std::string_view rut) {
  std::uint64_t sum = 0;
  std::uint64_t weight = 2;
  for (std::size_t i = rut.size(); i-- > 0;) {
    // A character that is not a digit counts as 0.
    const bool digit = rut[i] >= '0' && rut[i] <= '9';
    const std::uint64_t value = digit ? static_cast<std::uint64_t>(rut[i] - '0') : 0;
    sum += value * weight;
    weight = weight == 7 ? 2 : weight + 1;
  }
  const std::uint64_t r = 11 - sum % 11;
  if (r == 11) {
    return '0';
  }
  if (r == 10) {
    return 'K';
  }
  return static_cast<char>('0' + r);
}

} // namespace

char CheckDigitOf(std::string_view identity_number) {
  const std::string_view rut = Trim(identity_number);
  // Only whether the number is 0 matters; for digits alone, that is whether all are "0".
  if (IsNumber(rut)) {
    return CheckDigitOfDigits(rut);
  }
  return LeadingNumberValue(rut) == 0 ? '0' : WeightedCheckDigit(rut);
}

// One pass: the weighted sum and whether any digit is not 0. An identity number is checked
// in every record that has one.
char CheckDigitOfDigits(std::string_view digits) {
  static constexpr std::uint64_t kWeights[6] = {2, 3, 4, 5, 6, 7};
  std::uint64_t sum = 0;
  std::uint64_t any = 0;
  std::size_t weight = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    const auto digit = static_cast<std::uint64_t>(digits[i] - '0');
    any |= digit;
    sum += digit * kWeights[weight];
    weight = weight == 5 ? 0 : weight + 1;
  }
  if (any == 0) {
    return '0';
  }
  const std::uint64_t r = 11 - sum % 11;
  return r == 11 ? '0' : r == 10 ? 'K' : static_cast<char>('0' + r);
}

// 2 for the last digit, then 3 up to 7, and 2 again.
void CheckDigitWeights(std::size_t size, std::int16_t (&weights)[16]) {
  for (std::size_t i = 0; i < 16; ++i) {
    weights[i] = i < size ? static_cast<std::int16_t>(2 + (size - 1 - i) % 6) : 0;
  }
}

char CheckDigitOfWeighted(const char *digits, const std::int16_t (&weights)[16]) {
  int sum = 0;
#ifdef VERDALIA_SSE2
  const __m128i values =
      _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(digits)), _mm_set1_epi8('0'));
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_load_si128(reinterpret_cast<const __m128i *>(weights));
  const __m128i high = _mm_load_si128(reinterpret_cast<const __m128i *>(weights + 8));
  __m128i sums = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(values, zero), low),
                               _mm_madd_epi16(_mm_unpackhi_epi8(values, zero), high));
  sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0x4E));
  sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0xB1));
  sum = _mm_cvtsi128_si32(sums);
#else
  for (std::size_t i = 0; i < 16; ++i) {
    sum += weights[i] * (weights[i] != 0 ? digits[i] - '0' : 0);
  }
#endif
  // Every weight is at least 2: the sum is 0 exactly when every digit is.
  if (sum == 0) {
    return '0';
  }
  const int r = 11 - sum % 11;
  return r == 11 ? '0' : r == 10 ? 'K' : static_cast<char>('0' + r);
}

#ifdef VERDALIA_SSE2
namespace {

// The weighted sums of the identity numbers of lanes `first` to `first` + 3 of a batch, one
// in each 32-bit lane: the products summed per number, then the four sums gathered.
__m128i FourSums(const char *bytes, const CheckDigitBatch &batch, int first) {
  const __m128i zero = _mm_setzero_si128();
  __m128i sums[4];
  for (int k = 0; k < 4; ++k) {
    const int lane = first + k;
    const __m128i values = _mm_sub_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + batch.numbers[lane])),
        _mm_set1_epi8('0'));
    const auto *weights = reinterpret_cast<const __m128i *>(batch.weights[lane]);
    sums[k] = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(values, zero), weights[0]),
                            _mm_madd_epi16(_mm_unpackhi_epi8(values, zero), weights[1]));
  }
  const __m128i low =
      _mm_add_epi32(_mm_unpacklo_epi32(sums[0], sums[1]), _mm_unpackhi_epi32(sums[0], sums[1]));
  const __m128i high =
      _mm_add_epi32(_mm_unpacklo_epi32(sums[2], sums[3]), _mm_unpackhi_epi32(sums[2], sums[3]));
  return _mm_add_epi32(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high));
}

} // namespace

bool CheckDigitsMatch(const char *bytes, const CheckDigitBatch &batch) {
  const __m128i sums = _mm_packs_epi32(
      FourSums(bytes, batch, 0), batch.used > 4 ? FourSums(bytes, batch, 4) : _mm_setzero_si128());
  // A sum is at most 16 digits of 9 times 7: the high half of its product with 65536 / 11,
  // rounded up, is its quotient by 11 exactly.
  const __m128i quotient = _mm_mulhi_epu16(sums, _mm_set1_epi16(5958));
  const __m128i remainder = _mm_sub_epi16(sums, _mm_mullo_epi16(quotient, _mm_set1_epi16(11)));
  const __m128i digit = _mm_sub_epi16(_mm_set1_epi16(11), remainder);
  // 11 is written "0", 10 "K", the others as their digit; a sum of 0 gives 11 too.
  const __m128i eleven = _mm_cmpeq_epi16(digit, _mm_set1_epi16(11));
  const __m128i ten = _mm_cmpeq_epi16(digit, _mm_set1_epi16(10));
  const __m128i written_as_digit =
      _mm_andnot_si128(_mm_or_si128(eleven, ten), _mm_add_epi16(digit, _mm_set1_epi16('0')));
  const __m128i expected =
      _mm_or_si128(written_as_digit, _mm_or_si128(_mm_and_si128(eleven, _mm_set1_epi16('0')),
                                                  _mm_and_si128(ten, _mm_set1_epi16('K'))));
  auto at = [&](int lane) {
    return static_cast<short>(static_cast<unsigned char>(bytes[batch.digits[lane]]));
  };
  const __m128i written = _mm_setr_epi16(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7));
  const int equal = _mm_movemask_epi8(_mm_cmpeq_epi16(expected, written));
  return (equal & batch.lanes) == batch.lanes;
}
#else
bool CheckDigitsMatch(const char *bytes, const CheckDigitBatch &batch) {
  for (int lane = 0; lane < batch.used; ++lane) {
    if (CheckDigitOfWeighted(bytes + batch.numbers[lane], batch.weights[lane]) !=
        bytes[batch.digits[lane]]) {
      return false;
    }
  }
  return true;
}
#endif

} // namespace verdalia
