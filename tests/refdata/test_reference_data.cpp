#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::kEmptySchemaSql;
using testing::LoadFromSql;
using testing::MakeDatabase;
using testing::TempDir;

const std::string kLengths =
    "INSERT INTO TipoArchivo VALUES (1,'P',400),(2,'D',100),(3,'S',120);";

// Loads a database and returns the start-up message, or "" when it loads.
std::string FailureOf(const std::string &sql) {
  const TempDir dir;
  try {
    LoadReferenceData(MakeDatabase(dir, sql));
  } catch (const ReferenceDataError &error) {
    return error.what();
  }
  return "";
}

TEST(LoadReferenceData, FillsLineLengthsByTheKindEachRowNames) {
  const ReferenceData data =
      LoadFromSql("INSERT INTO TipoArchivo VALUES (3,'S',120),(1,'P',400),(2,'D',100);");
  EXPECT_EQ(data.LargoFila[1], 400);
  EXPECT_EQ(data.LargoFila[2], 100);
  EXPECT_EQ(data.LargoFila[3], 120);
  // A kind without its row keeps line length 0.
  EXPECT_EQ(LoadFromSql("INSERT INTO TipoArchivo VALUES (1,'P',400);").LargoFila[2], 0);
}

TEST(LoadReferenceData, KeepsNullApartFromEmptyText) {
  const ReferenceData data = LoadFromSql(kLengths + R"(
    INSERT INTO DefArchivo VALUES
      (1,'2',1,'A',1,1,'T',NULL,NULL,NULL,NULL),
      (1,'2',2,'B',2,1,'T',NULL,'','','');)");
  const auto &defs = data.Definitions(1, "2");
  ASSERT_EQ(defs.size(), 2u);
  EXPECT_FALSE(defs[0].ValoresValidos.has_value());
  EXPECT_FALSE(defs[0].ErrorFisico.has_value());
  EXPECT_FALSE(defs[0].Obligatorio.has_value());
  ASSERT_TRUE(defs[1].ValoresValidos.has_value());
  EXPECT_EQ(*defs[1].ValoresValidos, "");
  EXPECT_EQ(*defs[1].ErrorFisico, "");
}

TEST(LoadReferenceData, PreparesDefinitionsPerKindAndTypeInSecOrder) {
  const ReferenceData data = LoadFromSql(kLengths + R"(
    INSERT INTO DefArchivo VALUES
      (1,'2',2,'SECOND',2,1,'N',NULL,NULL,NULL,NULL),
      (1,'2',1,'FIRST',1,1,'N',NULL,NULL,NULL,NULL),
      (1,'3',1,'OTHER_TYPE',1,1,'N',NULL,NULL,NULL,NULL),
      (2,'2',1,'OTHER_KIND',1,1,'N',NULL,NULL,NULL,NULL),
      (1,'2',2,'SECOND_TIE',3,1,'N',NULL,NULL,NULL,NULL),
      (1,'2',NULL,'NULL_SEC',4,1,'N',NULL,NULL,NULL,NULL);)");
  const auto &defs = data.Definitions(1, "2");
  std::vector<std::string> names;
  for (const FieldDefinition &def : defs) {
    names.push_back(def.Campo);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"NULL_SEC", "FIRST", "SECOND", "SECOND_TIE"}));
  EXPECT_EQ(data.Definitions(1, "3").size(), 1u);
  EXPECT_TRUE(data.Definitions(1, "4").empty());
  EXPECT_TRUE(data.Definitions(3, "2").empty());
  EXPECT_EQ(data.rsDefArchivo.size(), 6u);
}

TEST(LoadReferenceData, ConvertsTextsToTheDataFilesCodePage) {
  const ReferenceData data = LoadFromSql(kLengths + R"(
    INSERT INTO DefArchivo VALUES (1,'2',1,'AÑO',1,1,'T',NULL,NULL,'Ñ#','Error. Año inválido');
    INSERT INTO COMUNA VALUES ('00101'),('00102');)");
  const FieldDefinition &def = data.Definitions(1, "2").at(0);
  EXPECT_EQ(def.Campo, "A\xD1O");
  EXPECT_EQ(*def.ValoresValidos, "\xD1#");
  EXPECT_EQ(data.CodigosComuna.Text(), "00101\xA6" "00102\xA6");
}

TEST(CodeList, AnswersLikeASearchOfTheJoinedText) {
  const ReferenceData data =
      LoadFromSql(kLengths + "INSERT INTO COMUNA VALUES ('00101'),('00102'),(NULL);");
  const CodeList &codes = data.CodigosComuna;
  EXPECT_TRUE(codes.Contains("00102"));
  EXPECT_FALSE(codes.Contains("0010"));
  EXPECT_TRUE(codes.Contains("0102"));  // the tail of a listed code is found
  EXPECT_TRUE(codes.Contains(""));      // so is the empty code, and a Null row adds only a bar
  EXPECT_FALSE(codes.Contains(" 0101"));
  EXPECT_FALSE(LoadFromSql(kLengths).CodigosCultivo.Contains("TRIGO1"));
}

TEST(LoadReferenceData, StartUpFailuresCarryTheEnginesDescription) {
  const std::string schema = kEmptySchemaSql;
  struct Case {
    const char *name;
    std::string sql;
    const char *expected;
  } cases[] = {
      {"no DefArchivo", "CREATE TABLE X(a);", "no such table: DefArchivo"},
      {"no COMUNA", "CREATE TABLE DefArchivo(TipoArchivo, TipoRegistro, Sec, Campo, "
                    "PosicionInicial, Largo, Tipo, DECIMALES, Obligatorio, ValoresValidos, "
                    "ErrorFisico); CREATE TABLE TipoCultivoUniFisc(a); CREATE TABLE "
                    "RegionComunaZHS(a); CREATE TABLE TipoArchivo(TipoArchivo,b,c); CREATE TABLE CULTIVO("
                    "COD_CULTIVO);",
       "no such table: COMUNA"},
      {"no RegionComunaZHS", schema + "DROP TABLE RegionComunaZHS;",
       "no such table: RegionComunaZHS"},
      {"no TipoCultivoUniFisc", schema + "DROP TABLE TipoCultivoUniFisc;",
       "no such table: TipoCultivoUniFisc"},
      {"column missing", schema + "ALTER TABLE DefArchivo DROP COLUMN ErrorFisico;",
       "falta la columna ErrorFisico en la tabla DefArchivo"},
      {"code column missing", schema + "DROP TABLE CULTIVO; CREATE TABLE CULTIVO(X);",
       "no such column: COD_CULTIVO"},
      {"kind out of range", schema + "INSERT INTO TipoArchivo VALUES (4,'X',10);",
       "TipoArchivo 4 no es 1, 2 ni 3"},
      {"kind zero", schema + "INSERT INTO TipoArchivo VALUES (0,'X',10);",
       "TipoArchivo 0 no es 1, 2 ni 3"},
      {"length not a number", schema + "INSERT INTO TipoArchivo VALUES (1,'X','abc');",
       "el largo de fila del TipoArchivo 1"},
      {"length too large", schema + "INSERT INTO TipoArchivo VALUES (1,'X',40000);",
       "el largo de fila del TipoArchivo 1"},
      {"two columns", "CREATE TABLE DefArchivo(TipoArchivo, TipoRegistro, Sec, Campo, "
                      "PosicionInicial, Largo, Tipo, DECIMALES, Obligatorio, ValoresValidos, "
                      "ErrorFisico); CREATE TABLE TipoCultivoUniFisc(a); CREATE TABLE "
                      "RegionComunaZHS(a); CREATE TABLE TipoArchivo(TipoArchivo,b);",
       "menos de tres columnas"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = FailureOf(c.sql);
    EXPECT_NE(message.find("No se puede cargar la base de datos de referencia"), std::string::npos)
        << message;
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
}

TEST(LoadReferenceData, RefusesFilesThatAreNoDatabase) {
  const TempDir dir;
  try {
    LoadReferenceData((dir.path() / "missing.db").string());
    FAIL() << "a missing file loaded";
  } catch (const ReferenceDataError &error) {
    EXPECT_NE(std::string(error.what()).find("el archivo no existe"), std::string::npos);
  }
  const std::string junk = dir.Write("junk.db", std::string(4096, 'x'));
  try {
    LoadReferenceData(junk);
    FAIL() << "a file of junk loaded";
  } catch (const ReferenceDataError &error) {
    EXPECT_NE(std::string(error.what()).find("file is not a database"), std::string::npos)
        << error.what();
  }
  const std::string empty = dir.Write("empty.db", "");
  EXPECT_THROW(LoadReferenceData(empty), ReferenceDataError);
}

TEST(LoadReferenceData, RefusesDefinitionsThatCannotBeApplied) {
  struct Case {
    const char *name;
    const char *row;
    const char *why;
  } cases[] = {
      {"null position", "(1,'2',7,'CAMPO_X',NULL,1,'N',NULL,NULL,NULL,NULL)",
       "PosicionInicial no es un número entero"},
      {"fractional position", "(1,'2',7,'CAMPO_X',1.5,1,'N',NULL,NULL,NULL,NULL)",
       "PosicionInicial no es un número entero"},
      {"text position", "(1,'2',7,'CAMPO_X','abc',1,'N',NULL,NULL,NULL,NULL)",
       "PosicionInicial no es un número entero"},
      {"position zero", "(1,'2',7,'CAMPO_X',0,1,'N',NULL,NULL,NULL,NULL)",
       "PosicionInicial fuera de rango"},
      {"null length", "(1,'2',7,'CAMPO_X',1,NULL,'N',NULL,NULL,NULL,NULL)",
       "Largo no es un número entero"},
      {"negative length", "(1,'2',7,'CAMPO_X',1,-1,'N',NULL,NULL,NULL,NULL)",
       "Largo fuera de rango"},
      {"null name", "(1,'2',7,NULL,1,1,'N',NULL,NULL,NULL,NULL)", "Campo es Null"},
      {"null type", "(1,'2',7,'CAMPO_X',1,1,NULL,NULL,NULL,NULL,NULL)", "Tipo es Null"},
      {"decimals of a D field", "(1,'2',7,'CAMPO_X',1,1,'d',NULL,NULL,NULL,NULL)",
       "DECIMALES no es un número entero"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = FailureOf(std::string(kEmptySchemaSql) + kLengths +
                                          "INSERT INTO DefArchivo VALUES " + c.row + ";");
    EXPECT_NE(message.find(c.why), std::string::npos) << message;
    EXPECT_NE(message.find("TipoArchivo 1, TipoRegistro '2', Sec 7"), std::string::npos)
        << message;
  }
  // What can be applied loads: whole numbers written as text or reals, Null decimals
  // outside type "D".
  EXPECT_EQ(FailureOf(std::string(kEmptySchemaSql) + kLengths +
                      "INSERT INTO DefArchivo VALUES (1,'2',1,'A','3',2.0,'N',NULL,NULL,NULL,NULL),"
                      "(1,'2',2,'B',1,0,'D',2,NULL,NULL,NULL);"),
            "");
}

} // namespace
} // namespace verdalia
