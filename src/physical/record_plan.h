#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "physical/prepared_field.h"

namespace verdalia {

struct DetailState;

// The detail checks of one record type, laid out once for lines of the kind's length.
//
// Most of what the checks ask of a field is the class of its characters: digits in a
// number, a date or an identity number, the 42 characters of a text, blanks in a filler.
// The plan gives every column of the line the class its fields require, and one pass over
// the line tests them all, many bytes at a time. A record that passes then needs only the
// steps the classes do not decide (value lists, "SI_ES:" values, dates, check digits, blank
// texts), each a quick test on the field's bytes that either accepts the field or hands it
// to the field's full check. A record with a character out of class takes the full check of
// every field. Either way the rows are those of CheckDetailRecord, in its order.
class RecordPlan {
public:
  // `fields` must outlive the plan.
  RecordPlan(const std::vector<PreparedField> &fields, std::size_t line_length);

  // The room Check needs in `scratch`, which a run keeps from record to record.
  std::size_t ScratchSize() const { return m_classes.size(); }

  // The detail check of one record; a line of another length gets the full check.
  void Check(std::string_view line, int record, std::vector<char> &scratch, ResultList &rows) const;

private:
  enum class Test : std::uint8_t;
  struct Step {
    Test test;
    bool sets_information = false;  // the field is TIPO_INFORMACION
    std::uint8_t text_rule = 0;     // Test::Text: the value rule that applies
    bool obligatory = false;        // Test::Text
    bool forbids_zero = false;      // Test::Rut: "SI_ES:0"
    bool forbids_zero_date = false; // Test::Date: "SI_ES:00000000"
    std::uint32_t field = 0;        // index in the fields
    std::uint32_t start = 0;        // 0-based column
    std::uint32_t length = 0;       // the field's characters in the line
    std::uint64_t mask = 0;         // the first `length` bytes of a word, up to 8
    std::uint64_t value = 0;        // Test::NotValue: the one text the rule forbids
    std::uint32_t set = 0;          // Test::InList, InTrimmedList, Text: index in m_sets
  };

  void AddStep(const PreparedField &field, std::uint32_t index);
  bool Accepts(const Step &step, const char *bytes, DetailState &state) const;
  bool TextAccepts(const Step &step, const char *bytes) const;

  const std::vector<PreparedField> &m_fields;
  std::size_t m_line_length;
  // The class each column requires, as the bits of the classes that satisfy it; the line
  // rounded up to whole blocks of bytes, and a word past it, which require nothing.
  std::vector<std::uint8_t> m_classes;
  std::vector<Step> m_steps;
  std::vector<std::vector<std::uint64_t>> m_sets; // sorted packed values of the lists
};

} // namespace verdalia
