#pragma once

#include <string_view>
#include <vector>

#include "common/result.h"
#include "physical/prepared_field.h"

namespace verdalia {

// The three record checks. Each walks the definitions of its record type in Sec order and
// appends its findings; they look alike but differ in rules and wording, so each keeps its
// own walk.
void CheckHeaderRecord(const std::vector<PreparedField> &fields, std::string_view Linea, int NroReg,
                       ResultList &rows, SummaryLabels &fisica, SummaryLabels &logica);
void CheckDetailRecord(const std::vector<PreparedField> &fields, std::string_view Linea, int NroReg,
                       ResultList &rows);
void CheckControlRecord(const std::vector<PreparedField> &fields, std::string_view Linea,
                        int NroReg, ResultList &rows);

} // namespace verdalia
