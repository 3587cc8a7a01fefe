#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace verdalia {

// What stands in a group's message for a number that differs between its rows.
inline constexpr std::string_view kNumberPlaceholder = "#";

// The rows of a list that share their field and their message once its numbers are set
// aside: "Error. Informa 19.18, y debe ser 14.76" and "Error. Informa 3.5, y debe ser 2" are
// one kind of finding.
struct FindingGroup {
  Cp1252Text field;
  // The message of the group's first row, each number that is not the same in every row of
  // the group shown as kNumberPlaceholder ("Error. Informa #, y debe ser #"); a number the
  // rows share ("registro tipo 1") stays.
  Cp1252Text message;
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

// A list's texts each taken once, and each row's place among them: what a window needs to
// filter, sort and group hundreds of thousands of rows without looking at their texts again.
// The views point into the list's texts, so the index lives no longer than the list.
struct ListIndex {
  std::vector<Cp1252View> fields;   // the distinct field names, in order of coming
  std::vector<Cp1252View> messages; // the distinct messages, in order of coming
  std::vector<std::uint32_t> field_of_row;
  std::vector<std::uint32_t> message_of_row;
  std::vector<std::uint32_t> group_of_row; // into summary.groups
  ListSummary summary;
};

ListIndex IndexList(const ResultList &rows);

} // namespace verdalia
