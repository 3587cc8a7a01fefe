#include "physical/record_plan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/text.h"
#include "physical/field_checks.h"
#include "physical/record_checks.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// glibc's header is written for C: clang's C++ does not know its _Bool.
#if __has_include(<sys/platform/x86.h>) && !defined(__clang__)
#include <sys/platform/x86.h>
#define VERDALIA_GLIBC_CPU_FEATURES 1
#endif
#define VERDALIA_X86_CLASSES 1
#endif

namespace verdalia {

enum class RecordPlan::Test : std::uint8_t {
  Never,           // the field always gets its full check
  Always,          // nothing to test beyond the classes (TIPO_INFORMACION is noted)
  NotAllZeros,     // "SI_ES:0" of a number: not every digit "0"
  NotValue,        // "SI_ES:" of another number: not the one text of that value
  InList,          // a number's value list, or the endorsement type's
  Date,            // a valid date, and not "00000000" under "SI_ES:00000000"
  EndorsementDate, // an endorsement date of an endorsement record
  Rut,             // notes the check digit; not all zeros under "SI_ES:0"
  CheckDigit,      // the check digit the latest "RUT" field calls for
  Text,            // the value rule of a text field
};

namespace {

// Text value rules, in the order the text check tries them.
enum TextRule : std::uint8_t {
  kNoRule,
  kBlankOrZeroRule,
  kBlankRule,
  kBinaryRule,
  kListRule, // the list, right-trimmed
};

// The classes of a byte, as bits. A column requires a set of them and a byte satisfies it
// when it has any bit of the set. Each bit is a rectangle of high and low nibbles, so a
// byte's bits are those of its low nibble's entry and its high nibble's entry together:
// two table lookups, which a vector unit does for many bytes at once.
constexpr std::uint8_t kDigit = 1;   // 0-9
constexpr std::uint8_t kBlank = 2;   // the blank
constexpr std::uint8_t kText20 = 4;  // blank, double quote, hyphen
constexpr std::uint8_t kText30 = 8;  // 0-9, <, >
constexpr std::uint8_t kText40 = 16; // @, A-O
constexpr std::uint8_t kText50 = 32; // P-Z
constexpr std::uint8_t kBinary = 64; // 0, 1
constexpr std::uint8_t kAny = 128;   // every byte
constexpr std::uint8_t kText = kText20 | kText30 | kText40 | kText50;
constexpr std::uint8_t kNever = 0; // two requirements no byte meets

constexpr std::array<std::uint8_t, 16> LowNibbleClasses() {
  std::array<std::uint8_t, 16> table{};
  for (unsigned lo = 0; lo < 16; ++lo) {
    std::uint8_t bits = kAny | kText40;
    bits |= lo <= 9 ? kDigit | kText30 : 0;
    bits |= lo == 0 ? kBlank : 0;
    bits |= lo == 0 || lo == 2 || lo == 0xD ? kText20 : 0;
    bits |= lo == 0xC || lo == 0xE ? kText30 : 0;
    bits |= lo <= 0xA ? kText50 : 0;
    bits |= lo <= 1 ? kBinary : 0;
    table[lo] = bits;
  }
  return table;
}

constexpr std::array<std::uint8_t, 16> HighNibbleClasses() {
  std::array<std::uint8_t, 16> table{};
  for (unsigned hi = 0; hi < 16; ++hi) {
    std::uint8_t bits = kAny;
    bits |= hi == 2 ? kBlank | kText20 : 0;
    bits |= hi == 3 ? kDigit | kText30 | kBinary : 0;
    bits |= hi == 4 ? kText40 : 0;
    bits |= hi == 5 ? kText50 : 0;
    table[hi] = bits;
  }
  return table;
}

constexpr std::array<std::uint8_t, 16> kLowClasses = LowNibbleClasses();
constexpr std::array<std::uint8_t, 16> kHighClasses = HighNibbleClasses();

constexpr std::array<std::uint8_t, 256> ByteClasses() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    table[b] = kLowClasses[b & 15] & kHighClasses[b >> 4];
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kByteClasses = ByteClasses();

// Columns are marked 64 to a word.
constexpr std::size_t kWord = 64;
// Lines longer than this get the full check of every field.
constexpr std::size_t kLongestPlannedLine = std::size_t{1} << 16;

// Whether every byte of class `a` is of class `b`: 0 and 1 are digits, digits and the
// blank are texts, and every byte is something.
bool Within(std::uint8_t a, std::uint8_t b) {
  return a == b || b == kAny || (a == kBinary && b == kDigit) ||
         ((a == kBinary || a == kDigit || a == kBlank) && b == kText);
}

// The requirement of a column that two fields cover.
std::uint8_t Both(std::uint8_t a, std::uint8_t b) {
  if (Within(a, b)) {
    return a;
  }
  return Within(b, a) ? b : kNever;
}

// The classes that satisfy a type's characters.
std::uint8_t ClassOf(CharacterClass characters) {
  switch (characters) {
  case CharacterClass::Any:
    return kAny;
  case CharacterClass::Digits:
    return kDigit;
  case CharacterClass::Text:
    return kText;
  case CharacterClass::Blanks:
    return kBlank;
  }
  return kAny;
}

// One pass over a line's columns, a word of 64 at a time: whether each byte is of its
// column's class, and which bytes are blanks, zeros, or the byte a "SI_ES:" rule forbids
// in their column. The marks go to `marks`: `words` of blanks, then of zeros, then of
// forbidden values.
struct ScanInput {
  const std::uint8_t *classes;
  const char *values;
  std::size_t words;
  const std::uint8_t *allowed; // none when no list is tested by columns
  const std::uint8_t *allowed_low;
  const std::uint8_t *allowed_high;
};

bool ScanBytewise(const ScanInput &in, const char *bytes, std::uint64_t *marks) {
  bool bad = false;
  for (std::size_t w = 0; w < in.words; ++w) {
    std::uint64_t blanks = 0;
    std::uint64_t zeros = 0;
    std::uint64_t values = 0;
    for (std::size_t k = 0; k < kWord; ++k) {
      const std::size_t i = w * kWord + k;
      const auto b = static_cast<unsigned char>(bytes[i]);
      bad |= (kByteClasses[b] & in.classes[i]) == 0;
      if (in.allowed != nullptr) {
        bad |= (in.allowed_low[b & 15] & in.allowed_high[b >> 4] & in.allowed[i]) == 0;
      }
      blanks |= std::uint64_t{b == ' '} << k;
      zeros |= std::uint64_t{b == '0'} << k;
      values |= std::uint64_t{bytes[i] == in.values[i]} << k;
    }
    marks[w] = blanks;
    marks[in.words + w] = zeros;
    marks[2 * in.words + w] = values;
  }
  return !bad;
}

#ifdef VERDALIA_X86_CLASSES
__attribute__((target("avx2"))) bool ScanAvx2(const ScanInput &in, const char *bytes,
                                              std::uint64_t *marks) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLowClasses.data()));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHighClasses.data()));
  const __m256i low_table = _mm256_broadcastsi128_si256(low);
  const __m256i high_table = _mm256_broadcastsi128_si256(high);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i blank_bytes = _mm256_set1_epi8(' ');
  const __m256i zero_bytes = _mm256_set1_epi8('0');
  const bool allowed = in.allowed != nullptr;
  const __m256i allowed_low = allowed ? _mm256_broadcastsi128_si256(_mm_loadu_si128(
                                            reinterpret_cast<const __m128i *>(in.allowed_low)))
                                      : zero;
  const __m256i allowed_high = allowed ? _mm256_broadcastsi128_si256(_mm_loadu_si128(
                                             reinterpret_cast<const __m128i *>(in.allowed_high)))
                                       : zero;
  __m256i bad = zero;
  for (std::size_t w = 0; w < in.words; ++w) {
    std::uint64_t found[3] = {};
    for (std::size_t half = 0; half < 2; ++half) {
      const std::size_t i = w * kWord + half * 32;
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + i));
      const __m256i lo = _mm256_and_si256(b, nibble);
      const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble);
      const __m256i have =
          _mm256_and_si256(_mm256_shuffle_epi8(low_table, lo), _mm256_shuffle_epi8(high_table, hi));
      const __m256i need = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in.classes + i));
      bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(_mm256_and_si256(have, need), zero));
      if (allowed) {
        const __m256i listed = _mm256_and_si256(_mm256_shuffle_epi8(allowed_low, lo),
                                                _mm256_shuffle_epi8(allowed_high, hi));
        const __m256i sets = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in.allowed + i));
        bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(_mm256_and_si256(listed, sets), zero));
      }
      const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in.values + i));
      const auto shift = static_cast<int>(half * 32);
      found[0] |= std::uint64_t{static_cast<std::uint32_t>(
                      _mm256_movemask_epi8(_mm256_cmpeq_epi8(b, blank_bytes)))}
                  << shift;
      found[1] |= std::uint64_t{static_cast<std::uint32_t>(
                      _mm256_movemask_epi8(_mm256_cmpeq_epi8(b, zero_bytes)))}
                  << shift;
      found[2] |= std::uint64_t{static_cast<std::uint32_t>(
                      _mm256_movemask_epi8(_mm256_cmpeq_epi8(b, value)))}
                  << shift;
    }
    marks[w] = found[0];
    marks[in.words + w] = found[1];
    marks[2 * in.words + w] = found[2];
  }
  return _mm256_testz_si256(bad, bad) != 0;
}

__attribute__((target("ssse3"))) bool ScanSsse3(const ScanInput &in, const char *bytes,
                                                std::uint64_t *marks) {
  const __m128i low_table = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLowClasses.data()));
  const __m128i high_table =
      _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHighClasses.data()));
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i zero = _mm_setzero_si128();
  const __m128i blank_bytes = _mm_set1_epi8(' ');
  const __m128i zero_bytes = _mm_set1_epi8('0');
  const bool allowed = in.allowed != nullptr;
  const __m128i allowed_low =
      allowed ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(in.allowed_low)) : zero;
  const __m128i allowed_high =
      allowed ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(in.allowed_high)) : zero;
  __m128i bad = zero;
  for (std::size_t w = 0; w < in.words; ++w) {
    std::uint64_t found[3] = {};
    for (std::size_t quarter = 0; quarter < 4; ++quarter) {
      const std::size_t i = w * kWord + quarter * 16;
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
      const __m128i lo = _mm_and_si128(b, nibble);
      const __m128i hi = _mm_and_si128(_mm_srli_epi16(b, 4), nibble);
      const __m128i have =
          _mm_and_si128(_mm_shuffle_epi8(low_table, lo), _mm_shuffle_epi8(high_table, hi));
      const __m128i need = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in.classes + i));
      bad = _mm_or_si128(bad, _mm_cmpeq_epi8(_mm_and_si128(have, need), zero));
      if (allowed) {
        const __m128i listed =
            _mm_and_si128(_mm_shuffle_epi8(allowed_low, lo), _mm_shuffle_epi8(allowed_high, hi));
        const __m128i sets = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in.allowed + i));
        bad = _mm_or_si128(bad, _mm_cmpeq_epi8(_mm_and_si128(listed, sets), zero));
      }
      const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in.values + i));
      const auto shift = static_cast<int>(quarter * 16);
      found[0] |= std::uint64_t{static_cast<std::uint16_t>(
                      _mm_movemask_epi8(_mm_cmpeq_epi8(b, blank_bytes)))}
                  << shift;
      found[1] |= std::uint64_t{static_cast<std::uint16_t>(
                      _mm_movemask_epi8(_mm_cmpeq_epi8(b, zero_bytes)))}
                  << shift;
      found[2] |=
          std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, value)))}
          << shift;
    }
    marks[w] = found[0];
    marks[in.words + w] = found[1];
    marks[2 * in.words + w] = found[2];
  }
  return _mm_movemask_epi8(bad) == 0;
}
#endif

using ScanFunction = bool (*)(const ScanInput &, const char *, std::uint64_t *);

#ifdef VERDALIA_X86_CLASSES
enum class CpuFeature { kAvx2, kSsse3 };

// Whether the processor and the system let the program use a feature. The C library found
// that out as the program started; asking the processor again costs tens of microseconds
// in a virtual machine, where every such question traps to the host.
bool Usable(CpuFeature feature) {
#ifdef VERDALIA_GLIBC_CPU_FEATURES
  return feature == CpuFeature::kAvx2 ? CPU_FEATURE_ACTIVE(AVX2) : CPU_FEATURE_ACTIVE(SSSE3);
#else
  __builtin_cpu_init();
  return feature == CpuFeature::kAvx2 ? __builtin_cpu_supports("avx2")
                                      : __builtin_cpu_supports("ssse3");
#endif
}
#endif

// The widest scan the processor runs. VERDALIA_SCAN=ssse3 or bytes asks for a narrower
// one, to measure the difference or to test every scan on one machine.
ScanFunction ChooseScan() {
  const char *asked = std::getenv("VERDALIA_SCAN");
  const std::string_view narrower = asked != nullptr ? asked : "";
  if (narrower == "bytes") {
    return ScanBytewise;
  }
#ifdef VERDALIA_X86_CLASSES
  if (Usable(CpuFeature::kAvx2) && narrower != "ssse3") {
    return ScanAvx2;
  }
  if (Usable(CpuFeature::kSsse3)) {
    return ScanSsse3;
  }
#endif
  return ScanBytewise;
}

// Words of up to eight bytes: a field's bytes are loaded whole and kept to its length. The
// mask of a word's first `count` bytes, in the machine's byte order.
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

std::uint64_t Load(const char *bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

std::uint64_t Pack(std::string_view text) {
  std::uint64_t word = 0;
  std::memcpy(&word, text.data(), std::min<std::size_t>(text.size(), 8));
  return word;
}

constexpr std::uint64_t Repeated(char c) {
  return 0x0101010101010101ull * static_cast<unsigned char>(c);
}

// Whether the `size` bytes are all `c`; the bytes may be read up to a word past them.
bool AllOf(const char *bytes, std::size_t size, char c) {
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

bool IsBinaryWord(std::uint64_t word, std::uint64_t mask) {
  return ((word ^ Repeated('0')) & Repeated('\xFE') & mask) == 0;
}

// The texts of `size` characters that `list` holds followed by "#", packed; with `trimmed`,
// the texts whose right-trimmed form it holds so.
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

// Finds a multiplier that sends each of `texts` to a place of its own in a table of a power
// of two places, the hash being the top bits of the product; the table goes to the end of
// `tables`. A list for which none is found among a few is searched instead.
template <typename Test>
void HashList(const std::vector<std::uint64_t> &texts, Test &test,
              std::vector<std::uint64_t> &tables) {
  if (texts.empty()) {
    return;
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
        test.hashed = true;
        test.multiplier = m;
        test.shift = 64 - bits;
        test.table = static_cast<std::uint32_t>(tables.size());
        tables.insert(tables.end(), table.begin(), table.end());
        return;
      }
    }
  }
}

bool Contains(const std::vector<std::uint64_t> &texts, std::uint64_t word) {
  if (texts.size() <= 8) {
    return std::find(texts.begin(), texts.end(), word) != texts.end();
  }
  return std::binary_search(texts.begin(), texts.end(), word);
}

// The one text of `size` digits whose "SI_ES:" value is `value`, when there is one: values
// of up to fifteen digits are told apart exactly, so a value that rounds to a text's is that
// text's alone, and the texts to try are those next to the value scaled by its decimals.
enum class ValueText { None, Found, Unknown };
ValueText TextOfValue(const PreparedField &field, std::size_t size, double value,
                      std::string &text) {
  const bool decimals = field.implied_decimals;
  if (size > 15 || (decimals && (size != field.length || field.decimals > field.length))) {
    return ValueText::Unknown;
  }
  // No text of digits has a value below 0, and the empty text's is 0, which is not asked.
  if (!std::isfinite(value) || value < 0 || size == 0) {
    return ValueText::None;
  }
  const double scaled = value * std::pow(10.0, decimals ? static_cast<int>(field.decimals) : 0);
  const double limit = std::pow(10.0, static_cast<int>(size));
  if (scaled > limit + 1) {
    return ValueText::None;
  }
  const auto nearest = static_cast<long long>(std::llround(scaled));
  for (long long candidate = nearest - 1; candidate <= nearest + 1; ++candidate) {
    if (candidate < 0 || static_cast<double>(candidate) >= limit) {
      continue;
    }
    std::string digits = std::to_string(candidate);
    digits.insert(0, size - digits.size(), '0');
    if (NumericValue(field, digits) == value) {
      text = digits;
      return ValueText::Found;
    }
  }
  return ValueText::None;
}

// A date of eight digits, as IsDateOfDigits judges it: valid, or the zero date; and whether
// it is the zero date. Read as one word where the bytes are in little-endian order.
struct DateOfDigits {
  bool valid;
  bool zero;
};
DateOfDigits DateOfEightDigits(const char *date) {
  unsigned year;
  unsigned month;
  unsigned day;
  bool zero;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t digits = Load(date) - Repeated('0');
    zero = digits == 0;
    // Each pair of digits to its value, in the pair's first byte.
    const std::uint64_t pairs = digits * 10 + (digits >> 8);
    year = static_cast<unsigned>(pairs & 0xFF) * 100 + static_cast<unsigned>((pairs >> 16) & 0xFF);
    month = static_cast<unsigned>((pairs >> 32) & 0xFF);
    day = static_cast<unsigned>((pairs >> 48) & 0xFF);
  } else {
    auto digit = [date](int k) { return static_cast<unsigned>(date[k] - '0'); };
    year = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
    month = digit(4) * 10 + digit(5);
    day = digit(6) * 10 + digit(7);
    zero = year == 0 && month == 0 && day == 0;
  }
  static constexpr unsigned kDays[16] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // No century exception, as IsDateOfDigits.
  const unsigned days = kDays[month & 15] + (month == 2 && (year & 3) == 0 ? 1 : 0);
  const bool valid = month - 1 < 12 && year - 1900 <= 600 && day - 1 < days;
  return {valid || zero, zero};
}

// The weights of the digits of an identity number of `size` digits, from its first: 2 for
// the last, then 3 up to 7, and 2 again.
void CheckDigitWeights(std::size_t size, std::int16_t (&weights)[16]) {
  for (std::size_t i = 0; i < 16; ++i) {
    weights[i] = i < size ? static_cast<std::int16_t>(2 + (size - 1 - i) % 6) : 0;
  }
}

// CheckDigitOfDigits of the digits at `digits`, weighted by `weights` (0 past them): the 16
// bytes multiplied and summed at once.
char WeightedCheckDigit(const char *digits, const std::int16_t (&weights)[16]) {
  int sum = 0;
#if defined(VERDALIA_X86_CLASSES) && defined(__SSE2__)
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

#if defined(VERDALIA_X86_CLASSES) && defined(__SSE2__)
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

// Whether every check digit of the batch is the one WeightedCheckDigit gives its number.
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
#endif

} // namespace

RecordPlan::RecordPlan(const std::vector<PreparedField> &fields, std::size_t line_length)
    : m_fields(fields), m_line_length(line_length) {
  if (line_length == 0 || line_length > kLongestPlannedLine) {
    return; // the full check, field by field
  }
  // Room past the line, so that a field's bytes can be read 16 at a time.
  m_words = (line_length + 16 + kWord - 1) / kWord;
  m_classes.assign(m_words * kWord, kAny);
  m_values.assign(m_words * kWord, '\0');
  m_valued.assign(m_words * kWord, false);
  for (std::uint32_t index = 0; index < fields.size(); ++index) {
    AddStep(fields[index], index);
  }
  GroupRanges();
  BatchCheckDigits();
}

void RecordPlan::AddStep(const PreparedField &field, std::uint32_t index) {
  Step step;
  step.field = index;
  step.start = static_cast<std::uint32_t>(std::min(field.start - 1, m_line_length));
  step.length = static_cast<std::uint32_t>(std::min(field.length, m_line_length - step.start));
  step.mask = FirstBytes(step.length);
  step.sets_information = field.special == SpecialName::InformationType;
  // Each check the plan knows sets the field's test; a field left with Test::Never gets its
  // full check in every record, which can make the plan slower but never wrong.
  switch (field.check) {
  case FieldCheck::Number:
    PlanNumber(field, step);
    break;
  case FieldCheck::Date:
    PlanDate(field, step);
    break;
  case FieldCheck::IdentityNumber:
    Require(step, ClassOf(field.characters));
    step.test = Test::Rut;
    step.forbids_zero = field.rule.forbids_zero;
    if (step.forbids_zero) {
      ForbidAll(step, kZeroMark);
    }
    break;
  case FieldCheck::CheckDigit:
    Require(step, ClassOf(field.characters));
    step.test = Trimmed(field) ? Test::Never : Test::CheckDigit;
    {
      DigitTest test{{ColumnsOf(step), m_rut, m_has_rut}, m_rut.length <= 16, {}};
      CheckDigitWeights(m_rut.length, test.weights);
      m_check_digits.push_back(test);
    }
    break;
  case FieldCheck::Text:
    PlanText(field, step);
    break;
  case FieldCheck::Filler:
    // Cut short by the line's end, or trimmed to nothing: the full check.
    if (step.length == field.length && !Trimmed(field)) {
      Require(step, ClassOf(field.characters));
      step.test = Test::Always;
    }
    break;
  case FieldCheck::None:
    step.test = Test::Always; // no rule, no row
    break;
  }
  if (step.test == Test::Never) {
    m_quiet_tests = false;
  }
  // What later fields of the record read of this one.
  if (step.sets_information) {
    m_information = ColumnsOf(step);
    m_has_information = true;
  }
  if (field.check == FieldCheck::IdentityNumber) {
    m_rut = ColumnsOf(step);
    m_has_rut = true;
  }
  if (step.test != Test::Always || step.sets_information) {
    m_steps.push_back(step);
  }
}

// The start date is trimmed before its checks: only digits, which no trimming changes,
// keep to the plan.
bool RecordPlan::Trimmed(const PreparedField &field) {
  return field.special == SpecialName::ValidityStart;
}

RecordPlan::Columns RecordPlan::ColumnsOf(const Step &step) {
  return {step.start, step.length};
}

// Every column of the field must be of one of `classes`.
void RecordPlan::Require(const Step &step, std::uint8_t classes) {
  for (std::size_t c = step.start; c < step.start + step.length; ++c) {
    m_classes[c] = Both(m_classes[c], classes);
  }
}

// The field must not hold `mark` in every column; an empty field does.
void RecordPlan::ForbidAll(const Step &step, Mark mark) {
  m_quiet_tests = m_quiet_tests && step.length > 0;
  m_ranges.push_back({ColumnsOf(step), mark});
}

// The field must not hold `text`, which is as long as the field.
void RecordPlan::ForbidValue(const Step &step, const std::string &text) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const std::size_t c = step.start + k;
    // Two fields over the same columns forbidding different bytes: no quiet test.
    m_quiet_tests = m_quiet_tests && (!m_valued[c] || m_values[c] == text[k]);
    m_values[c] = text[k];
    m_valued[c] = true;
  }
  ForbidAll(step, kValueMark);
}

// The field's value must be one of the rule's list: tested in the line pass where the list
// is a set of bytes per column, else through a hash table; never in the plan for texts
// longer than a word.
RecordPlan::Test RecordPlan::PlanList(const ValueRule &rule, Step &step, bool trimmed) {
  if (step.length > 8) {
    return Test::Never;
  }
  step.set = static_cast<std::uint32_t>(m_sets.size());
  m_sets.push_back(ListedTexts(rule.text, step.length, trimmed));
  if (AllowColumns(step.start, step.length, m_sets.back())) {
    return Test::InList;
  }
  ListTest test;
  test.start = step.start;
  test.mask = step.mask;
  test.set = step.set;
  HashList(m_sets.back(), test, m_list_tables);
  m_lists.push_back(test);
  return Test::InList;
}

void RecordPlan::PlanNumber(const PreparedField &field, Step &step) {
  const ValueRule &rule = field.rule;
  Require(step, ClassOf(field.characters));
  step.test = Test::Always;
  if (field.special == SpecialName::EndorsementNumber || !rule.present) {
    return;
  }
  if (rule.forbids && rule.operand_number == 0) {
    step.test = Test::NotAllZeros;
    ForbidAll(step, kZeroMark);
  } else if (rule.forbids) {
    std::string text;
    switch (TextOfValue(field, step.length, rule.operand_number, text)) {
    case ValueText::None:
      break;
    case ValueText::Found:
      step.test = step.length <= 8 ? Test::NotValue : Test::Never;
      step.value = Pack(text);
      ForbidValue(step, text);
      break;
    case ValueText::Unknown:
      step.test = Test::Never;
      break;
    }
  } else if (!rule.text.empty()) {
    step.test = PlanList(rule, step, false);
  }
}

void RecordPlan::PlanDate(const PreparedField &field, Step &step) {
  if (field.special == SpecialName::EndorsementIssueDate ||
      field.special == SpecialName::EndorsementValidityDate) {
    step.test = Test::EndorsementDate;
    m_endorsement_dates.push_back({ColumnsOf(step), m_information, m_has_information});
    return;
  }
  Require(step, ClassOf(field.characters));
  step.test = Test::Date;
  step.forbids_zero_date = field.rule.forbids_zero_date;
  m_quiet_tests = m_quiet_tests && step.length == 8;
  m_dates.push_back({step.start, step.forbids_zero_date});
}

void RecordPlan::PlanText(const PreparedField &field, Step &step) {
  const ValueRule &rule = field.rule;
  Require(step, ClassOf(field.characters));
  step.test = Test::Always;
  step.obligatory = field.obligatory;
  if (field.special == SpecialName::EndorsementType) {
    if (rule.present) {
      step.test = PlanList(rule, step, false);
    }
    return;
  }
  step.text_rule = !rule.present                ? kNoRule
                   : rule.forbids_blank_or_zero ? kBlankOrZeroRule
                   : rule.forbids_blank         ? kBlankRule
                   : rule.must_be_binary        ? kBinaryRule
                   : rule.text.empty()          ? kNoRule
                                                : kListRule;
  if (step.obligatory || step.text_rule == kBlankOrZeroRule || step.text_rule == kBlankRule) {
    ForbidAll(step, kBlankMark);
  }
  if (step.text_rule == kBlankOrZeroRule || step.text_rule == kBinaryRule) {
    ForbidAll(step, kZeroMark);
  }
  if (step.text_rule == kBinaryRule) {
    // Anything but zeros and ones is reported, by this rule or as an obligatory blank.
    Require(step, kBinary);
    m_quiet_tests = m_quiet_tests && step.length <= 8;
  }
  if (step.text_rule == kListRule && PlanList(rule, step, true) == Test::Never) {
    step.test = Test::Never;
    return;
  }
  if (step.text_rule != kNoRule || step.obligatory) {
    step.test = Trimmed(field) ? Test::Never : Test::Text;
  }
}

// Ranges go to groups in column order, each to the first group whose ranges all end at
// least a column before it begins, so that the carry out of one never reaches the next.
void RecordPlan::GroupRanges() {
  std::stable_sort(m_ranges.begin(), m_ranges.end(), [](const Range &a, const Range &b) {
    return a.columns.start < b.columns.start;
  });
  std::vector<std::uint32_t> ends; // of each group's last range
  for (const Range &range : m_ranges) {
    const std::uint32_t first = range.columns.start;
    const std::uint32_t after = first + range.columns.length;
    std::size_t g = 0;
    while (g < ends.size() && ends[g] >= first) {
      ++g;
    }
    if (g == ends.size()) {
      ends.push_back(0);
      m_groups.push_back(RangeGroup{static_cast<std::uint32_t>(first / kWord), {}});
    }
    ends[g] = after;
    RangeGroup &group = m_groups[g];
    auto word = [&](std::size_t column) -> RangeWord & {
      const std::size_t w = column / kWord - group.first_word;
      if (group.words.size() <= w) {
        group.words.resize(w + 1);
      }
      return group.words[w];
    };
    auto bit = [](std::size_t column) { return std::uint64_t{1} << (column % kWord); };
    for (std::size_t c = first; c < after; ++c) {
      word(c).marks[range.mark] |= bit(c);
    }
    word(first).first |= bit(first);
    word(after).after |= bit(after);
  }
}

// The check digits whose weighted sums can be taken together go into batches of eight; the
// others stay tests of their own.
void RecordPlan::BatchCheckDigits() {
#if defined(VERDALIA_X86_CLASSES) && defined(__SSE2__)
  std::vector<DigitTest> alone;
  for (const DigitTest &test : m_check_digits) {
    if (!test.weighted || !test.pair.has_earlier || test.pair.field.length != 1) {
      alone.push_back(test);
      continue;
    }
    if (m_digit_batches.empty() || m_digit_batches.back().used == 8) {
      m_digit_batches.emplace_back();
    }
    CheckDigitBatch &batch = m_digit_batches.back();
    const int lane = batch.used++;
    std::copy(std::begin(test.weights), std::end(test.weights), batch.weights[lane]);
    batch.numbers[lane] = test.pair.earlier.start;
    batch.digits[lane] = test.pair.field.start;
    batch.lanes |= 3 << (2 * lane);
  }
  m_check_digits = std::move(alone);
#endif
}

// A list of texts of `length` bytes is tested column by column when it holds every
// combination of one byte per column from a set per column. Each set is a union of
// rectangles (a high nibble, a set of low nibbles), a class bit each, of which the plan has
// seven; a list whose rectangles do not fit, or whose columns another list tests already,
// is tested whole.
bool RecordPlan::AllowColumns(std::uint32_t start, std::size_t length,
                              const std::vector<std::uint64_t> &texts) {
  constexpr std::uint8_t kAnyAllowed = 0x80;
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
    m_allowed.assign(m_classes.size(), kAnyAllowed);
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

bool RecordPlan::TextAccepts(const Step &step, const char *bytes) const {
  const std::uint64_t word = Load(bytes) & step.mask;
  const bool blank = AllOf(bytes, step.length, ' ');
  if (step.obligatory && blank) {
    return false;
  }
  switch (step.text_rule) {
  case kBlankOrZeroRule:
    return !blank && !AllOf(bytes, step.length, '0');
  case kBlankRule:
    return !blank;
  case kBinaryRule:
    return step.length > 0 && step.length <= 8 && IsBinaryWord(word, step.mask) &&
           !AllOf(bytes, step.length, '0');
  case kListRule:
    return Contains(m_sets[step.set], word);
  default:
    return true;
  }
}

bool RecordPlan::Accepts(const Step &step, const char *bytes, DetailState &state) const {
  const char *field = bytes + step.start;
  const std::string_view text(field, step.length);
  if (step.sets_information) {
    state.information = text;
  }
  switch (step.test) {
  case Test::Never:
    return false;
  case Test::Always:
    return true;
  case Test::NotAllZeros:
    return !AllOf(field, step.length, '0');
  case Test::NotValue:
    return (Load(field) & step.mask) != step.value;
  case Test::InList:
    return Contains(m_sets[step.set], Load(field) & step.mask);
  case Test::Date:
    return IsDateOfDigits(text) && !(step.forbids_zero_date && Is(text, "00000000"));
  case Test::EndorsementDate:
    return !Is(state.information, "E") || (IsNumber(text) && IsDateOfDigits(text));
  case Test::Rut:
    state.expected.Set(CheckDigitOfDigits(text));
    return !(step.forbids_zero && AllOf(field, step.length, '0'));
  case Test::CheckDigit:
    return state.expected.Matches(text);
  case Test::Text:
    return TextAccepts(step, field);
  }
  return false;
}

bool RecordPlan::Quiet(const char *bytes, const std::uint64_t *marks) const {
  // Each range that holds its mark in every column carries 1 past its end.
  for (const RangeGroup &group : m_groups) {
    std::uint64_t carry = 0;
    std::uint64_t full = 0;
    for (std::size_t k = 0; k < group.words.size(); ++k) {
      const std::size_t w = group.first_word + k;
      const RangeWord &word = group.words[k];
      const std::uint64_t held = (marks[w] & word.marks[kBlankMark]) |
                                 (marks[m_words + w] & word.marks[kZeroMark]) |
                                 (marks[2 * m_words + w] & word.marks[kValueMark]);
      const std::uint64_t sum = held + word.first;
      const std::uint64_t total = sum + carry;
      carry = (sum < held ? 1 : 0) | (total < sum ? 1 : 0);
      full |= total & word.after;
    }
    if (full != 0) {
      return false;
    }
  }
  for (const ListTest &test : m_lists) {
    const std::uint64_t word = Load(bytes + test.start) & test.mask;
    const bool listed =
        test.hashed ? m_list_tables[test.table + ((word * test.multiplier) >> test.shift)] == word
                    : Contains(m_sets[test.set], word);
    if (!listed) {
      return false;
    }
  }
  for (const DateTest &test : m_dates) {
    const DateOfDigits date = DateOfEightDigits(bytes + test.start);
    if (!date.valid || (test.forbids_zero_date && date.zero)) {
      return false;
    }
  }
  auto text = [bytes](Columns columns) {
    return std::string_view(bytes + columns.start, columns.length);
  };
  for (const PairTest &test : m_endorsement_dates) {
    if (test.has_earlier && Is(text(test.earlier), "E") &&
        !(IsNumber(text(test.field)) && IsDateOfDigits(text(test.field)))) {
      return false;
    }
  }
#if defined(VERDALIA_X86_CLASSES) && defined(__SSE2__)
  for (const CheckDigitBatch &batch : m_digit_batches) {
    if (!CheckDigitsMatch(bytes, batch)) {
      return false;
    }
  }
#endif
  for (const DigitTest &test : m_check_digits) {
    const PairTest &pair = test.pair;
    ExpectedCheckDigit expected;
    if (pair.has_earlier) {
      expected.Set(test.weighted ? WeightedCheckDigit(bytes + pair.earlier.start, test.weights)
                                 : CheckDigitOfDigits(text(pair.earlier)));
    }
    if (!expected.Matches(text(pair.field))) {
      return false;
    }
  }
  return true;
}

bool RecordPlan::Check(std::string_view line, int record, Scratch &scratch,
                       ResultList &rows) const {
  if (line.size() != m_line_length || m_classes.empty()) {
    CheckDetailRecord(m_fields, line, record, rows);
    return false;
  }
  const std::size_t size = m_classes.size();
  if (scratch.m_bytes.size() < size) {
    scratch.m_bytes.resize(size);
  }
  if (scratch.m_marks.size() < 3 * m_words) {
    scratch.m_marks.resize(3 * m_words);
  }
  char *bytes = scratch.m_bytes.data();
  std::uint64_t *marks = scratch.m_marks.data();
  std::memcpy(bytes, line.data(), line.size());
  std::memset(bytes + line.size(), 0, size - line.size());
  static const ScanFunction scan = ChooseScan();
  const ScanInput input{m_classes.data(),
                        m_values.data(),
                        m_words,
                        m_allowed.empty() ? nullptr : m_allowed.data(),
                        m_allowed_low.data(),
                        m_allowed_high.data()};
  if (!scan(input, bytes, marks)) {
    CheckDetailRecord(m_fields, line, record, rows);
    return false;
  }
  if (m_quiet_tests && Quiet(bytes, marks)) {
    return true;
  }
  // The steps read the copy; a field that fails its step gets its full check on the line.
  DetailState state;
  for (const Step &step : m_steps) {
    if (!Accepts(step, bytes, state)) {
      const PreparedField &field = m_fields[step.field];
      CheckDetailField(field, FieldText(line, field), state, record, rows);
    }
  }
  return false;
}

} // namespace verdalia
