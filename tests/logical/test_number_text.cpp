#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "logical/number_text.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

const NumberFormat kPoint{"."};
const NumberFormat kComma{","};

TEST(RoundToCents, AddsHalfACentAndCutsOff) {
  struct Case {
    double amount;
    double cents;
  };
  const Case cases[] = {
      {300, 300},    {246.9, 246.9},  {0.004, 0},      {0.005, 0.01}, {1.234, 1.23},
      {1.235, 1.24}, {-1.234, -1.23}, {-1.236, -1.24}, {2.675, 2.68}, {1e15 + 0.5, 1e15 + 0.5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.amount);
    EXPECT_EQ(RoundToCents(c.amount), c.cents);
  }
  // Each step rounds in double precision, not in decimal: 1.015 + 0.005 times 100 is
  // 101.99999999999999 and 0.285 + 0.005 times 100 is 28.999999999999996.
  EXPECT_EQ(RoundToCents(1.015), 1.01);
  EXPECT_EQ(RoundToCents(0.285), 0.28);
}

TEST(PlainNumberText, WritesTheShortestTextOfFifteenDigits) {
  struct Case {
    double amount;
    const char *text;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {300, "300"},
      {300.05, "300.05"},
      {310, "310"},
      {300.1, "300.1"},
      {246.9, "246.9"},
      {-5.5, "-5.5"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {12.345678901234567, "12.3456789012346"},
      {0.0001, "0.0001"},
      {0.00012, "0.00012"},
      {0.00001, "1E-05"},
      {1e-7, "1E-07"},
      {1.5e-7, "1.5E-07"},
      {-1e-7, "-1E-07"},
      {5.6789e-12, "5.6789E-12"},
      {2.5e-10, "2.5E-10"},
      {1e-100, "1E-100"},
      {99999999999999.9, "99999999999999.9"},
      {999999999999999.0, "999999999999999"},
      {999999999999999.4, "999999999999999"},
      {999999999999999.6, "1E+15"},
      {1e15, "1E+15"},
      {1.234e16, "1.234E+16"},
      {3.2767e18, "3.2767E+18"},
      {123456789012.34, "123456789012.34"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PlainNumberText(c.amount, kPoint), c.text);
  }
}

TEST(PlainNumberText, UsesTheSessionSeparatorOnly) {
  EXPECT_EQ(PlainNumberText(310.5, kComma), "310,5");
  EXPECT_EQ(PlainNumberText(310, kComma), "310");
  EXPECT_EQ(PlainNumberText(1.5e-7, kComma), "1,5E-07");
  EXPECT_EQ(PlainNumberText(0.25, NumberFormat{"<>"}), "0<>25");
}

TEST(TwoDecimalText, RoundsHalfAwayFromZeroOnFifteenDigits) {
  struct Case {
    double amount;
    const char *text;
  };
  const Case cases[] = {
      {0, "0.00"},
      {-0.0, "0.00"},
      {35, "35.00"},
      {40, "40.00"},
      {0.5, "0.50"},
      {1.005, "1.01"}, // 1.00499999999999989... written with 15 digits is 1.005
      {2.675, "2.68"},
      {1.004, "1.00"},
      {0.004, "0.00"},
      {0.005, "0.01"},
      {0.0049999, "0.00"},
      {0.000001, "0.00"},
      {9.995, "10.00"},
      {99.999, "100.00"},
      {-1.005, "-1.01"},
      {-35.5, "-35.50"},
      {-0.001, "-0.00"},
      {1234567890.126, "1234567890.13"},
      {123456789012.345, "123456789012.35"},
      {1e15, "1000000000000000.00"},
      {1.234e20, "123400000000000000000.00"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TwoDecimalText(c.amount, kPoint), c.text);
  }
  EXPECT_EQ(TwoDecimalText(40, kComma), "40,00");
  EXPECT_EQ(TwoDecimalText(0.015, kComma), "0,02");
}

// Switches LC_NUMERIC to a locale whose decimal point is a comma, compiling one into a
// temporary folder when none is installed.
bool UseCommaLocale(const testing::TempDir &dir) {
  for (const char *name : {"es_CL.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      return true;
    }
  }
  const std::string folder = dir.path().string();
  const std::string command =
      "localedef -i es_CL -f UTF-8 '" + folder + "/es_CL.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    return false;
  }
  ::setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "es_CL.UTF-8") != nullptr;
}

TEST(NumberTexts, IgnoreTheProcessLocale) {
  // The presenters call setlocale(LC_ALL, ""); a locale whose decimal point is a comma must
  // not leak into texts that asked for a point.
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  const testing::TempDir dir;
  if (!UseCommaLocale(dir)) {
    GTEST_SKIP() << "no locale with a decimal comma is available";
  }
  EXPECT_EQ(LocaleDecimalSeparator(), ",");
  EXPECT_EQ(PlainNumberText(310.5, kPoint), "310.5");
  EXPECT_EQ(TwoDecimalText(40, kPoint), "40.00");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberTexts, LocaleSeparatorOfTheCLocaleIsAPoint) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(LocaleDecimalSeparator(), ".");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
} // namespace verdalia
