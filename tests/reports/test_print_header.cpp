#include "reports/print_header.h"

#include <gtest/gtest.h>

#include "common/windows1252.h"

namespace verdalia {
namespace {

HeaderRun Text(const std::string &utf8, bool bold = false) {
  return HeaderRun{Cp1252Text(Cp1252(utf8)), bold, false};
}

TEST(PrintHeaderLines, SixLinesWithTheValuesAsTheyStand) {
  // A name may hold what would read as header codes elsewhere: it prints as it is.
  const PrintHeaderInputs inputs = {Cp1252Text(VerificationName(ListKind::Logical)),
                                    Cp1252Text(Cp1252("INFORMACIÓN DE SINIESTROS VERDALIA")),
                                    Cp1252Text("96543210-K"),
                                    Cp1252Text(Cp1252("SEGUROS S/A /n/p/fb1/c")),
                                    Cp1252Text("202401"),
                                    Cp1252Text("07/02/2024")};
  const std::vector<HeaderLine> expected = {
      {{}, {Text("Resultado validación Lógica")}, {}},
      {{}, {Text("INFORMACIÓN DE SINIESTROS VERDALIA", true)}, {}},
      {{Text("RUT: 96543210-K")}, {}, {Text("Página:"), HeaderRun{{}, false, true}}},
      {{Text("Razón Social: SEGUROS S/A /n/p/fb1/c")}, {}, {Text("Fecha:07/02/2024")}},
      {{Text("Período: 202401")}, {}, {}},
      {{}, {}, {}},
  };
  EXPECT_EQ(PrintHeaderLines(inputs), expected);
  EXPECT_EQ(VerificationName(ListKind::Physical).bytes(), Cp1252("Física"));
}

TEST(PrintDateText, TwoDigitDayAndMonthFourDigitYearWithTheSeparator) {
  EXPECT_EQ(PrintDateText(2024, 3, 5, "/"), "05/03/2024");
  EXPECT_EQ(PrintDateText(2024, 12, 31, "-"), "31-12-2024");
  EXPECT_EQ(PrintDateText(987, 10, 10, "."), "10.10.0987");
}

} // namespace
} // namespace verdalia
