// The rule set of claims-information files: claim records ("2") and claim detail records
// ("3"), which belong together when their claim keys are equal.
#include "logical/rule_sets.h"

#include "common/record_layout.h"
#include "common/text.h"
#include "logical/claim_causes.h"
#include "logical/messages.h"
#include "logical/partner_index.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <span>

namespace verdalia {
namespace {

using namespace logical_messages;

// The claim key: claim number followed by policy number, as one untrimmed text.
JoinedKey ClaimKey(std::string_view claim) {
  return JoinedKey::Of<kClaim.claim_number, kClaim.policy_number>(claim);
}
JoinedKey DetailClaimKey(std::string_view detail) {
  return JoinedKey::Of<kClaimDetail.claim_number, kClaimDetail.policy_number>(detail);
}
// A claim detail repeats another with the same claim key and item: one of the same claim
// key with the same item number. (A key of the three fields joined is equal exactly when
// the claim keys and the item numbers are, whatever the lines' lengths.)
std::string_view DetailItem(std::string_view detail) {
  return Field(detail, kClaimDetail.item);
}

constexpr std::string_view kKeyField = "NUMERO_SINIESTRO + NUMERO_POLIZA";

// A claim detail record's fields that its rules read, with the resolution code of its claim:
// "R" rejected, "A" accepted, "E" a third code.
struct Detail {
  int record;
  std::string_view line;
  int claim; // the claim record that gives the resolution
  std::string_view resolution;
  bool rejected;
  bool accepted;
  std::string_view loss_type;
  std::string_view indemnity_type;
  double indemnity;
  double production;
};

Detail ReadDetail(int record, std::string_view line, int claim, std::string_view resolution) {
  return Detail{record,
                line,
                claim,
                resolution,
                Is(resolution, "R"),
                Is(resolution, "A"),
                Field(line, kClaimDetail.loss_type),
                Field(line, kClaimDetail.indemnity_type),
                LeadingNumberValue(Field(line, kClaimDetail.indemnity)),
                LeadingNumberValue(Field(line, kClaimDetail.real_production))};
}

class ClaimsRules {
public:
  ClaimsRules(const LogicalInput &input, ResultList &rows)
      : m_lines(input.lines), m_last(input.line_count - 1), m_rows(rows), m_index(m_lines, m_last),
        m_duplicates(m_index.Members(), m_lines, DetailItem) {}

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

  void Report(int record, std::string_view field, std::string_view message) {
    m_rows.push_back(ResultRow{record, field, message});
  }
  // With what the rule knew: the field it read, other records.
  void Report(int record, std::string_view field, std::string_view message,
              const FindingDetail &detail) {
    m_rows.push_back(ResultRow{record, field, message}, detail);
  }
  // A detail record's field judged by its claim's resolution: the claim is the other record.
  void Report(const Detail &detail, std::string_view field, Span span, std::string_view message) {
    FindingDetail read = Read(detail.line, span);
    read.related = {&detail.claim, 1};
    Report(detail.record, field, message, read);
  }

  // Rules 1 to 6 of a claim record; false when the rule set ends.
  bool ClaimRecord(int i, std::string_view line);
  bool CheckDetailsPresent(int i);
  void CheckOccurrenceDate(int i, std::string_view line);
  void CheckReportDateGiven(int i, std::string_view line);
  void CheckReportDate(int i, std::string_view line);
  void CheckExpenses(int i, std::string_view line);
  void CheckClaimCauses(int i, std::string_view line);

  // Rules 1 to 10 of a claim detail record; false when the rule set ends.
  bool DetailRecord(int i, std::string_view line);
  bool CheckClaimPresent(int i, std::span<const int> claims);
  void CheckRepeatedDetail(const Detail &detail);
  void CheckLossTypeOfRejected(const Detail &detail);
  void CheckLossTypeOfAccepted(const Detail &detail);
  void CheckIndemnityNotNegative(const Detail &detail);
  void CheckIndemnityTypeOfRejected(const Detail &detail);
  void CheckIndemnityTypeOfAccepted(const Detail &detail);
  void CheckIndemnityOfRejected(const Detail &detail);
  void CheckProductionOfRejected(const Detail &detail);
  void CheckProductionOfTotalLoss(const Detail &detail);

  const std::vector<std::string_view> &m_lines;
  const int m_last;
  ResultList &m_rows;
  // Claim keys of claim and claim detail records alike.
  PartnerIndex<ClaimKey, DetailClaimKey> m_index;
  LaterRepeats<std::string_view (*)(std::string_view)> m_duplicates;
};

bool ClaimsRules::ClaimRecord(int i, std::string_view line) {
  if (!CheckDetailsPresent(i)) {
    return false;
  }
  CheckOccurrenceDate(i, line);
  CheckReportDateGiven(i, line);
  CheckReportDate(i, line);
  CheckExpenses(i, line);
  CheckClaimCauses(i, line);
  return true;
}

// 1. A claim detail record anywhere among the detail records.
bool ClaimsRules::CheckDetailsPresent(int i) {
  if (m_index.Members().Records(m_index.KeyOf(i)).empty()) {
    Report(i, kKeyField, kClaimWithoutDetail);
    return false;
  }
  return true;
}

// 2. Occurrence after declaration.
void ClaimsRules::CheckOccurrenceDate(int i, std::string_view line) {
  if (SortsAfter(Field(line, kClaim.occurrence_date), Field(line, kClaim.declaration_date))) {
    Report(i, "FECHA_OCURRENCIA", kClaimOccurrenceAfterDeclaration,
           Read(line, kClaim.occurrence_date));
  }
}

// Rules 3 and 4: "00000000" or blank means no report date.
bool HasReportDate(std::string_view line) {
  return LeadingNumberValue(Field(line, kClaim.report_date)) != 0;
}

// 3. A report date.
void ClaimsRules::CheckReportDateGiven(int i, std::string_view line) {
  if (!HasReportDate(line)) {
    Report(i, "FECHA_INFORME", kClaimNoReportDate, Read(line, kClaim.report_date));
  }
}

// 4. The report not before the declaration.
void ClaimsRules::CheckReportDate(int i, std::string_view line) {
  if (HasReportDate(line) &&
      SortsAfter(Field(line, kClaim.declaration_date), Field(line, kClaim.report_date))) {
    Report(i, "FECHA_INFORME", kClaimReportBeforeDeclaration, Read(line, kClaim.report_date));
  }
}

// 5. Expenses above zero.
void ClaimsRules::CheckExpenses(int i, std::string_view line) {
  if (AmountOf(line, kClaim.expenses) <= 0) {
    Report(i, "GASTOS_SINIESTRO", kClaimNoExpenses, Read(line, kClaim.expenses.span));
  }
}

// 6. Claim causes.
void ClaimsRules::CheckClaimCauses(int i, std::string_view line) {
  if (const std::string_view message = ClaimCauseMessage(Field(line, kClaim.causes));
      !message.empty()) {
    Report(i, "CAUSA_SINIESTRO", message, Read(line, kClaim.causes));
  }
}

bool ClaimsRules::DetailRecord(int i, std::string_view line) {
  const std::span<const int> claims = m_index.Owners().Records(m_index.KeyOf(i));
  if (!CheckClaimPresent(i, claims)) {
    return false;
  }
  // The first claim record with the same key gives the resolution code.
  const Detail detail =
      ReadDetail(i, line, claims.front(), Field(Line(claims.front()), kClaim.resolution));
  CheckRepeatedDetail(detail);
  CheckLossTypeOfRejected(detail);
  CheckLossTypeOfAccepted(detail);
  CheckIndemnityNotNegative(detail);
  CheckIndemnityTypeOfRejected(detail);
  CheckIndemnityTypeOfAccepted(detail);
  CheckIndemnityOfRejected(detail);
  CheckProductionOfRejected(detail);
  CheckProductionOfTotalLoss(detail);
  return true;
}

// 1. A claim record with the same key, anywhere among the detail records.
bool ClaimsRules::CheckClaimPresent(int i, std::span<const int> claims) {
  if (claims.empty()) {
    Report(i, kKeyField, kType3WithoutType2);
    return false;
  }
  return true;
}

// 2. A later claim detail record of the same claim and item.
void ClaimsRules::CheckRepeatedDetail(const Detail &detail) {
  if (const int later = m_duplicates.After(m_index.KeyOf(detail.record), detail.record)) {
    Report(detail.record, kKeyField, kClaimDetailRepeated, Related(later));
  }
}

// 3. No loss type ("X") on a rejected claim.
void ClaimsRules::CheckLossTypeOfRejected(const Detail &detail) {
  if (detail.rejected && !Is(detail.loss_type, "X")) {
    Report(detail, "TIPO_PERDIDA", kClaimDetail.loss_type, kClaimLossTypeOfRejected);
  }
}

// 4. A partial ("P") or total ("T") loss on an accepted claim.
void ClaimsRules::CheckLossTypeOfAccepted(const Detail &detail) {
  if (detail.accepted && !Is(detail.loss_type, "P") && !Is(detail.loss_type, "T")) {
    Report(detail, "TIPO_PERDIDA", kClaimDetail.loss_type, kClaimNoLossTypeOfAccepted);
  }
}

// 5. No negative indemnity on a claim accepted or of the third code.
void ClaimsRules::CheckIndemnityNotNegative(const Detail &detail) {
  if ((Is(detail.resolution, "E") || detail.accepted) && detail.indemnity < 0) {
    Report(detail, "INDEMNIZACION", kClaimDetail.indemnity, kClaimNegativeIndemnity);
  }
}

// 6. No indemnity type ("X") on a rejected claim.
void ClaimsRules::CheckIndemnityTypeOfRejected(const Detail &detail) {
  if (detail.rejected && !Is(detail.indemnity_type, "X")) {
    Report(detail, "TIPO_INDEMNIZACION", kClaimDetail.indemnity_type,
           kClaimIndemnityTypeOfRejected);
  }
}

// 7. Indemnity type "M" or "C" on an accepted claim.
void ClaimsRules::CheckIndemnityTypeOfAccepted(const Detail &detail) {
  if (detail.accepted && !Is(detail.indemnity_type, "M") && !Is(detail.indemnity_type, "C")) {
    Report(detail, "TIPO_INDEMNIZACION", kClaimDetail.indemnity_type,
           kClaimIndemnityTypeOfAccepted);
  }
}

// 8. No indemnity on a rejected claim without indemnity type.
void ClaimsRules::CheckIndemnityOfRejected(const Detail &detail) {
  if (detail.rejected && Is(detail.indemnity_type, "X") && detail.indemnity != 0) {
    Report(detail, "INDEMNIZACION", kClaimDetail.indemnity, kClaimIndemnityOfRejected);
  }
}

// 9. No real production on a rejected claim.
void ClaimsRules::CheckProductionOfRejected(const Detail &detail) {
  if (detail.rejected && detail.production != 0) {
    Report(detail, "PRODUCCION_REAL", kClaimDetail.real_production, kClaimProductionOfRejected);
  }
}

// 10. No real production on a total loss.
void ClaimsRules::CheckProductionOfTotalLoss(const Detail &detail) {
  if (Is(detail.loss_type, "T") && detail.production != 0) {
    FindingDetail read = Read(detail.line, kClaimDetail.real_production);
    Report(detail.record, "PRODUCCION_REAL", kClaimProductionOfTotalLoss, read);
  }
}

} // namespace

void CheckClaimsRules(const LogicalInput &input, ResultList &rows) {
  ClaimsRules rules(input, rows);
  rules.Run();
}

} // namespace verdalia
