#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logical/logical_fixtures.h"

namespace verdalia {
namespace {

using testing::Framed;
using testing::Item;
using testing::kProductionLength;
using testing::Policy;
using testing::Put;
using testing::RunRules;
using testing::Texts;

// A new policy (P) or an endorsement (E, number 1) and their items; `change` adjusts the
// defaults. The endorsement's net premium 17.50 is its fixed premium 10.00 plus 2.5 % of
// the insured amount 300.00.
std::string P(void (*change)(Policy &) = nullptr) { return testing::LineOf(Policy{}, change); }
std::string E(void (*change)(Policy &) = nullptr) {
  Policy policy;
  policy.tipo = "E";
  policy.endoso = "00000000001";
  policy.prima_neta = "001750";
  return testing::LineOf(policy, change);
}
std::string I(void (*change)(Item &) = nullptr) { return testing::LineOf(Item{}, change); }
std::string EI(void (*change)(Item &) = nullptr) {
  Item item;
  item.endoso = "00000000001";
  return testing::LineOf(item, change);
}

struct Case {
  const char *name;
  std::vector<std::string> details;
  std::vector<std::string> rows;
};

void Check(const std::vector<Case> &cases, const NumberFormat &numbers = {}) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Texts(RunRules(Verifica_LogicaP, Framed(c.details, kProductionLength), numbers)),
              c.rows);
  }
}

const char *const kNoItems =
    "|NUMERO_POLIZA + NUMERO_ENDOSO|Error. Registro tipo 2 no tiene asociado un registro tipo 3";
const char *const kNoPolicy =
    "|NUMERO_POLIZA|Error. Registro tipo 3 no tiene asociado un registro tipo 2.";
const char *const kRepeated =
    "|NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM + TIPO_ENDOSO |Error. Registro repetido";
const char *const kRepeatedNew =
    "|NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM|Error. Registro repetido para nuevo ítem.";
const char *const kRepeatedEndorsement =
    "|NUMERO_POLIZA + NUMERO_ITEM|Error. Registro repetido para endoso.";
const char *const kCoverage = "2|NIVEL_COBERTURA|Error. Nivel de Cobertura fuera de rango";

std::string At(int record, const char *row) {
  return std::to_string(record) + row;
}

TEST(ProductionRules, PartnersAndEarlyEnds) {
  std::string header_as_item = I();
  header_as_item[0] = '3';
  Check({
      {"a policy followed by its item", {P(), I()}, {}},
      {"an item may stand before its policy when another follows it",
       {I([](Item &i) { i.item = "0002"; }), P(), I()},
       {}},
      {"a policy whose only item stands before it ends the rule set",
       {I(), P(), P([](Policy &p) { p.nivel = "000"; })},
       {At(3, kNoItems)}},
      {"the endorsement number must match as well",
       {P(), I([](Item &i) { i.endoso = "00000000001"; })},
       {At(2, kNoItems)}},
      {"an item without policy ends the rule set after the rows before it",
       {P([](Policy &p) { p.nivel = "000"; }), I(),
        I([](Item &i) { i.poliza = "POL000000000002"; }), P([](Policy &p) { p.nivel = "000"; })},
       {kCoverage, At(4, kNoPolicy)}},
      {"policy numbers are compared untrimmed",
       {P([](Policy &p) { p.poliza = "POL1           "; }),
        I([](Item &i) { i.poliza = "           POL1"; })},
       {At(2, kNoItems)}},
      {"a repeated item of a new policy ends the rule set at the earlier item",
       {P([](Policy &p) { p.monto = "0060000"; }), I(), I(), P([](Policy &p) { p.nivel = "000"; })},
       {At(4, kRepeated), At(3, kRepeatedNew)}},
      {"an endorsement item repeated character for character ends the rule set",
       {E(), EI(), EI(), E([](Policy &p) { p.nivel = "000"; }), EI()},
       {At(4, kRepeated), At(3, kRepeatedEndorsement)}},
      {"endorsement items that differ in one blank are not repeated",
       {E(), EI(), EI([](Item &i) { i.cantidad_a = "0000100 "; })},
       {At(4, kRepeated)}},
      {"the first policy of the key decides: neither P nor E repeats nothing",
       {P([](Policy &p) { p.tipo = "X"; }), P([](Policy &p) { p.monto = "0090000"; }), I(),
        I([](Item &i) { i.cantidad_a = "00002000"; })},
       {At(5, kRepeated), At(5, kRepeated)}},
      {"the header and the control record are never walked", {}, {}},
  });

  // Whatever their first character, the first and the last line are not detail records.
  std::vector<std::string> lines = {I(), P([](Policy &p) { p.nivel = "000"; })};
  EXPECT_TRUE(RunRules(Verifica_LogicaP, lines).empty());
}

TEST(ProductionRules, RepeatedItemsCompareNeighboursOnly) {
  Check({
      {"items 0001, 0002, 0001",
       {E(), EI(), EI([](Item &i) { i.item = "0002"; }),
        EI([](Item &i) { i.cantidad_b = "0001000"; })},
       {}},
      {"items 0001, 0001 give one row at the second",
       {E(), EI(), EI([](Item &i) { i.cantidad_b = "0001000"; })},
       {At(4, kRepeated)}},
      {"the endorsement type is part of the item key",
       {E(), EI([](Item &i) { i.tipo_endoso = "A "; }), EI()},
       {}},
      {"items before the policy do not count",
       {EI(), E(), EI([](Item &i) { i.cantidad_b = "0001000"; })},
       {}},
      {"an item of another policy in between does not separate the pair",
       {E(), E([](Policy &p) { p.poliza = "POL000000000002"; }), EI(),
        EI([](Item &i) { i.poliza = "POL000000000002"; }),
        EI([](Item &i) { i.cantidad_b = "0001000"; })},
       {At(6, kRepeated)}},
      {"the first equal pair only",
       {E(), EI(), EI([](Item &i) { i.cantidad_b = "0001000"; }),
        EI([](Item &i) { i.cantidad_b = "0003000"; })},
       {At(4, kRepeated)}},
  });
}

TEST(ProductionRules, FieldValidity) {
  Check({
      {"coverage 1.00 passes", {P([](Policy &p) { p.nivel = "100"; }), I()}, {}},
      {"coverage 0.01 passes", {P([](Policy &p) { p.nivel = "001"; }), I()}, {}},
      {"coverage 0.00", {P([](Policy &p) { p.nivel = "000"; }), I()}, {kCoverage}},
      {"coverage 1.01", {P([](Policy &p) { p.nivel = "101"; }), I()}, {kCoverage}},
      {"coverage of letters", {P([](Policy &p) { p.nivel = "ABC"; }), I()}, {kCoverage}},
      {"commune not in the list",
       {P([](Policy &p) { p.comuna = "00102"; }), I()},
       {"2|COD_COMUNA|Error. Código de Comuna informado no es válido de acuerdo a NS vigente."}},
      {"commune with a leading blank",
       {P([](Policy &p) { p.comuna = " 1101"; }), I()},
       {"2|COD_COMUNA|Error. Código de Comuna informado no es válido de acuerdo a NS vigente."}},
      {"crop not in the list",
       {P([](Policy &p) { p.cultivo = "000999"; }), I()},
       {"2|COD_CULTIVO|Error. Código de cultivo informado no es válido."}},
      {"same identity, names differing in case",
       {P([](Policy &p) {
          p.rut_contratante = p.rut_asegurado;
          p.contratante = "Agricola Uno";
          p.asegurado = "AGRICOLA UNO";
        }),
        I()},
       {"2|RUT_ASEGURADO + VER_ASEGURADO y RUT_CONTRATANTE + VER CONTRATANTE|Error. Informa "
        "igual RUT para Asegurado y Contratante, pero con diferente nombre o razón social"}},
      {"same identity, same name",
       {P([](Policy &p) {
          p.rut_contratante = p.rut_asegurado;
          p.contratante = p.asegurado;
        }),
        I()},
       {}},
      {"different identities, different names", {P(), I()}, {}},
  });

  // The lookup is a plain text search: a code followed by the bar anywhere in the list.
  const CodeList longer_codes("1001101\xA6"
                              "9000101\xA6");
  EXPECT_TRUE(RunRules(Verifica_LogicaP, Framed({P(), I()}, kProductionLength), {}, longer_codes,
                       longer_codes)
                  .empty());
}

TEST(ProductionRules, EndorsementNumbersAndFixedPremiums) {
  const char *const kFixedPremiumOf = "2|PRIMA_FIJA|Error. Informa prima fija para Endoso de tipo ";
  Check({
      {"a new policy with an endorsement number",
       {P([](Policy &p) { p.endoso = "00000000001"; }), EI()},
       {"2|NUMERO_ENDOSO|Error. Informa Número de Endoso para nueva Póliza."}},
      {"an endorsement without number",
       {E([](Policy &p) { p.endoso = "00000000000"; }), I()},
       {"2|NUMERO_ENDOSO|Error. No informa Número de Endoso."}},
      {"a new policy with fixed premium zero",
       {P([](Policy &p) { p.prima_fija = "000000"; }), I()},
       {"2|PRIMA_FIJA|Error. No informa prima fija para nueva Póliza."}},
      {"a new policy with a blank fixed premium",
       {P([](Policy &p) { p.prima_fija = "      "; }), I()},
       {"2|PRIMA_FIJA|Error. No informa prima fija para nueva Póliza."}},
      {"an endorsement without fixed premium and a later cancellation of the policy",
       {E([](Policy &p) {
          p.prima_fija = "000000";
          p.prima_neta = "000750";
        }),
        EI(), P(), I([](Item &i) { i.tipo_endoso = "C "; })},
       {"2|PRIMA_FIJA|Error. No informa prima fija para endoso de cancelación (sólo si "
        "TIPO_INFORMACION=E y TIPO_ENDOSO=C )."}},
      {"a cancellation before the endorsement does not count",
       {P(), I([](Item &i) { i.tipo_endoso = "C "; }), E([](Policy &p) {
          p.prima_fija = "000000";
          p.prima_neta = "000750";
        }),
        EI()},
       {}},
      {"a cancellation with the fixed premium informed",
       {E(), EI(), P(), I([](Item &i) { i.tipo_endoso = "C "; })},
       {}},
      {"endorsement type RE with a fixed premium",
       {E([](Policy &p) {
          p.prima_fija = "000100";
          p.prima_neta = "000850";
        }),
        EI([](Item &i) { i.tipo_endoso = "RE"; })},
       {std::string(kFixedPremiumOf) + "RE."}},
      {"endorsement type D keeps its blank",
       {E(), EI([](Item &i) { i.tipo_endoso = "D "; })},
       {std::string(kFixedPremiumOf) + "D ."}},
      {"the last later item gives the type",
       {E(), EI([](Item &i) { i.tipo_endoso = "  "; }), EI([](Item &i) {
          i.tipo_endoso = "CA";
          i.item = "0002";
        })},
       {std::string(kFixedPremiumOf) + "CA."}},
      {"an earlier item's type is overridden by the last one",
       {E(), EI([](Item &i) { i.tipo_endoso = "A "; }), EI([](Item &i) { i.item = "0002"; })},
       {}},
      {"a new policy is not judged by the type",
       {P(), I([](Item &i) { i.tipo_endoso = "RE"; })},
       {}},
  });
}

TEST(ProductionRules, InsuredAmountAndPremiums) {
  const char *const kWarning = "2|MONTO_ASEGURADO|Advertencia. Cálculo no es exacto. Monto "
                               "Asegurado debe ser ";
  const char *const kError = "2|MONTO_ASEGURADO|Error. En el cálculo del Monto Asegurado. Monto "
                             "Asegurado debe ser ";
  const char *const kNetPremium =
      "2|PRIMA_NETA|Error. Error en el cálculo de la Prima Neta, informa ";
  auto endorsement_of_1000 = [](const char *net_premium) {
    Policy policy;
    policy.tipo = "E";
    policy.endoso = "00000000001";
    policy.prima_fija = "001000";
    policy.monto = "0100000";
    policy.tasa = "0250";
    policy.prima_neta = net_premium;
    return policy.Line();
  };
  auto insured = [](const char *monto) {
    Policy policy;
    policy.monto = monto;
    return policy.Line();
  };
  Check({
      {"300.05 against 300 is close enough", {insured("0030005"), I()}, {}},
      {"310 against 300",
       {insured("0031000"), I()},
       {std::string(kWarning) + "300 e informa 310."}},
      {"320 against 300", {insured("0032000"), I()}, {std::string(kError) + "300 e informa 320."}},
      {"300.10 differs by a hair more than 0.1",
       {insured("0030010"), I()},
       {std::string(kWarning) + "300 e informa 300.1."}},
      {"285 is on the band's lower edge",
       {insured("0028500"), I()},
       {std::string(kWarning) + "300 e informa 285."}},
      {"284.99 is below it",
       {insured("0028499"), I()},
       {std::string(kError) + "300 e informa 284.99."}},
      {"315 is on the upper edge",
       {insured("0031500"), I()},
       {std::string(kWarning) + "300 e informa 315."}},
      {"a last item of type CA is not judged",
       {insured("0032000"), I(), I([](Item &i) {
          i.item = "0002";
          i.tipo_endoso = "CA";
        })},
       {}},
      {"quantities of all later items are summed",
       {insured("0032250"), I(), I([](Item &i) {
          i.item = "0002";
          i.cantidad_a = "00000500";
          i.cantidad_b = "0000300";
        })},
       {}},
      {"items before the policy are not summed",
       {I([](Item &i) { i.item = "0002"; }), insured("0030000"), I()},
       {}},
      {"a computed amount with cents",
       {P([](Policy &p) {
          p.factor = "0012345";
          p.monto = "0000000";
        }),
        I()},
       {std::string(kError) + "246.9 e informa 0."}},
      {"net premium 3.49 of a new policy",
       {P([](Policy &p) { p.prima_neta = "000349"; }), I()},
       {"2|PRIMA_NETA|Error. Prima Neta informada menor a prima mínima establecida en Normas de "
        "Suscripción."}},
      {"net premium 3.50 of a new policy",
       {P([](Policy &p) { p.prima_neta = "000350"; }), I()},
       {}},
      {"endorsement's net premium 40.00 against 35.00",
       {endorsement_of_1000("004000"), EI()},
       {std::string(kNetPremium) + "40.00, y debe ser 35.00"}},
      {"endorsement's net premium 36.75 is on the band's edge",
       {endorsement_of_1000("003675"), EI()},
       {}},
      {"endorsement's net premium 4.50 is not recomputed",
       {endorsement_of_1000("000450"), EI()},
       {}},
      {"an endorsement's low net premium is no minimum-premium error",
       {E([](Policy &p) { p.prima_neta = "000349"; }), EI()},
       {}},
  });

  const NumberFormat comma{","};
  Check({{"310.50 against 300 with a comma",
          {insured("0031050"), I()},
          {std::string(kWarning) + "300 e informa 310,5."}},
         {"net premium texts with a comma",
          {endorsement_of_1000("004000"), EI()},
          {std::string(kNetPremium) + "40,00, y debe ser 35,00"}}},
        comma);
}

TEST(ProductionRules, ValidityDates) {
  const char *const kDates =
      "2|FECHA_VIGENCIA_INICIAL|Error. Fecha vigencia inicial mayor a fecha vigencia final";
  auto dates = [](const char *from, const char *to) {
    Policy policy;
    policy.inicio = from;
    policy.fin = to;
    return policy.Line();
  };
  Check({
      {"start before end", {dates("20240101", "20241231"), I()}, {}},
      {"equal dates", {dates("20240101", "20240101"), I()}, {kDates}},
      {"start after end", {dates("20250101", "20241231"), I()}, {kDates}},
      {"zeros sort first", {dates("00000000", "20241231"), I()}, {}},
  });
}

TEST(ProductionRules, RowsOfOneRecordFollowTheRuleOrder) {
  const std::vector<std::string> details = {P([](Policy &p) {
                                              p.nivel = "000";
                                              p.comuna = "99999";
                                              p.cultivo = "999999";
                                              p.endoso = "00000000001";
                                              p.prima_fija = "000000";
                                              p.monto = "0090000";
                                              p.prima_neta = "000100";
                                              p.inicio = "20250101";
                                            }),
                                            EI(), EI()};
  const std::vector<std::string> expected = {
      "4|NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM + TIPO_ENDOSO |Error. Registro repetido",
      kCoverage,
      "2|COD_COMUNA|Error. Código de Comuna informado no es válido de acuerdo a NS vigente.",
      "2|COD_CULTIVO|Error. Código de cultivo informado no es válido.",
      "2|NUMERO_ENDOSO|Error. Informa Número de Endoso para nueva Póliza.",
      "2|PRIMA_FIJA|Error. No informa prima fija para nueva Póliza.",
      "2|MONTO_ASEGURADO|Error. En el cálculo del Monto Asegurado. Monto Asegurado debe ser 600 "
      "e informa 900.",
      "2|PRIMA_NETA|Error. Prima Neta informada menor a prima mínima establecida en Normas de "
      "Suscripción.",
      "2|FECHA_VIGENCIA_INICIAL|Error. Fecha vigencia inicial mayor a fecha vigencia final",
      "3|NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM|Error. Registro repetido para nuevo ítem."};
  EXPECT_EQ(Texts(RunRules(Verifica_LogicaP, Framed(details, kProductionLength))), expected);
}

} // namespace
} // namespace verdalia
