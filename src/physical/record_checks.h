#pragma once

#include <string_view>
#include <vector>

#include "common/result.h"
#include "physical/prepared_field.h"

namespace verdalia {

// The three record checks. Each walks the definitions of its record type in Sec order and
// appends its findings; they look alike but differ in rules and wording, so each keeps its
// own walk.
// The header also names the file: its insurer's identity number and name go to `labels`.
void CheckHeaderRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                       ResultList &rows, HeaderLabels &labels);
void CheckDetailRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                       ResultList &rows);
void CheckControlRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                        ResultList &rows);

} // namespace verdalia
