#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/text.h"
#include "common/windows1252.h"

namespace verdalia {
namespace {

struct NumberCase {
  const char *text;
  double value;
};

TEST(LeadingNumberValue, ReadsTheNumberATextBeginsWith) {
  const NumberCase cases[] = {
      {"", 0},
      {"abc", 0},
      {"x12", 0},
      {"12", 12},
      {"0012", 12},
      {"  12  ", 12},
      {"1 2 3", 123}, // blanks inside are skipped
      {"12A34", 12},  // reading stops at the first letter
      {"-5", -5},
      {"+5", 5},
      {" - 5", -5},
      {"--5", 0},
      {"1.5", 1.5},
      {"1.2.3", 1.2}, // a second point ends the number
      {".5", 0.5},
      {".", 0},
      {"-", 0},
      {"1E3", 1000},
      {"1e3", 1000},
      {"2E-2", 0.02},
      {"1E", 1}, // an exponent letter without digits is not read
      {"1E+", 1},
      {"1 E 2", 100},
      {"0123.45", 123.45},
      {"00000000000000", 0},
      {"12,5", 12}, // the comma is never a decimal point
      {"1E400", HUGE_VAL},
      {"1E-400", 0},
      {"1E00000001", 10}, // leading zeros of the exponent do not count toward its bound
      {"25E-00000003", 0.025},
      {"1E+0000000400", HUGE_VAL},
      {"7E000000000", 7},
  };
  for (const NumberCase &c : cases) {
    SCOPED_TRACE(std::string("text \"") + c.text + "\"");
    EXPECT_DOUBLE_EQ(LeadingNumberValue(c.text), c.value);
  }
}

TEST(LeadingNumberValue, DigitFieldsReadExactlyAsAFullConversion) {
  // Fields of digits with or without a point take a short road; it must land on the
  // same double as the general conversion, including where rounding matters.
  std::mt19937 random(7);
  const std::string alphabet = "0123456789";
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    const int length = 1 + static_cast<int>(random() % 20);
    for (int k = 0; k < length; ++k) {
      text.push_back(alphabet[random() % alphabet.size()]);
    }
    if (random() % 2) {
      text.insert(random() % (text.size() + 1), ".");
    }
    SCOPED_TRACE(text);
    const std::string with_blank = text + " ";
    EXPECT_EQ(LeadingNumberValue(text), std::strtod(text.c_str(), nullptr));
    EXPECT_EQ(LeadingNumberValue(with_blank), LeadingNumberValue(text));
  }
}

TEST(FixedPointValue, SplitsIntegerAndDecimalDigits) {
  EXPECT_DOUBLE_EQ(FixedPointValue("012345", 4, 2), 123.45);
  EXPECT_DOUBLE_EQ(FixedPointValue("095", 1, 2), 0.95);
  EXPECT_DOUBLE_EQ(FixedPointValue("001250", 4, 2), 12.50);
  EXPECT_DOUBLE_EQ(FixedPointValue("      ", 4, 2), 0);
  // A field cut short by the line's end: the pieces overlap as the text allows.
  EXPECT_DOUBLE_EQ(FixedPointValue("12", 4, 2), 12.12);
}

TEST(FixedPointValue, InALineAsOfTheFieldCutFromIt) {
  // Read in place, a field must give what the field cut from its line gives: near the
  // line's start and end, cut short, with blanks and signs, with every split of its digits.
  std::mt19937 random(11);
  const std::string alphabet = "0000123456789 -.A/";
  for (int n = 0; n < 50000; ++n) {
    std::string line(1 + random() % 16, '0');
    for (char &c : line) {
      c = random() % 4 == 0 ? alphabet[random() % alphabet.size()]
                            : static_cast<char>('0' + random() % 10);
    }
    const std::size_t start = random() % (line.size() + 2);
    const std::size_t length = random() % 10;
    const std::size_t integer_digits = random() % (length + 2);
    const std::size_t decimals = random() % (length + 2);
    SCOPED_TRACE(line + " at " + std::to_string(start) + " of " + std::to_string(length) + ", " +
                 std::to_string(integer_digits) + "." + std::to_string(decimals));
    EXPECT_EQ(FixedPointValueAt(line, start, length, integer_digits, decimals),
              FixedPointValue(Mid(line, start, length), integer_digits, decimals));
  }
}

TEST(Mid, ClipsToTheText) {
  EXPECT_EQ(Mid("ABCDEF", 2, 3), "BCD");
  EXPECT_EQ(Mid("ABCDEF", 5, 10), "EF");
  EXPECT_EQ(Mid("ABCDEF", 7, 1), "");
  EXPECT_EQ(Mid("ABCDEF", 0, 1), "");
  EXPECT_EQ(Trim("  A B  "), "A B");
  EXPECT_EQ(RightTrim("  A B  "), "  A B");
  EXPECT_EQ(Trim("\tA "), "\tA"); // only the blank is trimmed
}

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all.push_back(static_cast<char>(byte));
  }
  const std::string utf8 = Windows1252ToUtf8(all);
  EXPECT_EQ(Utf8ToWindows1252(utf8), all);
}

TEST(Windows1252, DecodesTheSystemsTexts) {
  EXPECT_EQ(Windows1252ToUtf8("\xD1"
                              "and\xFA"),
            "Ñandú");
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "€");
  EXPECT_EQ(Windows1252ToUtf8("\xA6"), "¦");
  EXPECT_EQ(Cp1252("Razón Social ¦"), "Raz\xF3n Social \xA6");
  EXPECT_EQ(Cp1252("中"), "?");                   // no byte for it
  EXPECT_EQ(Utf8ToWindows1252("\xF3k"), "\xF3k"); // not UTF-8: taken as bytes already
}

} // namespace
} // namespace verdalia
