#include "logical/rule_sets.h"

namespace verdalia {

void CheckLogicalRules(int kind, const LogicalInput &input, ResultList &rows) {
  switch (kind) {
  case 1:
    CheckProductionRules(input, rows);
    break;
  case 2:
    CheckNoticeRules(input, rows);
    break;
  default:
    CheckClaimsRules(input, rows);
    break;
  }
}

} // namespace verdalia
