// The rule set of claims-information files: claim records ("2") and claim detail records
// ("3"), which belong together when their claim keys are equal.
#include "logical/rule_sets.h"

#include "common/text.h"
#include "common/windows1252.h"
#include "logical/claim_causes.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <algorithm>

namespace verdalia {
namespace {

// The claim key: claim number followed by policy number, as one untrimmed text.
JoinedKey ClaimKey(std::string_view claim) {
  return JoinedKey(Mid(claim, 18, 15), Mid(claim, 3, 15));
}
JoinedKey DetailClaimKey(std::string_view detail) {
  return JoinedKey(Mid(detail, 17, 15), Mid(detail, 2, 15));
}
// A claim detail repeats another with the same claim key and item: one of the same claim
// key with the same item number. (A key of the three fields joined is equal exactly when
// the claim keys and the item numbers are, whatever the lines' lengths.)
std::string_view DetailItem(std::string_view detail) {
  return Mid(detail, 32, 4);
}

constexpr std::string_view kKeyField = "NUMERO_SINIESTRO + NUMERO_POLIZA";

class ClaimsRules {
public:
  ClaimsRules(const LogicalInput &input, ResultList &rows)
      : m_lines(input.lines), m_last(input.line_count - 1), m_rows(rows),
        m_duplicates(m_details, m_lines, DetailItem) {
    // Each index is sized for the records of its type.
    std::size_t claims = 0;
    std::size_t details = 0;
    for (int k = 2; k <= m_last; ++k) {
      claims += Line(k).starts_with('2') ? 1 : 0;
      details += Line(k).starts_with('3') ? 1 : 0;
    }
    m_claimKeys = JoinedNumbers(std::max(claims, details));
    m_claims = RecordLists(claims);
    m_details = RecordLists(details);
    m_keyOf.assign(static_cast<std::size_t>(std::max(m_last + 1, 0)), JoinedNumbers::kNone);
    for (int k = 2; k <= m_last; ++k) {
      const std::string_view line = Line(k);
      const auto at = static_cast<std::size_t>(k);
      if (line.starts_with('2')) {
        m_keyOf[at] = m_claimKeys.Number(ClaimKey(line));
        m_claims.Add(m_keyOf[at], k);
      } else if (line.starts_with('3')) {
        m_keyOf[at] = m_claimKeys.Number(DetailClaimKey(line));
        m_details.Add(m_keyOf[at], k);
      }
    }
    m_claims.Seal(m_claimKeys.Count());
    m_details.Seal(m_claimKeys.Count());
  }

  void Run() {
    for (int i = 2; i <= m_last; ++i) {
      const std::string_view line = Line(i);
      if (line.starts_with('2')) {
        if (!ClaimRecord(i, line)) {
          return;
        }
      } else if (line.starts_with('3')) {
        if (!DetailRecord(i, line)) {
          return;
        }
      }
    }
  }

private:
  std::string_view Line(int record) const { return m_lines[static_cast<std::size_t>(record)]; }

  void Report(int record, std::string_view field, const std::string &message) {
    m_rows.push_back(ResultRow{record, std::string(field), message});
  }

  // False when the rule set ends.
  bool ClaimRecord(int i, std::string_view line);
  bool DetailRecord(int i, std::string_view line);

  const std::vector<std::string_view> &m_lines;
  const int m_last;
  ResultList &m_rows;
  // Claim keys of claim and claim detail records alike, with the records of each type by
  // key number, and each record's key number.
  JoinedNumbers m_claimKeys;
  RecordLists m_claims;
  RecordLists m_details;
  std::vector<int> m_keyOf;
  LaterRepeats<std::string_view (*)(std::string_view)> m_duplicates;
};

bool ClaimsRules::ClaimRecord(int i, std::string_view line) {
  static const std::string kNoDetail =
      "Error. Registro tipo 2 no tiene asociado un registro tipo 3.";
  static const std::string kOccurrence =
      Cp1252("Error. Fecha Ocurrencia mayor a Fecha Declaración del siniestro.");
  static const std::string kNoReport = "Error. No informa fecha de informe.";
  static const std::string kReportBefore =
      Cp1252("Error. Fecha Informe Liquidación menor a Fecha Declaración del siniestro.");
  static const std::string kNoExpenses = "Advertencia. No informa gastos de siniestro.";

  // 1. A claim detail record anywhere among the detail records.
  if (m_details.Records(m_keyOf[static_cast<std::size_t>(i)]).empty()) {
    Report(i, kKeyField, kNoDetail);
    return false;
  }
  const std::string_view declared = Mid(line, 33, 8);
  const std::string_view report = Mid(line, 49, 8);
  // 2. Occurrence after declaration.
  if (SortsAfter(Mid(line, 41, 8), declared)) {
    Report(i, "FECHA_OCURRENCIA", kOccurrence);
  }
  // 3, 4. The report date, "00000000" or blank meaning none.
  const bool has_report = LeadingNumberValue(report) != 0;
  if (!has_report) {
    Report(i, "FECHA_INFORME", kNoReport);
  }
  if (has_report && SortsAfter(declared, report)) {
    Report(i, "FECHA_INFORME", kReportBefore);
  }
  // 5. Expenses of 12 integer digits and 2 decimals.
  if (FixedPointValue(Mid(line, 63, 14), 12, 2) <= 0) {
    Report(i, "GASTOS_SINIESTRO", kNoExpenses);
  }
  // 6. Claim causes.
  if (const std::string *message = ClaimCauseMessage(Mid(line, 57, 6))) {
    Report(i, "CAUSA_SINIESTRO", *message);
  }
  return true;
}

bool ClaimsRules::DetailRecord(int i, std::string_view line) {
  static const std::string kNoClaim =
      "Error. Registro tipo 3 no tiene asociado un registro tipo 2.";
  static const std::string kRepeated = Cp1252("Error. Número siniestro repetido  para igual item.");
  static const std::string kLossOfRejected =
      Cp1252("Error. Informa Tipo de Pérdida en siniestro rechazado.");
  static const std::string kNoLossOfAccepted =
      Cp1252("Error. No informa Tipo de Pérdida en siniestro aceptado.");
  static const std::string kNegativeIndemnity =
      Cp1252("Error. Informa Indemnización menor que cero.");
  static const std::string kIndemnityTypeRejected =
      Cp1252("Error:  TIPO_INDEMNIZACION informada no es válido para Siniestro rechazado.");
  static const std::string kIndemnityTypeAccepted =
      Cp1252("Error:  TIPO_INDEMNIZACION informada no es válido para Siniestro Aceptado.");
  static const std::string kIndemnityOfRejected =
      Cp1252("Error: Indemnización debe ser cero para siniestro rechazado.");
  static const std::string kProductionOfRejected =
      Cp1252("Error. Informa Producción Agrícola en siniestro rechazado.");
  static const std::string kProductionOfTotalLoss =
      Cp1252("Error. Informa Producción Agrícola en siniestro con pérdida total.");

  // 1. The first claim record with the same key, anywhere among the detail records, gives
  // the resolution code.
  const std::span<const int> claims = m_claims.Records(m_keyOf[static_cast<std::size_t>(i)]);
  if (claims.empty()) {
    Report(i, kKeyField, kNoClaim);
    return false;
  }
  const std::string_view resolution = Mid(Line(claims.front()), 2, 1);

  // 2. A later claim detail record of the same claim and item.
  if (m_duplicates.After(m_keyOf[static_cast<std::size_t>(i)], i)) {
    Report(i, kKeyField, kRepeated);
  }

  const std::string_view loss_type = Mid(line, 51, 1);
  const std::string_view indemnity_type = Mid(line, 66, 1);
  const double indemnity = LeadingNumberValue(Mid(line, 52, 14));
  const double production = LeadingNumberValue(Mid(line, 67, 10));
  const bool rejected = resolution == "R";
  const bool accepted = resolution == "A";

  if (rejected && loss_type != "X") {
    Report(i, "TIPO_PERDIDA", kLossOfRejected);
  }
  if (accepted && loss_type != "P" && loss_type != "T") {
    Report(i, "TIPO_PERDIDA", kNoLossOfAccepted);
  }
  if ((resolution == "E" || accepted) && indemnity < 0) {
    Report(i, "INDEMNIZACION", kNegativeIndemnity);
  }
  if (rejected && indemnity_type != "X") {
    Report(i, "TIPO_INDEMNIZACION", kIndemnityTypeRejected);
  }
  if (accepted && indemnity_type != "M" && indemnity_type != "C") {
    Report(i, "TIPO_INDEMNIZACION", kIndemnityTypeAccepted);
  }
  if (rejected && indemnity_type == "X" && indemnity != 0) {
    Report(i, "INDEMNIZACION", kIndemnityOfRejected);
  }
  if (rejected && production != 0) {
    Report(i, "PRODUCCION_REAL", kProductionOfRejected);
  }
  if (loss_type == "T" && production != 0) {
    Report(i, "PRODUCCION_REAL", kProductionOfTotalLoss);
  }
  return true;
}

} // namespace

void CheckClaimsRules(const LogicalInput &input, ResultList &rows) {
  ClaimsRules rules(input, rows);
  rules.Run();
}

} // namespace verdalia
