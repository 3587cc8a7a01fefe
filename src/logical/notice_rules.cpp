// The rule set of claims-notification files: every claim notice ("2") gets all four rules;
// no finding ends the rule set.
#include "logical/rule_sets.h"

#include "common/text.h"
#include "common/windows1252.h"
#include "logical/claim_causes.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <algorithm>

namespace verdalia {
namespace {

// Claim number and policy number, compared one by one. The policy number's 19 characters
// reach into the declaration date's year.
FieldsKey NoticeKey(std::string_view line) {
  return FieldsKey(Mid(line, 2, 15), Mid(line, 32, 19));
}

} // namespace

void CheckNoticeRules(const LogicalInput &input, ResultList &rows) {
  static const std::string kRepeated = Cp1252("Error. Número de siniestro repetido en el archivo.");
  static const std::string kOccurrence =
      Cp1252("Error. Fecha de Ocurrencia mayor a fecha de Declaración del siniestro.");
  static const std::string kNoProvision = Cp1252("Advertencia. No informa provisión.");

  const int last = input.line_count - 1;
  auto line_of = [&](int record) { return input.lines[static_cast<std::size_t>(record)]; };

  // Each notice's key number, and the notices of each key.
  FieldsNumbers keys(static_cast<std::size_t>(std::max(last - 1, 0)));
  RecordLists notices(static_cast<std::size_t>(std::max(last - 1, 0)));
  std::vector<int> key_of(static_cast<std::size_t>(std::max(last + 1, 0)), FieldsNumbers::kNone);
  for (int k = 2; k <= last; ++k) {
    if (line_of(k).starts_with('2')) {
      key_of[static_cast<std::size_t>(k)] = keys.Number(NoticeKey(line_of(k)));
      notices.Add(key_of[static_cast<std::size_t>(k)], k);
    }
  }
  notices.Seal(keys.Count());

  for (int i = 2; i <= last; ++i) {
    const std::string_view line = line_of(i);
    if (!line.starts_with('2')) {
      continue;
    }
    // 1. A later claim notice with the same claim and policy number.
    if (AnyAfter(notices.Records(key_of[static_cast<std::size_t>(i)]), i)) {
      rows.push_back({i, "NUMERO_SINIESTRO+NUMERO_POLIZA", kRepeated});
    }
    // 2. Occurrence after declaration, compared as text.
    if (SortsAfter(Mid(line, 55, 8), Mid(line, 47, 8))) {
      rows.push_back({i, "FECHA_OCURRENCIA", kOccurrence});
    }
    // 3. Claim causes.
    if (const std::string *message = ClaimCauseMessage(Mid(line, 63, 6))) {
      rows.push_back({i, "CAUSA_SINIESTRO", *message});
    }
    // 4. Provision: zeros, blanks or a text that is not a number count as none.
    if (LeadingNumberValue(Mid(line, 69, 14)) == 0) {
      rows.push_back({i, "PROVISION", kNoProvision});
    }
  }
}

} // namespace verdalia
