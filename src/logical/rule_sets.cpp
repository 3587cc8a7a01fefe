#include "logical/rule_sets.h"

namespace verdalia {

void CheckLogicalRules(FileKind kind, const LogicalInput &input, ResultList &rows) {
  switch (kind) {
  case FileKind::Production:
    CheckProductionRules(input, rows);
    break;
  case FileKind::ClaimNotices:
    CheckNoticeRules(input, rows);
    break;
  case FileKind::Claims:
    CheckClaimsRules(input, rows);
    break;
  }
}

} // namespace verdalia
