#include <string>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "physical/field_checks.h"

namespace verdalia {
namespace {

struct PredicateCase {
  std::string text;
  bool expected;
};

TEST(CaracteresValidos, AllowsOnlyCapitalsDigitsAndFewSigns) {
  const PredicateCase cases[] = {
      {"FUNDO EL ROBLE 12", true},
      {"", true},
      {"\"", true},
      {"@<>- ", true},
      {"Fundo", false},
      {Cp1252("Ñ"), false},
      {"A.B", false},
      {Cp1252("É"), false},
      {"A,B", false},
      {"A/B", false},
      {"#", false},
      {"A\tB", false},
  };
  for (const PredicateCase &c : cases) {
    SCOPED_TRACE("text \"" + Windows1252ToUtf8(c.text) + "\"");
    EXPECT_EQ(CaracteresValidos("CAMPO", c.text), c.expected);
    // Name fields get no wider set of characters.
    EXPECT_EQ(CaracteresValidos("NOMBRE_ASEGURADO", c.text), c.expected);
  }
}

TEST(EsNumero, AcceptsDigitsOnlyAndTheEmptyText) {
  const PredicateCase cases[] = {{"", true},    {"0012", true}, {" 12", false},
                                 {"-1", false}, {"1.5", false}, {"12 ", false}};
  for (const PredicateCase &c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(EsNumero(c.text), c.expected);
  }
}

TEST(EsBinario, AcceptsZerosAndOnesButNotTheEmptyText) {
  const PredicateCase cases[] = {
      {"", false}, {"0110", true}, {"0", true}, {"012", false}, {" 1", false}};
  for (const PredicateCase &c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(EsBinario(c.text), c.expected);
  }
}

struct DateCase {
  std::string text;
  bool expected;
  std::string after; // the caller's text after the call
};

TEST(EsFecha, JudgesEightDigitDatesAndTrimsTheCallersText) {
  const DateCase cases[] = {
      {"00000000", true, "00000000"},   {"20240229", true, "20240229"},
      {"20230229", false, "20230229"},  {"21000229", true, "21000229"}, // no century exception
      {"19000229", true, "19000229"},   {"18991231", false, "18991231"},
      {"25001231", true, "25001231"},   {"25010101", false, "25010101"},
      {"20241301", false, "20241301"},  {"20240001", false, "20240001"},
      {"20240100", false, "20240100"},  {"20240431", false, "20240431"},
      {"20240430", true, "20240430"},   {"20240131", true, "20240131"},
      {"2024 101", false, "2024 101"},  {" 20240101", true, "20240101"},
      {" 2024010 ", false, "2024010"},  {"        ", false, ""},
      {" 00000000", false, "00000000"}, // trimmed first: the zero date is exact only
      {"2024-1-1", false, "2024-1-1"},
  };
  for (const DateCase &c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(IsDateText(c.text), c.expected);
    std::string text = c.text;
    EXPECT_EQ(EsFecha(text), c.expected);
    EXPECT_EQ(text, c.after);
  }
}

struct CheckDigitCase {
  std::string rut;
  std::string digit;
};

TEST(DigVerRUT, GivesTheModulusElevenDigit) {
  const CheckDigitCase cases[] = {
      {"11111111", "1"},
      {"12345678", "5"},
      {"0", "0"},
      {"", "0"},
      {"000", "0"},
      {"ABC", "0"},
      {"6", "K"},
      {"14", "0"},
      {"1234567A", "K"}, // a letter counts 0
      {"  12345678 ", "5"},
      // Long enough that a 16-bit sum would overflow: 1200 nines sum to 48600.
      {std::string(1200, '9'), "9"},
  };
  for (const CheckDigitCase &c : cases) {
    SCOPED_TRACE("rut \"" + c.rut.substr(0, 20) + "\"");
    EXPECT_EQ(std::string(1, CheckDigitOf(c.rut)), c.digit);
    std::string rut = c.rut;
    EXPECT_EQ(DigVerRUT(rut), c.digit);
    EXPECT_EQ(rut, c.rut == "  12345678 " ? "12345678" : c.rut);
  }
}

} // namespace
} // namespace verdalia
