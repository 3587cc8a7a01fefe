#include "reports/summary.h"

#include <map>
#include <utility>

namespace verdalia {

ListSummary Summarize(const ResultList &rows) {
  ListSummary summary;
  // A list of tens of thousands of rows repeats a few dozen fields and messages.
  std::map<std::pair<std::string_view, std::string_view>, std::size_t> group_of;
  for (const ResultRow &row : rows) {
    const Severity severity = row.severity();
    ++(severity == Severity::Warning ? summary.warnings : summary.errors);
    const auto [at, added] = group_of.try_emplace({row.field, row.message}, summary.groups.size());
    if (added) {
      summary.groups.push_back(
          {std::string(row.field), std::string(row.message), severity, 0, row.record});
    }
    ++summary.groups[at->second].rows;
  }
  return summary;
}

} // namespace verdalia
