#include "physical/record_plan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "common/text.h"
#include "physical/field_checks.h"
#include "physical/record_checks.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
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
    table[lo] = bits;
  }
  return table;
}

constexpr std::array<std::uint8_t, 16> HighNibbleClasses() {
  std::array<std::uint8_t, 16> table{};
  for (unsigned hi = 0; hi < 16; ++hi) {
    std::uint8_t bits = kAny;
    bits |= hi == 2 ? kBlank | kText20 : 0;
    bits |= hi == 3 ? kDigit | kText30 : 0;
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

// Columns are tested in blocks of this many bytes.
constexpr std::size_t kBlock = 32;
// Lines longer than this get the full check of every field.
constexpr std::size_t kLongestPlannedLine = std::size_t{1} << 16;

// The requirement of a column that two fields cover.
std::uint8_t Both(std::uint8_t a, std::uint8_t b) {
  if (a == kAny || a == b) {
    return b;
  }
  if (b == kAny) {
    return a;
  }
  // Digits and blanks are texts too.
  if ((a == kText && (b == kDigit || b == kBlank)) ||
      (b == kText && (a == kDigit || a == kBlank))) {
    return a == kText ? b : a;
  }
  return kNever;
}

bool ClassesHoldBytewise(const std::uint8_t *classes, const char *bytes, std::size_t size) {
  bool bad = false;
  for (std::size_t i = 0; i < size; ++i) {
    bad |= (kByteClasses[static_cast<unsigned char>(bytes[i])] & classes[i]) == 0;
  }
  return !bad;
}

#ifdef VERDALIA_X86_CLASSES
__attribute__((target("avx2"))) bool ClassesHoldAvx2(const std::uint8_t *classes, const char *bytes,
                                                     std::size_t size) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLowClasses.data()));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHighClasses.data()));
  const __m256i low_table = _mm256_broadcastsi128_si256(low);
  const __m256i high_table = _mm256_broadcastsi128_si256(high);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i zero = _mm256_setzero_si256();
  __m256i bad = zero;
  for (std::size_t i = 0; i < size; i += 32) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + i));
    const __m256i lo = _mm256_and_si256(b, nibble);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble);
    const __m256i have =
        _mm256_and_si256(_mm256_shuffle_epi8(low_table, lo), _mm256_shuffle_epi8(high_table, hi));
    const __m256i need = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(classes + i));
    bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(_mm256_and_si256(have, need), zero));
  }
  return _mm256_testz_si256(bad, bad) != 0;
}

__attribute__((target("ssse3"))) bool ClassesHoldSsse3(const std::uint8_t *classes,
                                                       const char *bytes, std::size_t size) {
  const __m128i low_table = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLowClasses.data()));
  const __m128i high_table =
      _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHighClasses.data()));
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i zero = _mm_setzero_si128();
  __m128i bad = zero;
  for (std::size_t i = 0; i < size; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
    const __m128i lo = _mm_and_si128(b, nibble);
    const __m128i hi = _mm_and_si128(_mm_srli_epi16(b, 4), nibble);
    const __m128i have =
        _mm_and_si128(_mm_shuffle_epi8(low_table, lo), _mm_shuffle_epi8(high_table, hi));
    const __m128i need = _mm_loadu_si128(reinterpret_cast<const __m128i *>(classes + i));
    bad = _mm_or_si128(bad, _mm_cmpeq_epi8(_mm_and_si128(have, need), zero));
  }
  return _mm_movemask_epi8(bad) == 0;
}
#endif

using ClassTest = bool (*)(const std::uint8_t *, const char *, std::size_t);

ClassTest ChooseClassTest() {
#ifdef VERDALIA_X86_CLASSES
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    return ClassesHoldAvx2;
  }
  if (__builtin_cpu_supports("ssse3")) {
    return ClassesHoldSsse3;
  }
#endif
  return ClassesHoldBytewise;
}

// Whether every column's byte is of the class the column requires.
bool ClassesHold(const std::uint8_t *classes, const char *bytes, std::size_t size) {
  static const ClassTest test = ChooseClassTest();
  return test(classes, bytes, size);
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
  const bool decimals = field.type == FieldType::D;
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

} // namespace

RecordPlan::RecordPlan(const std::vector<PreparedField> &fields, std::size_t line_length)
    : m_fields(fields), m_line_length(line_length) {
  if (line_length == 0 || line_length > kLongestPlannedLine) {
    return; // the full check, field by field
  }
  const std::size_t blocks = (line_length + 8 + kBlock - 1) / kBlock;
  m_classes.assign(blocks * kBlock, kAny);
  for (std::uint32_t index = 0; index < fields.size(); ++index) {
    AddStep(fields[index], index);
  }
}

void RecordPlan::AddStep(const PreparedField &field, std::uint32_t index) {
  Step step;
  step.field = index;
  step.start = static_cast<std::uint32_t>(std::min(field.start - 1, m_line_length));
  step.length = static_cast<std::uint32_t>(std::min(field.length, m_line_length - step.start));
  step.mask = FirstBytes(step.length);
  step.sets_information = field.special == SpecialName::InformationType;
  const bool short_text = step.length <= 8;
  const ValueRule &rule = field.rule;

  auto require = [&](std::uint8_t classes) {
    for (std::size_t c = step.start; c < step.start + step.length; ++c) {
      m_classes[c] = Both(m_classes[c], classes);
    }
  };
  auto list = [&](bool trimmed) {
    if (!short_text) {
      return Test::Never;
    }
    step.set = static_cast<std::uint32_t>(m_sets.size());
    m_sets.push_back(ListedTexts(rule.text, step.length, trimmed));
    return Test::InList;
  };

  // The start date is trimmed before its checks: only digits, which no trimming changes,
  // keep to the plan.
  const bool trims = field.special == SpecialName::ValidityStart;
  step.test = Test::Always;
  switch (field.type) {
  case FieldType::N:
  case FieldType::D:
    require(kDigit);
    if (field.special == SpecialName::EndorsementNumber || !rule.present) {
      break;
    }
    if (rule.forbids && rule.operand_number == 0) {
      step.test = Test::NotAllZeros;
    } else if (rule.forbids) {
      std::string text;
      switch (TextOfValue(field, step.length, rule.operand_number, text)) {
      case ValueText::None:
        break;
      case ValueText::Found:
        step.test = short_text ? Test::NotValue : Test::Never;
        step.value = Pack(text);
        break;
      case ValueText::Unknown:
        step.test = Test::Never;
        break;
      }
    } else if (!rule.text.empty()) {
      step.test = list(false);
    }
    break;
  case FieldType::FE:
    if (field.special == SpecialName::EndorsementIssueDate ||
        field.special == SpecialName::EndorsementValidityDate) {
      step.test = Test::EndorsementDate;
    } else {
      require(kDigit);
      step.test = Test::Date;
      step.forbids_zero_date = rule.forbids_zero_date;
    }
    break;
  case FieldType::RUT:
    require(kDigit);
    step.test = Test::Rut;
    step.forbids_zero = rule.forbids_zero;
    break;
  case FieldType::DV:
    step.test = trims ? Test::Never : Test::CheckDigit;
    break;
  case FieldType::T:
    require(kText);
    step.obligatory = field.obligatory;
    if (field.special == SpecialName::EndorsementType) {
      if (rule.present) {
        step.test = list(false);
      }
      break;
    }
    step.text_rule = !rule.present                ? kNoRule
                     : rule.forbids_blank_or_zero ? kBlankOrZeroRule
                     : rule.forbids_blank         ? kBlankRule
                     : rule.must_be_binary        ? kBinaryRule
                     : rule.text.empty()          ? kNoRule
                                                  : kListRule;
    if (step.text_rule == kListRule) {
      if (list(true) == Test::Never) {
        step.test = Test::Never;
        break;
      }
    }
    if (step.text_rule != kNoRule || step.obligatory) {
      step.test = trims ? Test::Never : Test::Text;
    }
    break;
  case FieldType::FIL:
    if (step.length == field.length && !trims) {
      require(kBlank);
    } else {
      step.test = Test::Never; // cut short by the line's end, or trimmed to nothing
    }
    break;
  case FieldType::Other:
    break;
  }
  if (step.test != Test::Always || step.sets_information) {
    m_steps.push_back(step);
  }
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
    return IsDateOfDigits(text) && !(step.forbids_zero_date && text == "00000000");
  case Test::EndorsementDate:
    return state.information != "E" || (IsNumber(text) && IsDateOfDigits(text));
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

void RecordPlan::Check(std::string_view line, int record, std::vector<char> &scratch,
                       ResultList &rows) const {
  if (line.size() != m_line_length || m_classes.empty()) {
    CheckDetailRecord(m_fields, line, record, rows);
    return;
  }
  if (scratch.size() < m_classes.size()) {
    scratch.resize(m_classes.size());
  }
  char *bytes = scratch.data();
  std::memcpy(bytes, line.data(), line.size());
  std::memset(bytes + line.size(), 0, m_classes.size() - line.size());
  if (!ClassesHold(m_classes.data(), bytes, m_classes.size())) {
    CheckDetailRecord(m_fields, line, record, rows);
    return;
  }
  // The steps read the copy; a field that fails its step gets its full check on the line.
  DetailState state;
  for (const Step &step : m_steps) {
    if (!Accepts(step, bytes, state)) {
      const PreparedField &field = m_fields[step.field];
      CheckDetailField(field, FieldText(line, field), state, record, rows);
    }
  }
}

} // namespace verdalia
