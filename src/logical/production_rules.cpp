// The rule set of production files: policy records ("2") and their item records ("3").
#include "logical/rule_sets.h"

#include "common/text.h"
#include "common/windows1252.h"
#include "logical/forward_sums.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

namespace verdalia {
namespace {

// Fields of a policy record.
std::string_view TipoInformacion(std::string_view line) {
  return Mid(line, 17, 1);
}
std::string_view PolicyNumber(std::string_view line) {
  return Mid(line, 18, 15);
}
std::string_view PolicyEndorsement(std::string_view line) {
  return Mid(line, 36, 11);
}
double AmountFactor(std::string_view line) {
  return FixedPointValue(Mid(line, 349, 7), 3, 4);
}

// Fields of an item record.
std::string_view ItemPolicyNumber(std::string_view line) {
  return Mid(line, 2, 15);
}
std::string_view ItemNumber(std::string_view line) {
  return Mid(line, 17, 4);
}
std::string_view ItemEndorsement(std::string_view line) {
  return Mid(line, 181, 11);
}
std::string_view ItemEndorsementType(std::string_view line) {
  return Mid(line, 192, 2);
}

// An item record belongs to a policy record with the same policy and endorsement numbers.
FieldsKey PolicyKey(std::string_view line) {
  return FieldsKey(PolicyNumber(line), PolicyEndorsement(line));
}
FieldsKey ItemPolicyKey(std::string_view line) {
  return FieldsKey(ItemPolicyNumber(line), ItemEndorsement(line));
}

// Quantity A times quantity B of an item record, the term of the insured-amount sum.
double QuantityProduct(std::string_view line) {
  const double quantity_a = FixedPointValue(Mid(line, 173, 8), 6, 2);
  const double quantity_b = FixedPointValue(Mid(line, 166, 7), 5, 2);
  return quantity_a * quantity_b;
}

// Whether two item records have the same item key: item number followed by endorsement
// type, compared as one text.
bool SameItemKey(std::string_view a, std::string_view b) {
  const std::string_view a1 = ItemNumber(a), a2 = ItemEndorsementType(a);
  const std::string_view b1 = ItemNumber(b), b2 = ItemEndorsementType(b);
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
  return type == "D " || type == "A " || type == "CA" || type == "RE";
}

// A code list asked once per distinct code of the run: the answer depends on the code text
// alone, and files repeat the same few codes thousands of times.
class CodeLookup {
public:
  explicit CodeLookup(const CodeList &codes) : m_codes(codes) {}

  bool Contains(std::string_view code) {
    const auto number = static_cast<std::size_t>(m_known.Number(code));
    if (number == m_answers.size()) {
      m_answers.push_back(m_codes.Contains(code));
    }
    return m_answers[number];
  }

private:
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

class ProductionRules {
public:
  ProductionRules(const LogicalInput &input, ResultList &rows)
      : m_lines(input.lines), m_last(input.line_count - 1), m_rows(rows), m_numbers(input.numbers),
        m_communes(input.commune_codes), m_crops(input.crop_codes),
        m_repeatedItems(m_items, m_lines, ItemNumber),
        m_repeatedLines(m_items, m_lines, WholeLine) {
    // Each index is sized for the records of its type.
    std::size_t policies = 0;
    std::size_t items = 0;
    for (int k = 2; k <= m_last; ++k) {
      policies += Line(k).starts_with('2') ? 1 : 0;
      items += Line(k).starts_with('3') ? 1 : 0;
    }
    m_policyKeys = FieldsNumbers(std::max(policies, items));
    m_policies = RecordLists(policies);
    m_items = RecordLists(items);
    m_keyOf.assign(static_cast<std::size_t>(std::max(m_last + 1, 0)), FieldsNumbers::kNone);
    for (int k = 2; k <= m_last; ++k) {
      const std::string_view line = Line(k);
      const auto at = static_cast<std::size_t>(k);
      if (line.starts_with('2')) {
        m_keyOf[at] = m_policyKeys.Number(PolicyKey(line));
        m_policies.Add(m_keyOf[at], k);
      } else if (line.starts_with('3')) {
        m_keyOf[at] = m_policyKeys.Number(ItemPolicyKey(line));
        m_items.Add(m_keyOf[at], k);
        if (ItemEndorsementType(line) == "C ") {
          m_cancellations.Add(ItemPolicyNumber(line), k);
        }
      }
    }
    m_policies.Seal(m_policyKeys.Count());
    m_items.Seal(m_policyKeys.Count());
    m_cancellations.Seal();
  }

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

  void Report(int record, std::string_view field, std::string message) {
    m_rows.push_back(ResultRow{record, std::string(field), std::move(message)});
  }

  // Rules 1 to 15; false when the rule set ends.
  bool PolicyRecord(int i, std::string_view line);
  // Rules 16 to 18; false when the rule set ends.
  bool ItemRecord(int i);

  // The later record of the first pair of consecutive item records with equal item keys,
  // among the item records of policy key `key` from position `start` on, the first of them
  // compared with the empty text; 0 when there is none.
  int RepeatedItem(int key, std::size_t start);
  // What is worked out for a long group of item records.
  ItemGroup &Group(int key) { return m_groups[key]; }
  // The running sums of the quantities of the item records of policy key `key`, with the
  // one-by-one sums that its new policies will need worked out together.
  ForwardSums &Sums(int key);

  const std::vector<std::string_view> &m_lines;
  const int m_last;
  ResultList &m_rows;
  const NumberFormat &m_numbers;
  CodeLookup m_communes;
  CodeLookup m_crops;

  // Policy keys (policy and endorsement number) of policy and item records alike, with the
  // records of each type by key number, and each record's key number.
  FieldsNumbers m_policyKeys;
  RecordLists m_policies;
  RecordLists m_items;
  std::vector<int> m_keyOf;
  TextIndex m_cancellations;                   // item records of type "C " by policy number
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
  static const std::string kNoItems = "Error. Registro tipo 2 no tiene asociado un registro tipo 3";
  static const std::string kRepeated = "Error. Registro repetido";
  static const std::string kCoverage = "Error. Nivel de Cobertura fuera de rango";
  static const std::string kComuna =
      Cp1252("Error. Código de Comuna informado no es válido de acuerdo a NS vigente.");
  static const std::string kCultivo = Cp1252("Error. Código de cultivo informado no es válido.");
  static const std::string kSameRut =
      Cp1252("Error. Informa igual RUT para Asegurado y Contratante, pero con diferente nombre "
             "o razón social");
  static const std::string kEndorsementOfNew =
      Cp1252("Error. Informa Número de Endoso para nueva Póliza.");
  static const std::string kNoEndorsement = Cp1252("Error. No informa Número de Endoso.");
  static const std::string kNoFixedPremium =
      Cp1252("Error. No informa prima fija para nueva Póliza.");
  static const std::string kCancellation =
      Cp1252("Error. No informa prima fija para endoso de cancelación (sólo si "
             "TIPO_INFORMACION=E y TIPO_ENDOSO=C ).");
  static const std::string kFixedPremiumOfType = "Error. Informa prima fija para Endoso de tipo ";
  static const std::string kInexact =
      Cp1252("Advertencia. Cálculo no es exacto. Monto Asegurado debe ser ");
  static const std::string kInsuredAmount =
      Cp1252("Error. En el cálculo del Monto Asegurado. Monto Asegurado debe ser ");
  static const std::string kMinimumPremium =
      Cp1252("Error. Prima Neta informada menor a prima mínima establecida en Normas de "
             "Suscripción.");
  static const std::string kNetPremium =
      Cp1252("Error. Error en el cálculo de la Prima Neta, informa ");
  static const std::string kDates = "Error. Fecha vigencia inicial mayor a fecha vigencia final";

  // 1. Item records present among the later records.
  const int key = m_keyOf[static_cast<std::size_t>(i)];
  const std::span<const int> items = m_items.Records(key);
  const auto later = std::upper_bound(items.begin(), items.end(), i);
  if (later == items.end()) {
    Report(i, "NUMERO_POLIZA + NUMERO_ENDOSO", kNoItems);
    return false;
  }
  const auto start = static_cast<std::size_t>(later - items.begin());

  // 2. Repeated item: consecutive later item records of the policy record.
  if (const int repeated = RepeatedItem(key, start)) {
    Report(repeated, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM + TIPO_ENDOSO ", kRepeated);
  }

  const std::string_view tipo = TipoInformacion(line);

  // 3. Coverage level in (0, 1].
  const double coverage = FixedPointValue(Mid(line, 33, 3), 1, 2);
  if (coverage <= 0 || coverage > 1) {
    Report(i, "NIVEL_COBERTURA", kCoverage);
  }

  // 4, 5. Commune and crop codes.
  if (!m_communes.Contains(Mid(line, 331, 5))) {
    Report(i, "COD_COMUNA", kComuna);
  }
  if (!m_crops.Contains(Mid(line, 336, 6))) {
    Report(i, "COD_CULTIVO", kCultivo);
  }

  // 6. Same identity block for both parties, different name spans.
  if (Mid(line, 71, 10) == Mid(line, 201, 10) && Mid(line, 81, 120) != Mid(line, 211, 120)) {
    Report(i, "RUT_ASEGURADO + VER_ASEGURADO y RUT_CONTRATANTE + VER CONTRATANTE", kSameRut);
  }

  // 7 to 11. Endorsement number and fixed premium by kind of information; the whole fields'
  // leading-number values.
  const double endorsement = LeadingNumberValue(PolicyEndorsement(line));
  const double fixed_premium_given = LeadingNumberValue(Mid(line, 360, 6));
  if (tipo == "P" && endorsement != 0) {
    Report(i, "NUMERO_ENDOSO", kEndorsementOfNew);
  }
  if (tipo == "E" && endorsement == 0) {
    Report(i, "NUMERO_ENDOSO", kNoEndorsement);
  }
  if (tipo == "P" && fixed_premium_given == 0) {
    Report(i, "PRIMA_FIJA", kNoFixedPremium);
  }
  // A later cancellation item of the same policy number, whatever its endorsement number.
  if (tipo == "E" && fixed_premium_given == 0 &&
      AnyAfter(m_cancellations.Records(PolicyNumber(line)), i)) {
    Report(i, "PRIMA_FIJA", kCancellation);
  }
  // The endorsement type is that of the last later item record of the policy record, the
  // one the insured-amount rule remembers; rule 1 made sure there is one.
  const std::string_view last_type = ItemEndorsementType(Line(items.back()));
  if (tipo == "E" && IsEndorsementWithFixedPremium(last_type) && fixed_premium_given != 0) {
    Report(i, "PRIMA_FIJA", kFixedPremiumOfType + std::string(last_type) + ".");
  }

  const double insured = FixedPointValue(Mid(line, 366, 7), 5, 2);

  // 12. Insured amount against the later items' quantities times the amount factor.
  if (tipo == "P") {
    const double factor = AmountFactor(line);
    double computed = 0;
    if (items.size() - start <= kShortSum) {
      double sum = 0;
      for (std::size_t k = start; k < items.size(); ++k) {
        sum = sum + QuantityProduct(Line(items[k]));
      }
      computed = RoundToCents(sum * factor);
    } else {
      computed = Sums(key).CentsOfProduct(start, factor);
    }
    const double difference = std::fabs(insured - computed);
    // A cancellation-type last item, or an exact amount, is not judged; a difference of
    // at most 0.1 within the 5 % band is not reported.
    if (last_type != "CA" && difference > 0.0000001) {
      const std::string amounts = PlainNumberText(computed, m_numbers) + " e informa " +
                                  PlainNumberText(insured, m_numbers) + ".";
      if (computed * 0.95 <= insured && insured <= computed * 1.05 && difference > 0.1) {
        Report(i, "MONTO_ASEGURADO", kInexact + amounts);
      } else if (insured < computed * 0.95 || insured > computed * 1.05) {
        Report(i, "MONTO_ASEGURADO", kInsuredAmount + amounts);
      }
    }
  }

  // 13. Minimum net premium of a new policy.
  const double net_premium = FixedPointValue(Mid(line, 373, 6), 4, 2);
  if (tipo == "P" && net_premium < 3.5) {
    Report(i, "PRIMA_NETA", kMinimumPremium);
  }

  // 14. Net premium of an endorsement: fixed premium plus the rate on the insured amount.
  if (tipo == "E" && net_premium > 4.5) {
    const double fixed_premium = FixedPointValue(Mid(line, 360, 6), 4, 2);
    const double rate = FixedPointValue(Mid(line, 356, 4), 2, 2);
    const double premium = fixed_premium + insured * rate / 100;
    const double computed = RoundToCents(premium);
    if (net_premium < computed * 0.95 || net_premium > computed * 1.05) {
      Report(i, "PRIMA_NETA",
             kNetPremium + TwoDecimalText(net_premium, m_numbers) + ", y debe ser " +
                 TwoDecimalText(computed, m_numbers));
    }
  }

  // 15. Validity dates in order, compared as text; equal dates are out of order.
  if (!SortsAfter(Mid(line, 55, 8), Mid(line, 47, 8))) {
    Report(i, "FECHA_VIGENCIA_INICIAL", kDates);
  }
  return true;
}

bool ProductionRules::ItemRecord(int i) {
  static const std::string kNoPolicy =
      "Error. Registro tipo 3 no tiene asociado un registro tipo 2.";
  static const std::string kRepeatedNew = Cp1252("Error. Registro repetido para nuevo ítem.");
  static const std::string kRepeatedEndorsement = "Error. Registro repetido para endoso.";

  // 16. A policy record anywhere among the detail records.
  const std::span<const int> policies = m_policies.Records(m_keyOf[static_cast<std::size_t>(i)]);
  if (policies.empty()) {
    Report(i, "NUMERO_POLIZA", kNoPolicy);
    return false;
  }
  // 17, 18. The kind of information of the first such policy record decides which repeat
  // is looked for among the later item records.
  const std::string_view tipo = TipoInformacion(Line(policies.front()));
  if (tipo == "P") {
    if (m_repeatedItems.After(m_keyOf[static_cast<std::size_t>(i)], i)) {
      Report(i, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM", kRepeatedNew);
      return false;
    }
  } else if (tipo == "E") {
    if (m_repeatedLines.After(m_keyOf[static_cast<std::size_t>(i)], i)) {
      Report(i, "NUMERO_POLIZA + NUMERO_ITEM", kRepeatedEndorsement);
      return false;
    }
  }
  return true;
}

int ProductionRules::RepeatedItem(int key, std::size_t start) {
  const std::span<const int> items = m_items.Records(key);
  // The first record is compared with the empty text.
  if (ItemNumber(Line(items[start])).empty() && ItemEndorsementType(Line(items[start])).empty()) {
    return items[start];
  }
  if (items.size() - start <= kShortScan) {
    for (std::size_t t = start + 1; t < items.size(); ++t) {
      if (SameItemKey(Line(items[t]), Line(items[t - 1]))) {
        return items[t];
      }
    }
    return 0;
  }
  std::vector<int> &next = Group(key).next_repeat;
  if (next.empty()) {
    next.assign(items.size() + 1, -1);
    for (std::size_t t = items.size(); t-- > 1;) {
      next[t] = SameItemKey(Line(items[t]), Line(items[t - 1])) ? static_cast<int>(t) : next[t + 1];
    }
  }
  const int position = next[start + 1];
  return position < 0 ? 0 : items[static_cast<std::size_t>(position)];
}

ForwardSums &ProductionRules::Sums(int key) {
  std::unique_ptr<ForwardSums> &sums = Group(key).sums;
  if (!sums) {
    const std::span<const int> items = m_items.Records(key);
    std::vector<double> terms;
    terms.reserve(items.size());
    for (const int item : items) {
      terms.push_back(QuantityProduct(Line(item)));
    }
    sums = std::make_unique<ForwardSums>(std::move(terms));

    // Many new policies sharing one long group, each summing from its own start, would
    // add the terms again and again; where the shortcut cannot decide, add them together.
    std::vector<std::size_t> starts;
    for (const int policy : m_policies.Records(key)) {
      const std::string_view line = Line(policy);
      const auto later = std::upper_bound(items.begin(), items.end(), policy);
      const auto start = static_cast<std::size_t>(later - items.begin());
      if (TipoInformacion(line) == "P" && later != items.end() &&
          sums->NeedsSum(start, AmountFactor(line))) {
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
