// The rule set of claims-notification files: every claim notice ("2") gets all four rules;
// no finding ends the rule set.
#include "logical/rule_sets.h"

#include "common/record_layout.h"
#include "common/text.h"
#include "logical/claim_causes.h"
#include "logical/messages.h"
#include "logical/record_index.h"
#include "logical/text_order.h"

#include <algorithm>
#include <span>

namespace verdalia {
namespace {

using namespace logical_messages;

// Claim number and policy number, compared one by one. The policy number's 19 characters
// reach into the declaration date's year.
FieldsKey NoticeKey(std::string_view line) {
  return FieldsKey::Of<kNotice.claim_number, kNotice.policy_number>(line);
}

// 1. A later claim notice with the same claim and policy number: `later`, 0 for none.
void CheckRepeatedNotice(int i, const int &later, ResultList &rows) {
  if (later != 0) {
    rows.push_back({i, "NUMERO_SINIESTRO+NUMERO_POLIZA", kNoticeRepeated}, Related(later));
  }
}

// 2. Occurrence after declaration, compared as text.
void CheckOccurrenceDate(int i, std::string_view line, ResultList &rows) {
  if (SortsAfter(Field(line, kNotice.occurrence_date), Field(line, kNotice.declaration_date))) {
    rows.push_back({i, "FECHA_OCURRENCIA", kNoticeOccurrenceAfterDeclaration},
                   Read(line, kNotice.occurrence_date));
  }
}

// 3. Claim causes.
void CheckClaimCauses(int i, std::string_view line, ResultList &rows) {
  if (const std::string_view message = ClaimCauseMessage(Field(line, kNotice.causes));
      !message.empty()) {
    rows.push_back({i, "CAUSA_SINIESTRO", message}, Read(line, kNotice.causes));
  }
}

// 4. Provision: zeros, blanks or a text that is not a number count as none.
void CheckProvision(int i, std::string_view line, ResultList &rows) {
  if (LeadingNumberValue(Field(line, kNotice.provision)) == 0) {
    rows.push_back({i, "PROVISION", kNoticeNoProvision}, Read(line, kNotice.provision));
  }
}

} // namespace

void CheckNoticeRules(const LogicalInput &input, ResultList &rows) {
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

  // The walk meets the notices of a key in the order of their list, so the one after a
  // notice is the next in its key's list: a count per key of the notices met finds it.
  std::vector<std::size_t> met(static_cast<std::size_t>(keys.Count()), 0);
  for (int i = 2; i <= last; ++i) {
    const std::string_view line = line_of(i);
    if (!line.starts_with('2')) {
      continue;
    }
    const int key = key_of[static_cast<std::size_t>(i)];
    const std::span<const int> of_key = notices.Records(key);
    const std::size_t next = ++met[static_cast<std::size_t>(key)];
    const int later = next < of_key.size() ? of_key[next] : 0;
    CheckRepeatedNotice(i, later, rows);
    CheckOccurrenceDate(i, line, rows);
    CheckClaimCauses(i, line, rows);
    CheckProvision(i, line, rows);
  }
}

} // namespace verdalia
