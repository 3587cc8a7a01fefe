#pragma once

#include <string_view>
#include <vector>

#include "common/file_kind.h"
#include "common/record_layout.h"
#include "common/result.h"
#include "logical/number_text.h"
#include "refdata/reference_data.h"

namespace verdalia {

// What a rule set reads: the file's lines (element k = record k, element 0 unused), the code
// lists and the number format of its messages. The rule sets walk records 2 to
// line_count - 1 and append rows.
struct LogicalInput {
  const std::vector<std::string_view> &lines;
  int line_count;
  const CodeList &commune_codes;
  const CodeList &crop_codes;
  const NumberFormat &numbers;
};

// What a rule read: the field at `span` of a line, where it stands.
inline FindingDetail Read(std::string_view line, Span span) {
  FindingDetail detail;
  detail.value = Field(line, span);
  detail.value_start = span.start;
  return detail;
}

// The other record a rule names (a partner, a repeat); 0 is no record. The detail views
// `record`, which must outlive the row's report: a temporary does not build.
inline FindingDetail Related(const int &record) {
  FindingDetail detail;
  if (record > 0) {
    detail.related = {&record, 1};
  }
  return detail;
}
FindingDetail Related(const int &&record) = delete;

// Production files: policy records ("2") and item records ("3"). A policy record without a
// later item, an item without policy, and a repeated new or endorsement item end the walk.
// The endorsement type of the fixed-premium rule for endorsements is that of the policy
// record's last later item record, the one the insured-amount rule remembers.
void CheckProductionRules(const LogicalInput &input, ResultList &rows);

// Claims-information files: claim records ("2") and claim detail records ("3"); the first
// record without partner ends the walk.
void CheckClaimsRules(const LogicalInput &input, ResultList &rows);

// Claims-notification files: every claim notice ("2") gets all four rules.
void CheckNoticeRules(const LogicalInput &input, ResultList &rows);

// The rule set of the kind.
void CheckLogicalRules(FileKind kind, const LogicalInput &input, ResultList &rows);

} // namespace verdalia
