#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "engine/session.h"
#include "logical/logical_fixtures.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::BlankLine;
using testing::ClaimNotice;
using testing::Item;
using testing::kNoticeLength;
using testing::kProductionLength;
using testing::Policy;
using testing::Put;
using testing::TempDir;
using testing::Texts;

constexpr const char *kReference =
    "INSERT INTO TipoArchivo VALUES (1,'P',400),(2,'D',100),(3,'S',120);"
    "INSERT INTO COMUNA VALUES ('01101');"
    "INSERT INTO CULTIVO VALUES ('000101');";

std::string FileOf(const std::vector<std::string> &lines) {
  std::string bytes;
  for (const std::string &line : lines) {
    bytes += line + "\r\n";
  }
  return bytes;
}

// A production header with the company's identity number, check digit and name.
std::string ProductionHeader() {
  std::string header = BlankLine('1', kProductionLength);
  Put(header, 2, "202401");
  Put(header, 10, "  7654321");
  Put(header, 19, "K");
  Put(header, 20, Cp1252("  AGRÍCOLA ÑUBLE LTDA"));
  return header;
}

std::string Control(char type, std::size_t length) {
  return BlankLine(type, length);
}

// A production file whose policy record gets two rows (coverage level and dates).
std::vector<std::string> ProductionWithFindings() {
  Policy policy;
  policy.nivel = "000";
  policy.fin = policy.inicio;
  return {ProductionHeader(), policy.Line(), Item().Line(), Control('4', kProductionLength)};
}

class LogicalRun : public ::testing::Test {
protected:
  LogicalRun() : session(testing::LoadFromSql(kReference)) {}

  RunOutcome Run(const std::string &name) { return session.RunLogical(dir.path().string(), name); }

  TempDir dir;
  Session session;
};

TEST_F(LogicalRun, FillsTheLabelsFromTheHeaderAndTheFileName) {
  dir.Write("P202403.txt", FileOf(ProductionWithFindings()));
  const RunOutcome outcome = Run("P202403.txt");
  ASSERT_FALSE(outcome.refused);
  EXPECT_EQ(outcome.notice.title, "Verificar");
  EXPECT_EQ(Windows1252ToUtf8(outcome.notice.text), "Verificación Lógica finalizada");
  EXPECT_EQ(outcome.tab_shown, 2);
  for (const SummaryLabels *labels :
       {&session.lblValidacionFisica(), &session.lblValidacionLogica()}) {
    EXPECT_EQ((*labels)[0], "PRODUCCION VERDALIA");
    EXPECT_EQ((*labels)[1], "7654321-K");
    EXPECT_EQ(Windows1252ToUtf8((*labels)[2]), "AGRÍCOLA ÑUBLE LTDA");
    EXPECT_EQ((*labels)[3], "202403"); // from the name, not from the header
  }
  EXPECT_EQ(Texts(session.LogicalList()),
            (std::vector<std::string>{
                "2|NIVEL_COBERTURA|Error. Nivel de Cobertura fuera de rango",
                "2|FECHA_VIGENCIA_INICIAL|Error. Fecha vigencia inicial mayor a fecha vigencia "
                "final"}));
}

TEST_F(LogicalRun, RunningTwiceGivesTheSameList) {
  dir.Write("P202401.txt", FileOf(ProductionWithFindings()));
  Run("P202401.txt");
  const ResultList first = session.LogicalList();
  Run("P202401.txt");
  EXPECT_EQ(session.LogicalList(), first);
  EXPECT_EQ(first.size(), 2u);
}

TEST_F(LogicalRun, ReadsTheFileAsItIsNow) {
  dir.Write("P202401.txt", FileOf(ProductionWithFindings()));
  Run("P202401.txt");
  EXPECT_EQ(session.LogicalList().size(), 2u);
  dir.Write("P202401.txt", FileOf({ProductionHeader(), Policy().Line(), Item().Line(),
                                   Control('4', kProductionLength)}));
  Run("P202401.txt");
  EXPECT_TRUE(session.LogicalList().empty());
}

TEST_F(LogicalRun, HeaderAndControlOnlyGiveAnEmptyList) {
  dir.Write("p202401.txt", FileOf({ProductionHeader(), Control('4', kProductionLength)}));
  const RunOutcome outcome = Run("p202401.txt");
  EXPECT_FALSE(outcome.refused);
  EXPECT_TRUE(session.LogicalList().empty());
  EXPECT_EQ(session.lblValidacionLogica()[0], "PRODUCCION VERDALIA");
}

TEST_F(LogicalRun, HandsEachKindToItsRuleSet) {
  std::string notice_header = BlankLine('1', kNoticeLength);
  dir.Write("D202401.txt", FileOf({notice_header, ClaimNotice().Line(), ClaimNotice().Line(),
                                   Control('3', kNoticeLength)}));
  Run("D202401.txt");
  EXPECT_EQ(Texts(session.LogicalList()),
            (std::vector<std::string>{"2|NUMERO_SINIESTRO+NUMERO_POLIZA|Error. Número de "
                                      "siniestro repetido en el archivo."}));
  EXPECT_EQ(session.lblValidacionFisica()[0], "DENUNCIAS DE SINIESTROS VERDALIA");
  // A blank identity: the dash and the blank check digit, which is not trimmed.
  EXPECT_EQ(session.lblValidacionFisica()[1], "- ");

  dir.Write("S202401.txt",
            FileOf({BlankLine('1', 120), testing::Claim().Line(), Control('4', 120)}));
  Run("S202401.txt");
  EXPECT_EQ(Texts(session.LogicalList()),
            (std::vector<std::string>{"2|NUMERO_SINIESTRO + NUMERO_POLIZA|Error. Registro tipo 2 "
                                      "no tiene asociado un registro tipo 3."}));
  EXPECT_EQ(Windows1252ToUtf8(session.lblValidacionLogica()[0]),
            "INFORMACIÓN DE SINIESTROS VERDALIA");
}

TEST_F(LogicalRun, WritesAmountsWithTheSessionSeparator) {
  Policy endorsement;
  endorsement.tipo = "E";
  endorsement.endoso = "00000000001";
  endorsement.monto = "0100000";
  endorsement.prima_neta = "004000";
  Item item;
  item.endoso = endorsement.endoso;
  dir.Write("P202401.txt", FileOf({ProductionHeader(), endorsement.Line(), item.Line(),
                                   Control('4', kProductionLength)}));
  session.SetNumbers(NumberFormat{","});
  Run("P202401.txt");
  EXPECT_EQ(Texts(session.LogicalList()),
            (std::vector<std::string>{"2|PRIMA_NETA|Error. Error en el cálculo de la Prima Neta, "
                                      "informa 40,00, y debe ser 35,00"}));
}

TEST_F(LogicalRun, RefusesWithoutTouchingTheList) {
  dir.Write("P202401.txt", FileOf(ProductionWithFindings()));
  Run("P202401.txt");
  const ResultList before = session.LogicalList();
  ASSERT_EQ(before.size(), 2u);

  struct Refusal {
    const char *name;
    const char *file_name;
    std::string bytes; // empty: no file written
    const char *title;
    std::string text; // UTF-8; a prefix when `prefix_only`
    bool prefix_only;
  };
  std::vector<std::string> short_last = ProductionWithFindings();
  short_last.back() = "4   short";
  const std::string folder = dir.path().string();
  const Refusal refusals[] = {
      {"a name beginning with X", "X202401.txt", FileOf(ProductionWithFindings()), "ERROR",
       "Los archivos posibles comienzan con P, D o S", false},
      {"a wrong length in the last line", "P202402.txt", FileOf(short_last), "Atención",
       "El archivo PRODUCCION VERDALIA en la fila 4 tiene un largo de fila incorrecto(9), debe "
       "ser 400.",
       false},
      {"a file that is gone", "P202404.txt", "", "Atención",
       "No se puede leer el archivo " + folder + "/P202404.txt: ", true},
      {"an emptied file", "P202405.txt", "", "Atención",
       "El archivo PRODUCCION VERDALIA " + folder +
           "/P202405.txt está vacío; no se puede "
           "validar.",
       false},
  };
  dir.Write("P202405.txt", "");
  for (const Refusal &r : refusals) {
    SCOPED_TRACE(r.name);
    if (!r.bytes.empty()) {
      dir.Write(r.file_name, r.bytes);
    }
    const RunOutcome outcome = Run(r.file_name);
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(outcome.notice.icon, Notice::Icon::Critical);
    EXPECT_EQ(Windows1252ToUtf8(outcome.notice.title), r.title);
    const std::string text = Windows1252ToUtf8(outcome.notice.text);
    if (r.prefix_only) {
      EXPECT_EQ(text.substr(0, r.text.size()), r.text);
    } else {
      EXPECT_EQ(text, r.text);
    }
    EXPECT_EQ(session.LogicalList(), before);
    EXPECT_EQ(session.lblValidacionLogica()[0], "PRODUCCION VERDALIA");
    EXPECT_EQ(session.lblValidacionLogica()[1], "7654321-K");
  }
}

TEST(LogicalRunLimits, RefusesAFileThatHasGrownPastTheRecordLimit) {
  Session session(testing::LoadFromSql("INSERT INTO TipoArchivo VALUES (2,'D',1);"));
  TempDir dir;
  std::string bytes = "1\r\n";
  for (int k = 0; k < 32765; ++k) {
    bytes += "2\r\n";
  }
  dir.Write("D202401.txt", bytes + "3\r\n");
  EXPECT_FALSE(session.RunLogical(dir.path().string(), "D202401.txt").refused);
  dir.Write("D202401.txt", bytes + "2\r\n3\r\n");
  const RunOutcome outcome = session.RunLogical(dir.path().string(), "D202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_NE(Windows1252ToUtf8(outcome.notice.text).find("más de 32767 filas"), std::string::npos);
}

} // namespace
} // namespace verdalia
