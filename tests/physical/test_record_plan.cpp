// The plan of a record type must list exactly what the field-by-field detail check lists, for
// any definitions and any line, whichever line scan it makes its pass with. The corpus shows
// the rules one by one; this compares the two ways on random layouts (every type of the type
// table and rule keyword, lower-case codes, special names, fields that overlap, leave gaps
// or reach past the line) and random lines built mostly of values their fields accept, so
// that the plan's quick tests meet both answers; each test runs with every scan this
// processor runs.
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "physical/check_digits.h"
#include "physical/field_types.h"
#include "physical/line_scan.h"
#include "physical/prepared_field.h"
#include "physical/record_checks.h"
#include "physical/record_plan.h"
#include "support/printers.h"

namespace verdalia {

// A failing test names its scan.
void PrintTo(const LineScan &scan, std::ostream *out) {
  *out << scan.name;
}

namespace {

// Every code of the type table, one it lacks and codes in lower case.
std::vector<std::string> Types() {
  std::vector<std::string> types;
  for (int type = 0; type < static_cast<int>(FieldType::Other); ++type) {
    types.emplace_back(FactsOf(static_cast<FieldType>(type)).code);
  }
  types.insert(types.end(), {"X", "n", "t"});
  return types;
}
const std::vector<std::string> kTypes = Types();
const std::vector<std::string> kNames = {"CAMPO",
                                         "TIPO_INFORMACION",
                                         "FECHA_VIGENCIA_INICIAL",
                                         "FECHA_POLIZA_ENDOSO",
                                         "NUMERO_ENDOSO",
                                         "FECHA_VIGENCIA_ENDOSO",
                                         "TIPO_ENDOSO",
                                         "tipo_informacion"};
const std::vector<const char *> kRules = {nullptr,
                                          "",
                                          "SI_ES:0",
                                          "SI_ES:00000000",
                                          "SI_ES:7",
                                          "SI_ES:1.5",
                                          "SI_ES:12",
                                          "SI_ES:BLANCO",
                                          "SI_ES:BLANCOoCero",
                                          "SI_NO_ES:0o1",
                                          "A#B#",
                                          "1#2#3#",
                                          "00#10#20#",
                                          "AB#CD#",
                                          "  #C #CA#",
                                          "P#E#",
                                          "SI_ES:-3",
                                          "SI_ES:0.05",
                                          "SI_ES:1e1",
                                          "123456789012#9#",
                                          "SI_ES:123456789"};
// Characters of the faults: mostly what the fields accept.
const std::string kAlphabet = "0000111223456789  ABCEPXZ#\"-@<>a.\xD1";

class RandomLayouts {
public:
  explicit RandomLayouts(unsigned seed) : m_random(seed) {}

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
  template <typename T> const T &Pick(const std::vector<T> &items) {
    return items[static_cast<std::size_t>(Between(0, static_cast<int>(items.size()) - 1))];
  }

  std::vector<PreparedField> Fields(int line_length) {
    std::vector<PreparedField> fields;
    int start = 1;
    // Few fields now and then, so that whole records pass every quick test.
    const int count = Between(1, Between(0, 1) == 0 ? 4 : 24);
    for (int i = 0; i < count; ++i) {
      FieldDefinition def;
      def.name = Between(0, 3) == 0 ? Pick(kNames) : "CAMPO";
      def.type = def.name.starts_with("FECHA") && Between(0, 3) != 0 ? "FE" : Pick(kTypes);
      def.length = def.type == "FE" ? Between(7, 9) : Between(0, Between(0, 3) == 0 ? 70 : 10);
      def.length = def.type == "RUT" ? 9 : def.type == "DV" ? Between(0, 2) : def.length;
      // Mostly one after the other; now and then back over the field before, or on past.
      def.start = Between(0, 6) == 0 ? std::max(1, start - Between(0, 3)) : start;
      def.start = Between(0, 20) == 0 ? line_length - Between(-2, 3) : def.start;
      def.start = Between(0, 5) == 0 ? Between(1, line_length) : def.start;
      if (def.name == "TIPO_INFORMACION" && Between(0, 1) == 0) {
        def.type = "T";
        def.length = 1;
        def.valid_values = "P#E#";
      }
      start = def.start + def.length;
      def.decimals = Between(0, 3);
      def.obligatory = Between(0, 1) == 0 ? "S" : Between(0, 1) == 0 ? "s" : "N";
      if (const char *rule = Pick(kRules); rule && !def.valid_values) {
        def.valid_values = rule;
      }
      def.message = "E" + std::to_string(i);
      fields.push_back(PrepareField(def));
    }
    return fields;
  }

  // A line whose fields hold values of their kind, mostly, with a fault now and then.
  std::string Line(const std::vector<PreparedField> &fields, int line_length) {
    std::string line(static_cast<std::size_t>(line_length), ' ');
    for (const PreparedField &field : fields) {
      std::string value = Value(field);
      value.resize(field.length, Between(0, 1) == 0 ? ' ' : '0');
      for (std::size_t k = 0; k < value.size() && field.start - 1 + k < line.size(); ++k) {
        line[field.start - 1 + k] = value[k];
      }
    }
    for (int faults = Between(0, 3) == 0 ? Between(1, 2) : 0; faults > 0; --faults) {
      line[static_cast<std::size_t>(Between(0, line_length - 1))] = Pick(m_characters);
    }
    return line;
  }

private:
  std::string Value(const PreparedField &field) {
    static const std::vector<std::string> kDates = {"20240229", "00000000",  "20230229", "19000229",
                                                    "        ", " 20240101", "18991231", "25001231",
                                                    "25010101", "20241301"};
    static const std::vector<std::string> kTexts = {
        "A",   "B", "AB", "CD", "P",  "E",  "C ", "CA", "1",  "0",  "01",
        "000", "X", "",   " ",  "10", "00", "20", "AD", "CB", "A ", "123456789012"};
    static const std::vector<std::string> kInformation = {"E", "N", "P"};
    if (field.special == SpecialName::InformationType) {
      return Pick(kInformation);
    }
    std::string digits;
    switch (field.check) {
    case FieldCheck::Number:
    case FieldCheck::IdentityNumber:
      if (Between(0, 2) == 0) {
        return Pick(kTexts);
      }
      if (Between(0, 2) == 0) {
        // The values "SI_ES:" rules forbid, written to the field's width.
        static const std::vector<std::string> kForbidden = {"7", "12", "150", "5"};
        digits = Pick(kForbidden);
        return std::string(field.length - std::min(field.length, digits.size()), '0') + digits;
      }
      for (std::size_t k = 0; k < field.length; ++k) {
        digits += Between(0, 1) == 0 ? '0' : static_cast<char>('0' + Between(0, 9));
      }
      return digits;
    case FieldCheck::Date:
      return Pick(kDates);
    case FieldCheck::CheckDigit:
      return std::string(1, "0123456789K"[Between(0, 10)]);
    case FieldCheck::Filler:
      return "";
    case FieldCheck::Text:
    case FieldCheck::None:
      break;
    }
    return Between(0, 2) == 0 ? std::string(1, Pick(m_characters)) : Pick(kTexts);
  }

  std::mt19937 m_random;
  std::vector<char> m_characters{kAlphabet.begin(), kAlphabet.end()};
};

class RecordPlanTest : public testing::TestWithParam<LineScan> {
protected:
  LineScan Scan() const { return GetParam(); }
};

TEST_P(RecordPlanTest, ListsWhatTheFieldByFieldCheckLists) {
  RandomLayouts random(20240131);
  RecordPlan::Scratch scratch;
  int planned_rows = 0;
  for (int layout = 0; layout < 4000; ++layout) {
    const int line_length = random.Between(1, random.Between(0, 1) == 0 ? 40 : 160);
    const std::vector<PreparedField> fields = random.Fields(line_length);
    const RecordPlan plan(fields, static_cast<std::size_t>(line_length), Scan());
    for (int n = 0; n < 40; ++n) {
      const std::string line = random.Line(fields, line_length);
      ResultList expected;
      CheckDetailRecord(fields, line, 7, expected);
      ResultList rows;
      plan.Check(line, 7, scratch, rows);
      ASSERT_EQ(rows, expected) << "layout " << layout << ", line \"" << line << "\"";
      planned_rows += static_cast<int>(rows.size());
    }
  }
  EXPECT_GT(planned_rows, 0);
}

// Layouts the random ones seldom make: two fields over the same columns forbidding different
// values or listing different ones, each read for its own.
TEST_P(RecordPlanTest, FieldsOverTheSameColumnsAreTestedEachForItsOwn) {
  auto field = [](const char *type, int start, int length, const char *rule) {
    FieldDefinition def;
    def.name = "CAMPO";
    def.type = type;
    def.start = start;
    def.length = length;
    def.valid_values = rule;
    def.message = std::string(type) + rule;
    return PrepareField(def);
  };
  const std::vector<std::vector<PreparedField>> layouts = {
      {field("N", 1, 2, "SI_ES:7"), field("N", 1, 2, "SI_ES:12"),
       field("T", 3, 1, "SI_ES:BLANCOoCero")},
      {field("N", 1, 2, "00#10#20#"), field("N", 2, 1, "0#5#"), field("T", 3, 1, "A#B#"),
       field("N", 4, 1, "1#2#3#"), field("N", 4, 1, "2#4#")},
      {field("T", 1, 2, "AB#CD#"), field("N", 3, 2, "12#34#")}};
  RecordPlan::Scratch scratch;
  for (const std::vector<PreparedField> &fields : layouts) {
    const RecordPlan plan(fields, 4, Scan());
    for (const char *line : {"07X2", "12X2", "13X2", "1202", "12 2", "20A2", "20A1", "20A4", "25A2",
                             "15B2", "20 2", "30B2", "AB12", "AD12", "CD14", "CB34"}) {
      ResultList expected;
      CheckDetailRecord(fields, line, 2, expected);
      ResultList rows;
      plan.Check(line, 2, scratch, rows);
      EXPECT_EQ(rows, expected) << line;
    }
  }
}

// Many identity numbers with their check digits, mostly right, so that whole records pass
// the quick tests that take the check digits several at a time, and each wrong one is seen;
// numbers of up to 16 digits are weighted 16 at a time, longer ones are not.
TEST_P(RecordPlanTest, EveryCheckDigitOfARecordIsTestedForItsOwnNumber) {
  std::mt19937 random(3);
  for (const int width : {9, 1, 16, 17}) {
    for (const int pairs : {1, 4, 5, 8, 9, 13}) {
      std::vector<PreparedField> fields;
      for (int p = 0; p < pairs; ++p) {
        for (const char *type : {"RUT", "DV"}) {
          FieldDefinition def;
          def.name = "CAMPO";
          def.type = type;
          def.start = 1 + (width + 1) * p + (type[0] == 'D' ? width : 0);
          def.length = type[0] == 'D' ? 1 : width;
          def.message = std::string(type) + std::to_string(p);
          fields.push_back(PrepareField(def));
        }
      }
      const auto length = static_cast<std::size_t>((width + 1) * pairs);
      const RecordPlan plan(fields, length, Scan());
      RecordPlan::Scratch scratch;
      for (int n = 0; n < 1000; ++n) {
        std::string line;
        for (int p = 0; p < pairs; ++p) {
          std::string number;
          for (int k = 0; k < width; ++k) {
            number.push_back(static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10)));
          }
          const char right = CheckDigitOfDigits(number);
          // About one wrong digit in four records, whatever their number of pairs.
          const bool wrong = random() % (4 * static_cast<unsigned>(pairs)) == 0;
          line += number + (wrong ? "0123456789K"[random() % 11] : right);
        }
        ResultList expected;
        CheckDetailRecord(fields, line, 2, expected);
        ResultList rows;
        plan.Check(line, 2, scratch, rows);
        ASSERT_EQ(rows, expected) << line;
      }
    }
  }
}

// What the plan is for: a record whose fields accept it passes the plan's own tests, with no
// field checked on its own; the boundaries of dates, every lane of the check digits taken
// several at a time and fields that must not be all zeros or blanks included.
TEST_P(RecordPlanTest, ARecordItsFieldsAcceptPassesThePlanAlone) {
  std::vector<PreparedField> fields;
  auto add = [&fields](const char *type, int start, int length, const char *rule,
                       const char *obligatory) {
    FieldDefinition def;
    def.name = "CAMPO";
    def.type = type;
    def.start = start;
    def.length = length;
    def.valid_values = rule;
    def.obligatory = obligatory;
    def.message = type;
    fields.push_back(PrepareField(def));
  };
  add("N", 1, 3, "SI_ES:0", "N");
  add("FE", 4, 8, "", "N");
  add("T", 12, 5, "", "S");
  constexpr int kPairs = 10;
  for (int p = 0; p < kPairs; ++p) {
    add("RUT", 17 + 10 * p, 9, "", "N");
    add("DV", 26 + 10 * p, 1, "", "N");
  }
  add("FIL", 17 + 10 * kPairs, 4, "", "N");
  const std::size_t length = 16 + 10 * kPairs + 4;
  const RecordPlan plan(fields, length, Scan());
  RecordPlan::Scratch scratch;
  std::mt19937 random(5);
  const char *numbers[] = {"007", "700", "100", "010", "999"};
  int n = 0;
  for (const char *date : {"19000101", "25001231", "20240229", "20231130", "00000000"}) {
    std::string line = std::string(numbers[n++]) + date + "A B  ";
    for (int p = 0; p < kPairs; ++p) {
      std::string number;
      for (int k = 0; k < 9; ++k) {
        number.push_back(static_cast<char>('0' + random() % 10));
      }
      line += number + CheckDigitOfDigits(number);
    }
    line += "    ";
    ASSERT_EQ(line.size(), length);
    ResultList rows;
    EXPECT_TRUE(plan.Check(line, 2, scratch, rows)) << line;
    EXPECT_TRUE(rows.empty()) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryScan, RecordPlanTest, testing::ValuesIn(UsableLineScans()),
                         [](const testing::TestParamInfo<LineScan> &scan) {
                           return std::string(scan.param.name);
                         });

} // namespace
} // namespace verdalia
