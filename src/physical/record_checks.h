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
// What a detail record's fields carry to later fields of the same record: the information
// type (TIPO_INFORMACION), which decides whether the endorsement dates are checked, and the
// check digit the latest "RUT" field calls for.
struct DetailState {
  std::string_view information;
  ExpectedCheckDigit expected;
};

// The number a detail record's "SI_ES:" rule compares, with the field's decimals implied
// where its type has them ("D").
double NumericValue(const PreparedField &field, std::string_view text);

// One field of a detail record, as the record's walk checks it: `text` is the field's
// characters as cut from the line.
void CheckDetailField(const PreparedField &field, std::string_view text, DetailState &state,
                      int record, ResultList &rows);

void CheckControlRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                        ResultList &rows);

} // namespace verdalia
