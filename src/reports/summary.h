#pragma once

#include <string>
#include <vector>

#include "common/result.h"

namespace verdalia {

// The rows of a list that share their field and message: how many there are and the first
// record they name. Texts in Windows-1252.
struct FindingGroup {
  std::string field;
  std::string message;
  Severity severity = Severity::Error;
  int rows = 0;
  int first_record = 0; // the record of the group's first row in the list
};

// A list read at a glance: its errors and warnings, and its rows grouped by field and
// message, the groups in the order their first rows come in the list.
struct ListSummary {
  int errors = 0;
  int warnings = 0;
  std::vector<FindingGroup> groups;
};

ListSummary Summarize(const ResultList &rows);

} // namespace verdalia
