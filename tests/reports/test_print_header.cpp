#include "reports/print_header.h"

#include <gtest/gtest.h>

#include "common/windows1252.h"

namespace verdalia {
namespace {

HeaderRun Text(const std::string &utf8, bool bold = false) {
  return HeaderRun{Cp1252(utf8), bold, false};
}
HeaderRun PageNumber(bool bold = false) {
  return HeaderRun{"", bold, true};
}

PrintHeaderInputs Inputs(ListKind kind) {
  return {VerificationName(kind),
          Cp1252("INFORMACIÓN DE SINIESTROS VERDALIA"),
          "96543210-K",
          Cp1252("COMPAÑÍA DE SEGUROS S/A"),
          "202401",
          "07/02/2024"};
}

TEST(PrintHeaderText, BothListsWriteTheSixLinesInCodes) {
  struct Case {
    const char *name;
    ListKind kind;
    const char *expected; // UTF-8
  };
  const Case cases[] = {
      {"physical", ListKind::Physical,
       "/cResultado validación Física/n/c/fb1INFORMACIÓN DE SINIESTROS VERDALIA/fb0/n"
       "/lRUT: 96543210-K/rPágina:/p/n/lRazón Social: COMPAÑÍA DE SEGUROS S/A"
       "/rFecha:07/02/2024/n/lPeríodo: 202401/n/n"},
      {"logical", ListKind::Logical,
       "/cResultado validación Lógica/n/c/fb1INFORMACIÓN DE SINIESTROS VERDALIA/fb0/n"
       "/lRUT: 96543210-K/rPágina:/p/n/lRazón Social: COMPAÑÍA DE SEGUROS S/A"
       "/rFecha:07/02/2024/n/lPeríodo: 202401/n/n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PrintHeaderText(Inputs(c.kind)), Cp1252(c.expected));
  }
}

TEST(PrintDateText, TwoDigitDayAndMonthFourDigitYearWithTheSeparator) {
  struct Case {
    int year, month, day;
    const char *separator;
    const char *expected;
  };
  const Case cases[] = {
      {2024, 3, 5, "/", "05/03/2024"},
      {2024, 12, 31, "-", "31-12-2024"},
      {2025, 1, 9, ".", "09.01.2025"},
      {987, 10, 10, "/", "10/10/0987"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(PrintDateText(c.year, c.month, c.day, c.separator), c.expected);
  }
}

TEST(ParseHeaderCodes, TheHeaderOfAListReadsAsSixLines) {
  const auto lines = ParseHeaderCodes(PrintHeaderText(Inputs(ListKind::Physical)));
  ASSERT_EQ(lines.size(), 6u);

  const std::vector<HeaderLine> expected = {
      {{}, {Text("Resultado validación Física")}, {}},
      {{}, {Text("INFORMACIÓN DE SINIESTROS VERDALIA", true)}, {}},
      {{Text("RUT: 96543210-K")}, {}, {Text("Página:"), PageNumber()}},
      {{Text("Razón Social: COMPAÑÍA DE SEGUROS S/A")}, {}, {Text("Fecha:07/02/2024")}},
      {{Text("Período: 202401")}, {}, {}},
      {{}, {}, {}},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    EXPECT_EQ(lines[i], expected[i]);
  }
}

TEST(ParseHeaderCodes, CodesAndPlainText) {
  struct Case {
    const char *name;
    const char *codes;
    std::vector<HeaderLine> expected;
  };
  const std::vector<Case> cases = {
      {"text before any alignment code is left-aligned", "abc", {{{Text("abc")}, {}, {}}}},
      {"text after the last line end makes one more line",
       "a/nb",
       {{{Text("a")}, {}, {}}, {{Text("b")}, {}, {}}}},
      {"a line end resets the alignment to the left",
       "/ra/nb",
       {{{}, {}, {Text("a")}}, {{Text("b")}, {}, {}}}},
      {"bold carries over a line end until it is turned off",
       "/fb1a/nb/fb0c",
       {{{Text("a", true)}, {}, {}}, {{Text("b", true), Text("c")}, {}, {}}}},
      {"the same alignment twice in a line adds to its part",
       "/cab/lx/ccd",
       {{{Text("x")}, {Text("abcd")}, {}}}},
      {"the page number keeps the weight in force", "/fb1/p/fb0", {{{PageNumber(true)}, {}, {}}}},
      {"slashes that start no code are printed",
       "S/A 1/2 //x/",
       {{{Text("S/A 1/2 //x/")}, {}, {}}}},
      {"an unknown font code is printed", "/fi1a", {{{Text("/fi1a")}, {}, {}}}},
      {"empty text gives no line", "", {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseHeaderCodes(c.codes), c.expected);
  }
}

} // namespace
} // namespace verdalia
