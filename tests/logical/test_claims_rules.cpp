#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logical/logical_fixtures.h"

namespace verdalia {
namespace {

using testing::Claim;
using testing::ClaimDetail;
using testing::Framed;
using testing::kClaimsLength;
using testing::RunRules;
using testing::Texts;

std::string C(void (*change)(Claim &) = nullptr) { return testing::LineOf(Claim{}, change); }
std::string D(void (*change)(ClaimDetail &) = nullptr) {
  return testing::LineOf(ClaimDetail{}, change);
}

struct Case {
  const char *name;
  std::vector<std::string> details;
  std::vector<std::string> rows;
};

void Check(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Texts(RunRules(Verifica_LogicaS, Framed(c.details, kClaimsLength))), c.rows);
  }
}

std::string At(int record, const char *row) {
  return std::to_string(record) + row;
}

const char *const kNoDetail = "|NUMERO_SINIESTRO + NUMERO_POLIZA|Error. Registro tipo 2 no "
                              "tiene asociado un registro tipo 3.";
const char *const kNoClaim = "|NUMERO_SINIESTRO + NUMERO_POLIZA|Error. Registro tipo 3 no tiene "
                             "asociado un registro tipo 2.";
const char *const kDuplicate =
    "|NUMERO_SINIESTRO + NUMERO_POLIZA|Error. Número siniestro repetido  para igual item.";
const char *const kOccurrence =
    "|FECHA_OCURRENCIA|Error. Fecha Ocurrencia mayor a Fecha Declaración del siniestro.";

TEST(ClaimsRules, PartnersAndEarlyEnds) {
  Check({
      {"a claim and its detail", {C(), D()}, {}},
      {"a claim at record 2 without detail ends the rule set at once",
       {C([](Claim &c) { c.siniestro = "SIN000000000002"; }), C(), D(),
        C([](Claim &c) { c.ocurrencia = "20990101"; })},
       {At(2, kNoDetail)}},
      {"a claim without detail further down ends after the rows before it",
       {C([](Claim &c) { c.ocurrencia = "20990101"; }), D(),
        C([](Claim &c) { c.siniestro = "SIN000000000002"; }),
        C([](Claim &c) { c.ocurrencia = "20990101"; })},
       {At(2, kOccurrence), At(4, kNoDetail)}},
      {"a detail before its claim finds it", {D(), C()}, {}},
      {"a detail without claim ends the rule set",
       {C(), D(), D([](ClaimDetail &d) { d.siniestro = "SIN000000000002"; }),
        C([](Claim &c) { c.ocurrencia = "20990101"; })},
       {At(4, kNoClaim)}},
      {"claim keys are compared untrimmed",
       {C([](Claim &c) { c.siniestro = "1              "; }),
        D([](ClaimDetail &d) { d.siniestro = "000000000000001"; })},
       {At(2, kNoDetail)}},
      {"the policy number is part of the key",
       {C(), D([](ClaimDetail &d) { d.poliza = "POL000000000002"; })},
       {At(2, kNoDetail)}},
      {"the first claim of the key gives the resolution",
       {C([](Claim &c) { c.resolucion = "R"; }), C(), D()},
       {"4|TIPO_PERDIDA|Error. Informa Tipo de Pérdida en siniestro rechazado.",
        "4|TIPO_INDEMNIZACION|Error:  TIPO_INDEMNIZACION informada no es válido para "
        "Siniestro rechazado."}},
  });
}

TEST(ClaimsRules, DuplicateDetails) {
  Check({
      {"three details of one claim and item give rows at the first two",
       {C(), D(), D(), D()},
       {At(3, kDuplicate), At(4, kDuplicate)}},
      {"other items are no duplicates", {C(), D(), D([](ClaimDetail &d) { d.item = "0002"; })}, {}},
      {"a detail of another claim in between",
       {C(), C([](Claim &c) { c.siniestro = "SIN000000000002"; }), D(),
        D([](ClaimDetail &d) { d.siniestro = "SIN000000000002"; }), D()},
       {At(4, kDuplicate)}},
  });
}

TEST(ClaimsRules, ClaimDatesAndExpenses) {
  const char *const kNoReport = "2|FECHA_INFORME|Error. No informa fecha de informe.";
  const char *const kReportBefore = "2|FECHA_INFORME|Error. Fecha Informe Liquidación menor a "
                                    "Fecha Declaración del siniestro.";
  const char *const kNoExpenses = "2|GASTOS_SINIESTRO|Advertencia. No informa gastos de siniestro.";
  Check({
      {"occurrence equal to declaration",
       {C([](Claim &c) { c.ocurrencia = c.declaracion; }), D()},
       {}},
      {"occurrence a day after declaration",
       {C([](Claim &c) { c.ocurrencia = "20240211"; }), D()},
       {At(2, kOccurrence)}},
      {"report of zeros", {C([](Claim &c) { c.informe = "00000000"; }), D()}, {kNoReport}},
      {"blank report", {C([](Claim &c) { c.informe = "        "; }), D()}, {kNoReport}},
      {"report before declaration",
       {C([](Claim &c) { c.informe = "20240209"; }), D()},
       {kReportBefore}},
      {"report on the declaration day", {C([](Claim &c) { c.informe = c.declaracion; }), D()}, {}},
      {"expenses of zeros", {C([](Claim &c) { c.gastos = "00000000000000"; }), D()}, {kNoExpenses}},
      {"expenses that are no number",
       {C([](Claim &c) { c.gastos = "ABC00000000000"; }), D()},
       {kNoExpenses}},
      {"negative expenses", {C([](Claim &c) { c.gastos = "-0000000001000"; }), D()}, {kNoExpenses}},
      {"expenses of one cent", {C([](Claim &c) { c.gastos = "00000000000001"; }), D()}, {}},
  });
}

TEST(ClaimsRules, ClaimCauses) {
  struct CauseCase {
    const char *causes;
    const char *row; // nullptr: none
  };
  const CauseCase cases[] = {
      {"111111", "Error. Informa 6 Causas de Siniestro."},
      {"110000", "Error. Informa sequía agrícola y lluvia excesiva/extemporánea simultáneamente."},
      {"000000", "Error. No informa Causa del Siniestro."},
      {"101000", "Advertencia. Informa sequía agrícola y helada simultáneamente."},
      {"100100", "Advertencia. Informa sequía agrícola y granizo simultáneamente."},
      {"100010", "Advertencia. Informa sequía agrícola y nieve simultáneamente."},
      {"100000", nullptr},
      {"110100", nullptr},
      {"1A0000", nullptr},
      {"      ", nullptr},
  };
  for (const CauseCase &c : cases) {
    SCOPED_TRACE(c.causes);
    Claim claim;
    claim.causas = c.causes;
    const auto rows = Texts(RunRules(Verifica_LogicaS, Framed({claim.Line(), D()}, kClaimsLength)));
    std::vector<std::string> expected;
    if (c.row) {
      expected.push_back(std::string("2|CAUSA_SINIESTRO|") + c.row);
    }
    EXPECT_EQ(rows, expected);
  }
}

TEST(ClaimsRules, DetailsAgainstTheResolution) {
  struct ResolutionCase {
    const char *name;
    const char *resolution;
    const char *loss_type;
    const char *indemnity;
    const char *indemnity_type;
    const char *production;
    std::vector<std::string> rows;
  };
  const std::string loss_rejected = "3|TIPO_PERDIDA|Error. Informa Tipo de Pérdida en siniestro "
                                    "rechazado.";
  const std::string no_loss_accepted =
      "3|TIPO_PERDIDA|Error. No informa Tipo de Pérdida en siniestro aceptado.";
  const std::string negative = "3|INDEMNIZACION|Error. Informa Indemnización menor que cero.";
  const std::string type_rejected = "3|TIPO_INDEMNIZACION|Error:  TIPO_INDEMNIZACION informada no "
                                    "es válido para Siniestro rechazado.";
  const std::string type_accepted = "3|TIPO_INDEMNIZACION|Error:  TIPO_INDEMNIZACION informada no "
                                    "es válido para Siniestro Aceptado.";
  const std::string indemnity_rejected =
      "3|INDEMNIZACION|Error: Indemnización debe ser cero para siniestro rechazado.";
  const std::string production_rejected =
      "3|PRODUCCION_REAL|Error. Informa Producción Agrícola en siniestro rechazado.";
  const std::string production_total =
      "3|PRODUCCION_REAL|Error. Informa Producción Agrícola en siniestro con pérdida total.";
  const char *const zero = "00000000000000";
  const char *const some = "00000000100000";
  const char *const minus = "-0000000000005";
  const ResolutionCase cases[] = {
      {"rejected, all none", "R", "X", zero, "X", "0000000000", {}},
      {"rejected, total loss with production",
       "R",
       "T",
       zero,
       "X",
       "0000000005",
       {loss_rejected, production_rejected, production_total}},
      {"rejected with an indemnity", "R", "X", some, "X", "0000000000", {indemnity_rejected}},
      {"rejected with an indemnity type", "R", "X", some, "M", "0000000000", {type_rejected}},
      {"accepted without loss type", "A", "X", some, "M", "0000000000", {no_loss_accepted}},
      {"accepted, negative indemnity", "A", "P", minus, "C", "0000000000", {negative}},
      {"accepted without indemnity type", "A", "P", some, "X", "0000000000", {type_accepted}},
      {"accepted, total loss with production",
       "A",
       "T",
       some,
       "M",
       "0000000003",
       {production_total}},
      {"third code: negative indemnity only", "E", "X", minus, "Q", "0000000007", {negative}},
      {"third code: total loss production only",
       "E",
       "T",
       zero,
       "Q",
       "0000000007",
       {production_total}},
      {"any other code: total loss production only",
       "Z",
       "T",
       minus,
       "Q",
       "0000000007",
       {production_total}},
      {"any other code, no total loss", "Z", "Q", minus, "Q", "0000000007", {}},
  };
  for (const ResolutionCase &c : cases) {
    SCOPED_TRACE(c.name);
    Claim claim;
    claim.resolucion = c.resolution;
    ClaimDetail detail;
    detail.tipo_perdida = c.loss_type;
    detail.indemnizacion = c.indemnity;
    detail.tipo_indemnizacion = c.indemnity_type;
    detail.produccion = c.production;
    EXPECT_EQ(
        Texts(RunRules(Verifica_LogicaS, Framed({claim.Line(), detail.Line()}, kClaimsLength))),
        c.rows);
  }
}

} // namespace
} // namespace verdalia
