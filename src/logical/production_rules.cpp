// The rule set of production files: policy records ("2") and their item records ("3").
#include "logical/rule_sets.h"

#include "common/record_layout.h"
#include "common/text.h"
#include "logical/forward_sums.h"
#include "logical/messages.h"
#include "logical/partner_index.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

namespace verdalia {
namespace {

using namespace logical_messages;

// An item record belongs to a policy record with the same policy and endorsement numbers.
FieldsKey PolicyKey(std::string_view line) {
  return FieldsKey::Of<kPolicy.policy_number, kPolicy.endorsement_number>(line);
}
FieldsKey ItemPolicyKey(std::string_view line) {
  return FieldsKey::Of<kItem.policy_number, kItem.endorsement_number>(line);
}

std::string_view ItemNumber(std::string_view line) {
  return Field(line, kItem.item_number);
}

// Quantity A times quantity B of an item record, the term of the insured-amount sum.
double QuantityProduct(std::string_view line) {
  return AmountOf(line, kItem.quantity_a) * AmountOf(line, kItem.quantity_b);
}

// Whether two item records have the same item key: item number followed by endorsement
// type, compared as one text.
bool SameItemKey(std::string_view a, std::string_view b) {
  const std::string_view a1 = ItemNumber(a), a2 = Field(a, kItem.endorsement_type);
  const std::string_view b1 = ItemNumber(b), b2 = Field(b, kItem.endorsement_type);
  // Two whole fields each, as in every line long enough to hold them.
  constexpr std::size_t kNumber = kItem.item_number.length;
  constexpr std::size_t kType = kItem.endorsement_type.length;
  if (a1.size() == kNumber && b1.size() == kNumber && a2.size() == kType && b2.size() == kType) {
    return std::memcmp(a1.data(), b1.data(), kNumber) == 0 &&
           std::memcmp(a2.data(), b2.data(), kType) == 0;
  }
  const std::size_t size = a1.size() + a2.size();
  if (size != b1.size() + b2.size()) {
    return false;
  }
  for (std::size_t k = 0; k < size; ++k) {
    const char x = k < a1.size() ? a1[k] : a2[k - a1.size()];
    const char y = k < b1.size() ? b1[k] : b2[k - b1.size()];
    if (x != y) {
      return false;
    }
  }
  return true;
}

bool IsEndorsementWithFixedPremium(std::string_view type) {
  return Is(type, "D ") || Is(type, "A ") || Is(type, "CA") || Is(type, "RE");
}

// A code list asked once per distinct code of the run: the answer depends on the code text
// alone, and files repeat the same few codes thousands of times.
class CodeLookup {
public:
  explicit CodeLookup(const CodeList &codes) : m_codes(codes) {}

  // Codes of four to eight characters, as communes and crops are, are first looked for
  // among the recent answers, by the code's bytes read as one word.
  bool Contains(std::string_view code) {
    if (code.size() < 4 || code.size() > 8) {
      return Known(code);
    }
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, code.data(), 4);
    std::memcpy(&last, code.data() + code.size() - 4, 4);
    const std::uint64_t word = first | std::uint64_t{last} << 32;
    Recent &recent = m_recent[(word * 0x9E3779B97F4A7C15ull + code.size()) >> 54];
    if (recent.word != word || recent.size != code.size()) {
      recent = {word, code.size(), Known(code)};
    }
    return recent.answer;
  }

private:
  bool Known(std::string_view code) {
    const auto number = static_cast<std::size_t>(m_known.Number(code));
    if (number == m_answers.size()) {
      m_answers.push_back(m_codes.Contains(code));
    }
    return m_answers[number];
  }

  struct Recent {
    std::uint64_t word = 0;
    std::size_t size = 0; // 0: no code yet
    bool answer = false;
  };
  std::array<Recent, 1024> m_recent;

  const CodeList &m_codes;
  KeyNumbers<std::string_view> m_known; // the codes asked so far
  std::vector<bool> m_answers;          // by the codes' numbers
};

// What the rules need of one long group of item records with the same policy and
// endorsement numbers, worked out on first use. Rules that look at no more than kShortScan
// of a group's records look at them directly.
struct ItemGroup {
  // next_repeat[t]: the first position p >= t whose item key equals that of position
  // p - 1, or -1; one entry past the end.
  std::vector<int> next_repeat;
  std::unique_ptr<ForwardSums> sums;
};

// Groups or parts of groups of up to this many records are scanned directly; sums of up to
// this many items are added directly, longer ones go through ForwardSums.
constexpr std::size_t kShortScan = 16;
constexpr std::size_t kShortSum = 16;

std::string_view WholeLine(std::string_view line) {
  return line;
}

// A policy or endorsement record with what its rules share.
struct Policy {
  int record;
  std::string_view line;
  int key;                    // the number of its policy key
  std::span<const int> items; // the item records of its policy key, in file order
  std::size_t start;          // the position in `items` of the first later one
  std::string_view type;      // "P" a new policy, "E" an endorsement
  // The endorsement type of its last later item record, the one the insured-amount rule
  // remembers; empty when there is no later item.
  std::string_view last_item_type;
};

class ProductionRules {
public:
  ProductionRules(const LogicalInput &input, ResultList &rows)
      : m_lines(input.lines), m_last(input.line_count - 1), m_rows(rows), m_numbers(input.numbers),
        m_communes(input.commune_codes), m_crops(input.crop_codes), m_index(m_lines, m_last),
        m_repeatedItems(m_index.Members(), m_lines, ItemNumber),
        m_repeatedLines(m_index.Members(), m_lines, WholeLine) {}

  void Run() {
    for (int i = 2; i <= m_last; ++i) {
      const std::string_view line = Line(i);
      if (line.starts_with('2')) {
        if (!PolicyRecord(i, line)) {
          return;
        }
      } else if (line.starts_with('3')) {
        if (!ItemRecord(i)) {
          return;
        }
      }
    }
  }

private:
  std::string_view Line(int record) const { return m_lines[static_cast<std::size_t>(record)]; }

  // The field names are fixed; a message is fixed, or worked out and kept with the list.
  void Report(int record, std::string_view field, std::string_view message) {
    m_rows.push_back(ResultRow{record, field, message});
  }
  // With what the rule knew: the field it read, the amount it worked out, other records.
  void Report(int record, std::string_view field, std::string_view message,
              const FindingDetail &detail) {
    m_rows.push_back(ResultRow{record, field, message}, detail);
  }

  // Rules 1 to 15; false when the rule set ends.
  bool PolicyRecord(int i, std::string_view line);
  Policy ReadPolicy(int i, std::string_view line) const;
  bool CheckItemsPresent(const Policy &policy);
  void CheckRepeatedItems(const Policy &policy);
  void CheckCoverageLevel(const Policy &policy);
  void CheckCommune(const Policy &policy);
  void CheckCrop(const Policy &policy);
  void CheckOneIdentityOneName(const Policy &policy);
  void CheckEndorsementNumberOfNewPolicy(const Policy &policy);
  void CheckEndorsementNumberGiven(const Policy &policy);
  void CheckFixedPremiumOfNewPolicy(const Policy &policy);
  void CheckFixedPremiumOfCancellation(const Policy &policy);
  void CheckFixedPremiumOfEndorsementType(const Policy &policy);
  void CheckInsuredAmount(const Policy &policy);
  void CheckMinimumPremium(const Policy &policy);
  void CheckNetPremiumOfEndorsement(const Policy &policy);
  void CheckValidityDates(const Policy &policy);

  // Rules 16 to 18; false when the rule set ends.
  bool ItemRecord(int i);
  bool CheckPolicyPresent(int i, std::span<const int> policies);
  bool CheckRepeatedNewItem(int i, std::string_view type);
  bool CheckRepeatedEndorsementItem(int i, std::string_view type);

  // The later record of the first pair of consecutive item records with equal item keys,
  // among the item records of policy key `key` from position `start` on, the first of them
  // compared with the empty text; 0 when there is none.
  // An item record that repeats the one before it among a policy's later items, and that one
  // (0 when the first is repeated against the empty text); 0 when none.
  struct Repeat {
    int record;
    int previous;
  };
  Repeat RepeatedItem(int key, std::size_t start);
  // The sum of the policy's later items' quantity products times its amount factor,
  // rounded to cents.
  double ComputedInsuredAmount(const Policy &policy);
  // What is worked out for a long group of item records.
  ItemGroup &Group(int key) { return m_groups[key]; }
  const TextIndex &Cancellations();
  // The running sums of the quantities of the item records of policy key `key`, with the
  // one-by-one sums that its new policies will need worked out together.
  ForwardSums &Sums(int key);

  const std::vector<std::string_view> &m_lines;
  const int m_last;
  ResultList &m_rows;
  const NumberFormat &m_numbers;
  CodeLookup m_communes;
  CodeLookup m_crops;

  // Policy keys (policy and endorsement number) of policy and item records alike.
  PartnerIndex<PolicyKey, ItemPolicyKey> m_index;
  // Item records of type "C " by policy number, found when an endorsement first asks.
  std::optional<TextIndex> m_cancellations;
  std::unordered_map<int, ItemGroup> m_groups; // long groups, by policy key number
  // A new item is repeated by a later item record with the same policy, item and
  // endorsement numbers: one of the same policy key with the same item number. An
  // endorsement item is repeated by a later item record with the same whole line, which has
  // the same policy key too.
  using PartOfLine = std::string_view (*)(std::string_view);
  LaterRepeats<PartOfLine> m_repeatedItems;
  LaterRepeats<PartOfLine> m_repeatedLines;
};

bool ProductionRules::PolicyRecord(int i, std::string_view line) {
  const Policy policy = ReadPolicy(i, line);
  if (!CheckItemsPresent(policy)) {
    return false;
  }
  CheckRepeatedItems(policy);
  CheckCoverageLevel(policy);
  CheckCommune(policy);
  CheckCrop(policy);
  CheckOneIdentityOneName(policy);
  CheckEndorsementNumberOfNewPolicy(policy);
  CheckEndorsementNumberGiven(policy);
  CheckFixedPremiumOfNewPolicy(policy);
  CheckFixedPremiumOfCancellation(policy);
  CheckFixedPremiumOfEndorsementType(policy);
  CheckInsuredAmount(policy);
  CheckMinimumPremium(policy);
  CheckNetPremiumOfEndorsement(policy);
  CheckValidityDates(policy);
  return true;
}

Policy ProductionRules::ReadPolicy(int i, std::string_view line) const {
  const int key = m_index.KeyOf(i);
  const std::span<const int> items = m_index.Members().Records(key);
  const auto start =
      static_cast<std::size_t>(std::upper_bound(items.begin(), items.end(), i) - items.begin());
  const std::string_view last_item_type =
      start < items.size() ? Field(Line(items.back()), kItem.endorsement_type) : std::string_view();
  return Policy{i, line, key, items, start, Field(line, kPolicy.information_type), last_item_type};
}

// 1. Item records present among the later records.
bool ProductionRules::CheckItemsPresent(const Policy &policy) {
  if (policy.start == policy.items.size()) {
    Report(policy.record, "NUMERO_POLIZA + NUMERO_ENDOSO", kPolicyWithoutItems);
    return false;
  }
  return true;
}

// 2. Repeated item: consecutive later item records of the policy record.
void ProductionRules::CheckRepeatedItems(const Policy &policy) {
  if (const auto [repeated, previous] = RepeatedItem(policy.key, policy.start); repeated != 0) {
    Report(repeated, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM + TIPO_ENDOSO ", kItemRepeated,
           Related(previous));
  }
}

// 3. Coverage level in (0, 1].
void ProductionRules::CheckCoverageLevel(const Policy &policy) {
  const double coverage = AmountOf(policy.line, kPolicy.coverage_level);
  if (coverage <= 0 || coverage > 1) {
    Report(policy.record, "NIVEL_COBERTURA", kCoverageOutOfRange,
           Read(policy.line, kPolicy.coverage_level.span));
  }
}

// 4. Commune code.
void ProductionRules::CheckCommune(const Policy &policy) {
  if (!m_communes.Contains(Field(policy.line, kPolicy.commune))) {
    Report(policy.record, "COD_COMUNA", kInvalidCommune, Read(policy.line, kPolicy.commune));
  }
}

// 5. Crop code.
void ProductionRules::CheckCrop(const Policy &policy) {
  if (!m_crops.Contains(Field(policy.line, kPolicy.crop))) {
    Report(policy.record, "COD_CULTIVO", kInvalidCrop, Read(policy.line, kPolicy.crop));
  }
}

// 6. Same identity block for both parties, different name spans.
void ProductionRules::CheckOneIdentityOneName(const Policy &policy) {
  const std::string_view line = policy.line;
  if (Field(line, kPolicy.insured_identity) == Field(line, kPolicy.contractor_identity) &&
      Field(line, kPolicy.insured_name) != Field(line, kPolicy.contractor_name)) {
    Report(policy.record, "RUT_ASEGURADO + VER_ASEGURADO y RUT_CONTRATANTE + VER CONTRATANTE",
           kSameRutOtherName);
  }
}

// Rules 7 to 11 read the endorsement number and the fixed premium as the whole fields'
// leading-number values.
double EndorsementNumber(const Policy &policy) {
  return LeadingNumberValue(Field(policy.line, kPolicy.endorsement_number));
}
double FixedPremiumGiven(const Policy &policy) {
  return LeadingNumberValue(Field(policy.line, kPolicy.fixed_premium.span));
}

// 7. No endorsement number on a new policy.
void ProductionRules::CheckEndorsementNumberOfNewPolicy(const Policy &policy) {
  if (Is(policy.type, "P") && EndorsementNumber(policy) != 0) {
    Report(policy.record, "NUMERO_ENDOSO", kEndorsementNumberOfNewPolicy,
           Read(policy.line, kPolicy.endorsement_number));
  }
}

// 8. An endorsement number on an endorsement.
void ProductionRules::CheckEndorsementNumberGiven(const Policy &policy) {
  if (Is(policy.type, "E") && EndorsementNumber(policy) == 0) {
    Report(policy.record, "NUMERO_ENDOSO", kNoEndorsementNumber,
           Read(policy.line, kPolicy.endorsement_number));
  }
}

// 9. A fixed premium on a new policy.
void ProductionRules::CheckFixedPremiumOfNewPolicy(const Policy &policy) {
  if (Is(policy.type, "P") && FixedPremiumGiven(policy) == 0) {
    Report(policy.record, "PRIMA_FIJA", kNoFixedPremiumOfNewPolicy,
           Read(policy.line, kPolicy.fixed_premium.span));
  }
}

// 10. A fixed premium on an endorsement with a later cancellation item of the same policy
// number, whatever its endorsement number.
void ProductionRules::CheckFixedPremiumOfCancellation(const Policy &policy) {
  if (!Is(policy.type, "E") || FixedPremiumGiven(policy) != 0) {
    return;
  }
  const std::span<const int> cancellations =
      Cancellations().Records(Field(policy.line, kPolicy.policy_number));
  if (const int cancellation = FirstAfter(cancellations, policy.record)) {
    FindingDetail detail = Read(policy.line, kPolicy.fixed_premium.span);
    detail.related = {&cancellation, 1};
    Report(policy.record, "PRIMA_FIJA", kNoFixedPremiumOfCancellation, detail);
  }
}

// 11. No fixed premium on an endorsement whose last later item is of a type without one.
void ProductionRules::CheckFixedPremiumOfEndorsementType(const Policy &policy) {
  if (Is(policy.type, "E") && IsEndorsementWithFixedPremium(policy.last_item_type) &&
      FixedPremiumGiven(policy) != 0) {
    FindingDetail detail = Read(policy.line, kPolicy.fixed_premium.span);
    detail.related = {&policy.items.back(), 1};
    Report(policy.record, "PRIMA_FIJA",
           m_rows.Keep(kFixedPremiumOfEndorsementType.With({policy.last_item_type})), detail);
  }
}

// 12. Insured amount of a new policy against the later items' quantities times the amount
// factor.
void ProductionRules::CheckInsuredAmount(const Policy &policy) {
  if (!Is(policy.type, "P")) {
    return;
  }
  const double insured = AmountOf(policy.line, kPolicy.insured_amount);
  const double computed = ComputedInsuredAmount(policy);
  const double difference = std::fabs(insured - computed);
  // A cancellation-type last item, or an exact amount, is not judged; a difference of at
  // most 0.1 within the 5 % band is not reported.
  if (!Is(policy.last_item_type, "CA") && difference > 0.0000001) {
    const std::string should = PlainNumberText(computed, m_numbers);
    const std::string given = PlainNumberText(insured, m_numbers);
    const auto worked_out = [&] {
      FindingDetail detail = Read(policy.line, kPolicy.insured_amount.span);
      detail.expected = m_rows.Keep(should);
      detail.expected_amount = computed;
      return detail;
    };
    if (computed * 0.95 <= insured && insured <= computed * 1.05 && difference > 0.1) {
      Report(policy.record, "MONTO_ASEGURADO",
             m_rows.Keep(kInexactInsuredAmount.With({should, given})), worked_out());
    } else if (insured < computed * 0.95 || insured > computed * 1.05) {
      Report(policy.record, "MONTO_ASEGURADO",
             m_rows.Keep(kWrongInsuredAmount.With({should, given})), worked_out());
    }
  }
}

double ProductionRules::ComputedInsuredAmount(const Policy &policy) {
  const double factor = AmountOf(policy.line, kPolicy.amount_factor);
  if (policy.items.size() - policy.start > kShortSum) {
    return Sums(policy.key).CentsOfProduct(policy.start, factor);
  }
  double sum = 0;
  for (std::size_t k = policy.start; k < policy.items.size(); ++k) {
    sum = sum + QuantityProduct(Line(policy.items[k]));
  }
  return RoundToCents(sum * factor);
}

// 13. Minimum net premium of a new policy.
void ProductionRules::CheckMinimumPremium(const Policy &policy) {
  if (Is(policy.type, "P") && AmountOf(policy.line, kPolicy.net_premium) < 3.5) {
    Report(policy.record, "PRIMA_NETA", kBelowMinimumPremium,
           Read(policy.line, kPolicy.net_premium.span));
  }
}

// 14. Net premium of an endorsement: fixed premium plus the rate on the insured amount.
void ProductionRules::CheckNetPremiumOfEndorsement(const Policy &policy) {
  if (!Is(policy.type, "E")) {
    return;
  }
  const std::string_view line = policy.line;
  const double net_premium = AmountOf(line, kPolicy.net_premium);
  if (net_premium > 4.5) {
    const double rate = AmountOf(line, kPolicy.premium_rate);
    const double premium =
        AmountOf(line, kPolicy.fixed_premium) + AmountOf(line, kPolicy.insured_amount) * rate / 100;
    const double computed = RoundToCents(premium);
    if (net_premium < computed * 0.95 || net_premium > computed * 1.05) {
      const std::string should = TwoDecimalText(computed, m_numbers);
      FindingDetail detail = Read(line, kPolicy.net_premium.span);
      detail.expected = m_rows.Keep(should);
      detail.expected_amount = computed;
      Report(policy.record, "PRIMA_NETA",
             m_rows.Keep(kWrongNetPremium.With({TwoDecimalText(net_premium, m_numbers), should})),
             detail);
    }
  }
}

// 15. Validity dates in order, compared as text; equal dates are out of order.
void ProductionRules::CheckValidityDates(const Policy &policy) {
  if (!SortsAfter(Field(policy.line, kPolicy.validity_end),
                  Field(policy.line, kPolicy.validity_start))) {
    Report(policy.record, "FECHA_VIGENCIA_INICIAL", kValidityDatesOutOfOrder,
           Read(policy.line, kPolicy.validity_start));
  }
}

bool ProductionRules::ItemRecord(int i) {
  const std::span<const int> policies = m_index.Owners().Records(m_index.KeyOf(i));
  if (!CheckPolicyPresent(i, policies)) {
    return false;
  }
  // The kind of information of the first such policy record decides which repeat is looked
  // for among the later item records.
  const std::string_view type = Field(Line(policies.front()), kPolicy.information_type);
  return CheckRepeatedNewItem(i, type) && CheckRepeatedEndorsementItem(i, type);
}

// 16. A policy record anywhere among the detail records.
bool ProductionRules::CheckPolicyPresent(int i, std::span<const int> policies) {
  if (policies.empty()) {
    Report(i, "NUMERO_POLIZA", kType3WithoutType2);
    return false;
  }
  return true;
}

// 17. An item of a new policy not repeated later.
bool ProductionRules::CheckRepeatedNewItem(int i, std::string_view type) {
  if (const int later = Is(type, "P") ? m_repeatedItems.After(m_index.KeyOf(i), i) : 0) {
    Report(i, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM", kRepeatedNewItem, Related(later));
    return false;
  }
  return true;
}

// 18. An item of an endorsement not repeated later.
bool ProductionRules::CheckRepeatedEndorsementItem(int i, std::string_view type) {
  if (const int later = Is(type, "E") ? m_repeatedLines.After(m_index.KeyOf(i), i) : 0) {
    Report(i, "NUMERO_POLIZA + NUMERO_ITEM", kRepeatedEndorsementItem, Related(later));
    return false;
  }
  return true;
}

ProductionRules::Repeat ProductionRules::RepeatedItem(int key, std::size_t start) {
  const std::span<const int> items = m_index.Members().Records(key);
  // The first record is compared with the empty text: no record before it.
  const std::string_view first = Line(items[start]);
  if (ItemNumber(first).empty() && Field(first, kItem.endorsement_type).empty()) {
    return {items[start], 0};
  }
  if (items.size() - start <= kShortScan) {
    for (std::size_t t = start + 1; t < items.size(); ++t) {
      if (SameItemKey(Line(items[t]), Line(items[t - 1]))) {
        return {items[t], items[t - 1]};
      }
    }
    return {0, 0};
  }
  std::vector<int> &next = Group(key).next_repeat;
  if (next.empty()) {
    next.assign(items.size() + 1, -1);
    for (std::size_t t = items.size(); t-- > 1;) {
      next[t] = SameItemKey(Line(items[t]), Line(items[t - 1])) ? static_cast<int>(t) : next[t + 1];
    }
  }
  const int position = next[start + 1];
  if (position < 0) {
    return {0, 0};
  }
  const auto at = static_cast<std::size_t>(position);
  return {items[at], items[at - 1]};
}

const TextIndex &ProductionRules::Cancellations() {
  if (!m_cancellations) {
    m_cancellations.emplace();
    for (int k = 2; k <= m_last; ++k) {
      const std::string_view line = Line(k);
      if (line.starts_with('3') && Is(Field(line, kItem.endorsement_type), "C ")) {
        m_cancellations->Add(Field(line, kItem.policy_number), k);
      }
    }
    m_cancellations->Seal();
  }
  return *m_cancellations;
}

ForwardSums &ProductionRules::Sums(int key) {
  std::unique_ptr<ForwardSums> &sums = Group(key).sums;
  if (!sums) {
    const std::span<const int> items = m_index.Members().Records(key);
    std::vector<double> terms;
    terms.reserve(items.size());
    for (const int item : items) {
      terms.push_back(QuantityProduct(Line(item)));
    }
    sums = std::make_unique<ForwardSums>(std::move(terms));

    // Many new policies sharing one long group, each summing from its own start, would
    // add the terms again and again; where the shortcut cannot decide, add them together.
    std::vector<std::size_t> starts;
    for (const int policy : m_index.Owners().Records(key)) {
      const std::string_view line = Line(policy);
      const auto later = std::upper_bound(items.begin(), items.end(), policy);
      const auto start = static_cast<std::size_t>(later - items.begin());
      if (Is(Field(line, kPolicy.information_type), "P") && later != items.end() &&
          sums->NeedsSum(start, AmountOf(line, kPolicy.amount_factor))) {
        starts.push_back(start);
      }
    }
    if (starts.size() > 1) {
      sums->SumFrom(std::move(starts));
    }
  }
  return *sums;
}

} // namespace

void CheckProductionRules(const LogicalInput &input, ResultList &rows) {
  ProductionRules rules(input, rows);
  rules.Run();
}

} // namespace verdalia
