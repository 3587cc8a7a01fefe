#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "physical/check_digits.h"
#include "physical/line_scan.h"
#include "physical/prepared_field.h"
#include "physical/value_lists.h"

namespace verdalia {

struct DetailState;

// The detail checks of one record type, laid out once for lines of the kind's length.
//
// Most of what the checks ask of a field is the class of its characters: digits in a
// number, a date or an identity number, the 42 characters of a text, blanks in a filler.
// The plan gives every column of the line the class its fields require, and one pass over
// the line tests them all, many bytes at a time (line_scan.h); a value list that is one set
// of bytes per column is such a class too. The same pass marks the columns that hold blanks,
// zeros, or the bytes of a value a "SI_ES:" rule forbids, and a field that must not be all
// of them (an obligatory text, "SI_ES:0", "SI_ES:BLANCO", ...) is tested on those marks
// together with every other such field, with a few word operations. What remains (other
// value lists, dates, check digits) is tested kind by kind. A record that passes all this lists nothing,
// which is what nearly every record of a file does.
//
// A record that does not takes the ordered walk: each field's quick test either accepts it
// or hands it to the field's full check, in Sec order; and a record with a character out of
// class gets the full check of every field. Either way the rows are those of
// CheckDetailRecord, in its order.
class RecordPlan {
public:
  // What a run keeps from record to record for its plans: a copy of the line with room to
  // read whole words past its end, and the marks of its columns.
  class Scratch {
    friend class RecordPlan;
    std::vector<char> m_bytes;
    std::vector<std::uint64_t> m_marks;
  };

  // `fields` must outlive the plan; `scan` makes its pass over each line.
  RecordPlan(const std::vector<PreparedField> &fields, std::size_t line_length, LineScan scan);

  // The detail check of one record; a line of another length gets the full check. True
  // when the record passed the plan's own tests and no field of it was checked on its own.
  bool Check(std::string_view line, int record, Scratch &scratch, ResultList &rows) const;

private:
  // What a field's step tests of it; a field whose step does not pass gets its full check.
  enum class Test : std::uint8_t {
    Never,           // the field always gets its full check
    Always,          // nothing to test beyond the classes (TIPO_INFORMACION is noted)
    NotAllZeros,     // "SI_ES:0" of a number: not every digit "0"
    NotValue,        // "SI_ES:" of another number: not the one text of that value
    InList,          // a number's value list, or the endorsement type's
    Date,            // a valid date, and not "00000000" under "SI_ES:00000000"
    EndorsementDate, // an endorsement date of an endorsement record
    Rut,             // notes the check digit; not all zeros under "SI_ES:0"
    CheckDigit,      // the check digit the latest "RUT" field calls for
    Text,            // the value rule of a text field
  };
  struct Step {
    Test test = Test::Never;
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
    std::uint32_t set = 0;          // Test::InList, Text: index in m_sets
  };

  // The columns of a field, 0-based.
  struct Columns {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
  };
  // Marks a field must not hold in every column.
  enum Mark : std::uint8_t { kBlankMark, kZeroMark, kValueMark };
  struct Range {
    Columns columns;
    Mark mark;
  };
  // Ranges that neither overlap nor touch, 64 columns to a word: a run of marks that fills
  // a range is found by adding 1 at its first column, which carries past its last.
  struct RangeWord {
    std::uint64_t marks[3] = {}; // the columns of the ranges, by the mark they look at
    std::uint64_t first = 0;     // the first column of each range
    std::uint64_t after = 0;     // the column after each range
  };
  struct RangeGroup {
    std::uint32_t first_word = 0;
    std::vector<RangeWord> words;
  };
  // A list tested whole: a field's word is listed when it is the one its hash points to in
  // m_list_tables (hashed), or else found in m_sets[set].
  struct ListTest {
    std::uint32_t start = 0;
    std::uint64_t mask = 0;
    std::uint32_t set = 0;
    bool hashed = false;
    ListHash hash;
  };
  struct DateTest {
    std::uint32_t start;
    bool forbids_zero_date;
  };
  // A field read with the latest field before it of another kind: an endorsement date with
  // the information type, a check digit with its identity number.
  struct PairTest {
    Columns field;
    Columns earlier;
    bool has_earlier;
  };
  // A check digit with the weights of its identity number's digits, when it has up to 16.
  struct DigitTest {
    PairTest pair;
    bool weighted;
    alignas(16) std::int16_t weights[16];
  };

  void AddStep(const PreparedField &field, std::uint32_t index);
  static bool Trimmed(const PreparedField &field);
  static Columns ColumnsOf(const Step &step);
  void Require(const Step &step, std::uint8_t classes);
  void ForbidAll(const Step &step, Mark mark);
  void ForbidValue(const Step &step, const std::string &text);
  Test PlanList(const ValueRule &rule, Step &step, bool trimmed);
  void PlanNumber(const PreparedField &field, Step &step);
  void PlanDate(const PreparedField &field, Step &step);
  void PlanText(const PreparedField &field, Step &step);
  void GroupRanges();
  void BatchCheckDigits();
  bool Quiet(const char *bytes, const std::uint64_t *marks) const;
  bool Accepts(const Step &step, const char *bytes, DetailState &state) const;
  bool TextAccepts(const Step &step, const char *bytes) const;

  const std::vector<PreparedField> &m_fields;
  std::size_t m_line_length;
  LineScan m_scan;
  // The class each column requires, as the bits of the classes that satisfy it; the line
  // rounded up to whole words of columns, and a word past it, which require nothing.
  std::vector<std::uint8_t> m_classes;
  ColumnLists m_column_lists; // the value lists the line's pass tests
  std::vector<char> m_values; // by column, the bytes "SI_ES:" rules forbid
  std::vector<bool> m_valued; // the columns m_values sets
  std::size_t m_words = 0;    // words of column marks
  std::vector<Step> m_steps;
  std::vector<std::vector<std::uint64_t>> m_sets; // sorted packed values of the lists

  // The tests of a record that lists nothing; none when a field needs its full check.
  bool m_quiet_tests = true;
  std::vector<Range> m_ranges;
  std::vector<RangeGroup> m_groups;
  std::vector<ListTest> m_lists;
  std::vector<std::uint64_t> m_list_tables;
  std::vector<DateTest> m_dates;
  std::vector<PairTest> m_endorsement_dates;
  std::vector<DigitTest> m_check_digits;
  std::vector<CheckDigitBatch> m_digit_batches;
  Columns m_information; // the latest TIPO_INFORMACION so far, while the plan is made
  Columns m_rut;         // the latest "RUT" field so far
  bool m_has_information = false;
  bool m_has_rut = false;
};

} // namespace verdalia
