#include "physical/record_plan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "common/text.h"
#include "physical/character_classes.h"
#include "physical/check_digits.h"
#include "physical/dates.h"
#include "physical/field_checks.h"
#include "physical/record_checks.h"
#include "physical/value_lists.h"
#include "physical/words.h"

namespace verdalia {

namespace {

// Text value rules, in the order the text check tries them.
enum TextRule : std::uint8_t {
  kNoRule,
  kBlankOrZeroRule,
  kBlankRule,
  kBinaryRule,
  kListRule, // the list, right-trimmed
};

// Lines longer than this get the full check of every field.
constexpr std::size_t kLongestPlannedLine = std::size_t{1} << 16;

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

} // namespace

RecordPlan::RecordPlan(const std::vector<PreparedField> &fields, std::size_t line_length,
                       LineScan scan)
    : m_fields(fields), m_line_length(line_length), m_scan(scan) {
  if (line_length == 0 || line_length > kLongestPlannedLine) {
    return; // the full check, field by field
  }
  // Room past the line, so that a field's bytes can be read 16 at a time.
  m_words = (line_length + 16 + kColumnsPerWord - 1) / kColumnsPerWord;
  m_classes.assign(m_words * kColumnsPerWord, kAnyClass);
  m_column_lists = ColumnLists(m_classes.size());
  m_values.assign(m_words * kColumnsPerWord, '\0');
  m_valued.assign(m_words * kColumnsPerWord, false);
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
  if (m_column_lists.Take(step.start, step.length, m_sets.back())) {
    return Test::InList;
  }
  ListTest test;
  test.start = step.start;
  test.mask = step.mask;
  test.set = step.set;
  test.hashed = HashList(m_sets.back(), test.hash, m_list_tables);
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
    Require(step, kBinaryClass);
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
      m_groups.push_back(RangeGroup{static_cast<std::uint32_t>(first / kColumnsPerWord), {}});
    }
    ends[g] = after;
    RangeGroup &group = m_groups[g];
    auto word = [&](std::size_t column) -> RangeWord & {
      const std::size_t w = column / kColumnsPerWord - group.first_word;
      if (group.words.size() <= w) {
        group.words.resize(w + 1);
      }
      return group.words[w];
    };
    auto bit = [](std::size_t column) { return std::uint64_t{1} << (column % kColumnsPerWord); };
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
        test.hashed
            ? m_list_tables[test.hash.table + ((word * test.hash.multiplier) >> test.hash.shift)] ==
                  word
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
  for (const CheckDigitBatch &batch : m_digit_batches) {
    if (!CheckDigitsMatch(bytes, batch)) {
      return false;
    }
  }
  for (const DigitTest &test : m_check_digits) {
    const PairTest &pair = test.pair;
    ExpectedCheckDigit expected;
    if (pair.has_earlier) {
      expected.Set(test.weighted ? CheckDigitOfWeighted(bytes + pair.earlier.start, test.weights)
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
  const ScanInput input{m_classes.data(),
                        m_values.data(),
                        m_words,
                        m_column_lists.Allowed(),
                        m_column_lists.AllowedLow(),
                        m_column_lists.AllowedHigh()};
  if (!m_scan.scan(input, bytes, marks)) {
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
