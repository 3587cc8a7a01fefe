#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "engine/session.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::LoadFromSql;
using testing::TempDir;

// Line lengths only, no field definitions: what a run reports here is the run's own
// structure and period rows.
constexpr const char *kLengthsOnly =
    "INSERT INTO TipoArchivo VALUES (1,'P',10),(2,'D',10),(3,'S',10);";

std::string Line(const std::string &start) { return start + std::string(10 - start.size(), ' '); }

std::string FileOf(const std::vector<std::string> &lines) {
  std::string bytes;
  for (const std::string &line : lines) {
    bytes += line + "\r\n";
  }
  return bytes;
}

std::vector<std::string> Rows(const ResultList &rows) {
  std::vector<std::string> out;
  for (const ResultRow &row : rows) {
    out.push_back(std::to_string(row.record) + "|" + row.field + "|" +
                  Windows1252ToUtf8(row.message));
  }
  return out;
}

struct StructureCase {
  const char *name;
  const char *file_name;
  std::vector<std::string> lines;
  std::vector<std::string> rows;
};

TEST(PhysicalRun, ReportsRecordTypesStructureAndPeriod) {
  const StructureCase cases[] = {
      {"well formed, header and control only", "P202401.txt",
       {Line("1202401"), Line("4")},
       {}},
      {"claim notice file ending in a 4", "D202401.txt",
       {Line("1202401"), Line("2"), Line("4")},
       {"3||Error.Tipo de registro no es válido. No se puede validar.",
        "3||Error.Archivo no contiene registro tipo 3.",
        "3||Error.Registro tipo 3 no es el último del archivo."}},
      {"two headers, the first at line 1", "P202401.txt",
       {Line("1202401"), Line("1202401"), Line("4")},
       {"1||Error.Existe más de un registro tipo 1 en el archivo."}},
      {"claims file ending in a detail record", "S202401.txt",
       {Line("1202401"), Line("2"), Line("3")},
       {"3||Error.Archivo no contiene registro tipo 4.",
        "3||Error.Registro tipo 4 no es el último del archivo."}},
      {"no header at all", "P202401.txt",
       {Line("2202401"), Line("4")},
       {"1||Error.Archivo no contiene registro tipo 1.",
        "1||Error.Registro tipo 1 no es el primero del archivo."}},
      {"header not first, two controls", "S202401.txt",
       {Line("4202401"), Line("1"), Line("4")},
       {"1||Error.Registro tipo 1 no es el primero del archivo.",
        "3||Error.Existe más de un registro tipo 4 en el archivo."}},
      {"period differs", "P202402.txt",
       {Line("1202401"), Line("4")},
       {"1|FECHA_CIERRE|Error.El período informado como parte del nombre del archivo no "
        "coincide con la fecha de cierre"}},
      {"lower-case letter is the same kind", "p202401.txt",
       {Line("1202401"), Line("3")},
       {"2||Error.Archivo no contiene registro tipo 4.",
        "2||Error.Registro tipo 4 no es el último del archivo."}},
      {"invalid types are each reported, in order", "D202401.txt",
       {Line("1202401"), Line("X"), Line("2"), Line(" "), Line("3")},
       {"2||Error.Tipo de registro no es válido. No se puede validar.",
        "4||Error.Tipo de registro no es válido. No se puede validar."}},
      {"empty file", "P202401.txt",
       {},
       {"1||Error.Archivo no contiene registro tipo 1.",
        "1||Error.Registro tipo 1 no es el primero del archivo.",
        "0||Error.Archivo no contiene registro tipo 4.",
        "0||Error.Registro tipo 4 no es el último del archivo."}},
      {"one line", "P202401.txt",
       {Line("1202401")},
       {"1||Error.Archivo no contiene registro tipo 4.",
        "1||Error.Registro tipo 4 no es el último del archivo."}},
  };
  const TempDir dir;
  for (const StructureCase &c : cases) {
    SCOPED_TRACE(c.name);
    Session session(LoadFromSql(kLengthsOnly));
    dir.Write(c.file_name, FileOf(c.lines));
    const RunOutcome outcome = session.RunPhysical(dir.path().string(), c.file_name);
    EXPECT_FALSE(outcome.refused);
    EXPECT_EQ(Rows(session.PhysicalList()), c.rows);
    EXPECT_EQ(outcome.logical_enabled, c.rows.empty());
    EXPECT_EQ(outcome.tab_shown, 1);
    EXPECT_EQ(outcome.notice.title, "Verificar");
    EXPECT_EQ(Windows1252ToUtf8(outcome.notice.text), "Verificación Física finalizada");
    EXPECT_EQ(outcome.notice.icon, Notice::Icon::Information);
    EXPECT_EQ(session.lblValidacionFisica()[3], std::string(c.file_name).substr(1, 6));
    EXPECT_EQ(session.lblValidacionLogica()[3], std::string(c.file_name).substr(1, 6));
  }
}

TEST(PhysicalRun, SetsTheTitleOfTheKindOnBothTabs) {
  const TempDir dir;
  Session session(LoadFromSql(kLengthsOnly));
  EXPECT_EQ(session.lblValidacionFisica()[0], "PRODUCCION VERDALIA");
  const struct {
    const char *name;
    const char *title;
  } kinds[] = {{"S202401.txt", "INFORMACIÓN DE SINIESTROS VERDALIA"},
               {"d202401.txt", "DENUNCIAS DE SINIESTROS VERDALIA"},
               {"P202401.txt", "PRODUCCION VERDALIA"}};
  for (const auto &kind : kinds) {
    SCOPED_TRACE(kind.name);
    dir.Write(kind.name, FileOf({Line("1202401"), Line("4")}));
    session.RunPhysical(dir.path().string(), kind.name);
    EXPECT_EQ(Windows1252ToUtf8(session.lblValidacionFisica()[0]), kind.title);
    EXPECT_EQ(Windows1252ToUtf8(session.lblValidacionLogica()[0]), kind.title);
  }
}

struct RefusalCase {
  const char *name;
  const char *file_name;
  std::string bytes;
  const char *title;
  std::string text;
};

TEST(PhysicalRun, RefusesWithAMessageAndKeepsThePreviousLists) {
  const TempDir dir;
  const std::string folder = dir.path().string();
  const RefusalCase cases[] = {
      {"wrong first letter", "X202401.txt", FileOf({Line("1")}), "ERROR",
       "Los archivos posibles comienzan con P, D o S"},
      {"no name at all", "", "", "ERROR", "Los archivos posibles comienzan con P, D o S"},
      {"fourth line one short", "P202401.txt",
       FileOf({Line("1202401"), Line("2"), Line("2"), "3", Line("4")}), "Atención",
       "El archivo PRODUCCION VERDALIA en la fila 4 tiene un largo de fila incorrecto(1), "
       "debe ser 10."},
      {"last line long, no line end", "S202401.txt", FileOf({Line("1202401")}) + "4" + Line(""),
       "Atención",
       "El archivo INFORMACIÓN DE SINIESTROS VERDALIA en la fila 2 tiene un largo de fila "
       "incorrecto(11), debe ser 10."},
      {"missing file", "D209999.txt", "", "Atención",
       "No se puede leer el archivo " + folder + "/D209999.txt: No such file or directory."},
  };
  for (const RefusalCase &c : cases) {
    SCOPED_TRACE(c.name);
    Session session(LoadFromSql(kLengthsOnly));
    // A first run leaves a list behind; a refused run must not touch it.
    dir.Write("P202402.txt", FileOf({Line("1202401"), Line("4")}));
    session.RunPhysical(folder, "P202402.txt");
    const ResultList before = session.PhysicalList();
    ASSERT_EQ(before.size(), 1u);
    if (std::string(c.file_name) != "D209999.txt" && *c.file_name) {
      dir.Write(c.file_name, c.bytes);
    }
    const RunOutcome outcome = session.RunPhysical(folder, c.file_name);
    EXPECT_TRUE(outcome.refused);
    EXPECT_FALSE(outcome.logical_enabled);
    EXPECT_EQ(Windows1252ToUtf8(outcome.notice.title), c.title);
    EXPECT_EQ(Windows1252ToUtf8(outcome.notice.text), c.text);
    EXPECT_EQ(outcome.notice.icon, Notice::Icon::Critical);
    EXPECT_EQ(session.PhysicalList(), before);
    EXPECT_EQ(session.lblValidacionFisica()[3], "202402");
  }
}

TEST(PhysicalRun, RefusesAFolderOrPipeNamedLikeADataFile) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "P202401.txt");
  Session session(LoadFromSql(kLengthsOnly));
  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "P202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_NE(outcome.notice.text.find("es una carpeta"), std::string::npos);
}

TEST(PhysicalRun, MissingLineLengthRefusesAtTheFirstNonEmptyLine) {
  const TempDir dir;
  Session session(LoadFromSql("INSERT INTO TipoArchivo VALUES (1,'P',10);"));
  dir.Write("D202401.txt", FileOf({Line("1202401")}));
  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "D202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_EQ(outcome.notice.text, "El archivo DENUNCIAS DE SINIESTROS VERDALIA en la fila 1 "
                                 "tiene un largo de fila incorrecto(10), debe ser 0.");
}

TEST(PhysicalRun, OnlyWarningsEnableTheLogicalVerification) {
  // A detail field whose own message is a warning, and one whose message is an error.
  const std::string sql = std::string(kLengthsOnly) + R"(
    INSERT INTO DefArchivo VALUES
      (2,'2',1,'AVISO',2,1,'T',NULL,'S',NULL,'Advertencia. Falta aviso'),
      (2,'2',2,'CODIGO',3,1,'T',NULL,'S',NULL,'Error. Falta codigo');)";
  const struct {
    const char *name;
    std::string detail;
    std::size_t rows;
    bool enabled;
  } cases[] = {
      {"no row", Line("2AC"), 0, true},
      {"only warnings", Line("2 C"), 1, true},
      {"a warning and an error", Line("2"), 2, false},
      {"an error alone", Line("2A"), 1, false},
  };
  const TempDir dir;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Session session(LoadFromSql(sql));
    dir.Write("D202401.txt", FileOf({Line("1202401"), c.detail, Line("3")}));
    const RunOutcome outcome = session.RunPhysical(dir.path().string(), "D202401.txt");
    EXPECT_EQ(session.PhysicalList().size(), c.rows);
    EXPECT_EQ(outcome.logical_enabled, c.enabled);
  }
}

TEST(PhysicalRun, EmptiesTheLogicalListToo) {
  const TempDir dir;
  Session session(LoadFromSql(kLengthsOnly));
  dir.Write("D202401.txt", FileOf({Line("1202401"), Line("2AAA"), Line("2AAA"), Line("3")}));
  ASSERT_TRUE(session.RunPhysical(dir.path().string(), "D202401.txt").logical_enabled);
  session.RunLogical(dir.path().string(), "D202401.txt");
  dir.Write("D202402.txt", FileOf({Line("1202401"), Line("3")}));
  session.RunPhysical(dir.path().string(), "D202402.txt");
  EXPECT_TRUE(session.LogicalList().empty());
  EXPECT_EQ(session.Data().NroFilas, 2);
}

} // namespace
} // namespace verdalia
