#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "physical/physical_checks.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using Rows = std::vector<std::string>;

// Findings written "FIELD: message" (a definition's own message is "P"); the record
// number is checked apart.
const std::string kNumber = "Error.Carácter no válido en variable numérica";
const std::string kControlNumber = "Error. Carácter no válido en variable numérica";
const std::string kDateCharacter = "Error.Carácter no válido en campo fecha";
const std::string kDateFormat = "Error.Formato de Fecha incorrecto";
const std::string kNoDate = "Error.No es fecha válida";
const std::string kHeaderDigit = "Error.Dígito verificador no corresponde";
const std::string kDetailDigit = "Error.Dígito verificador incorrecto";
const std::string kText = "Error.Caracter no válido en variable alfanumérica";
const std::string kObligatory = "Error. No informa valor obligatorio";
const std::string kNoCause = "Error. No informa causa de siniestro.";
const std::string kCount = "Error. No concuerda con el número total de registros del archivo";

// Definitions as SQL tuples (Sec, Campo, PosicionInicial, Largo, Tipo, DECIMALES,
// Obligatorio, ValoresValidos, ErrorFisico), all of one kind and record type. Each case of a
// table gets a kind of its own, so that one database serves the whole table.
std::string DefinitionsSql(int kind, const std::string &record_type, const std::string &tuples) {
  return "INSERT INTO DefArchivo (Sec, Campo, PosicionInicial, Largo, Tipo, DECIMALES, "
         "Obligatorio, ValoresValidos, ErrorFisico) VALUES " +
         tuples + "; UPDATE DefArchivo SET TipoArchivo = " + std::to_string(kind) +
         ", TipoRegistro = '" + record_type + "' WHERE TipoArchivo IS NULL;";
}

// One transaction: a statement per commit would make every table a slow one.
ReferenceData Load(const std::string &definitions_sql) {
  return testing::LoadFromSql("BEGIN;" + definitions_sql + "COMMIT;");
}

Rows Readable(const ResultList &rows, int record) {
  Rows out;
  for (const ResultRow &row : rows) {
    EXPECT_EQ(row.record, record);
    out.push_back(row.field + ": " + Windows1252ToUtf8(row.message));
  }
  return out;
}

enum class Check { Header, Detail, Control };

const char *RecordType(Check check) {
  return check == Check::Header ? "1" : check == Check::Detail ? "2" : "4";
}

// The header is record 1, the detail record 7, the control record 120 of its file.
Rows RunCheck(const PhysicalChecks &checks, Check check, int kind, const std::string &body) {
  const std::string line = RecordType(check) + body;
  ResultList rows;
  SummaryLabels fisica, logica;
  switch (check) {
  case Check::Header:
    checks.RevisaRegUno_Fisico(kind, line, 1, rows, fisica, logica);
    return Readable(rows, 1);
  case Check::Detail:
    checks.RevisaRegFilas_Fisico(kind, "2", line, 7, rows);
    return Readable(rows, 7);
  case Check::Control:
    checks.RevisaRegControl(kind, line, 120, rows);
    return Readable(rows, 120);
  }
  return {};
}

struct RecordCase {
  const char *name;
  const char *definitions;
  const char *body; // the line after its record type
  Rows expected;
};

void RunCases(Check check, const std::vector<RecordCase> &cases) {
  std::string sql;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    sql += DefinitionsSql(static_cast<int>(i + 1), RecordType(check), cases[i].definitions);
  }
  const PhysicalChecks checks(Load(sql));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(std::string(cases[i].name) + ", line body \"" + cases[i].body + "\"");
    EXPECT_EQ(RunCheck(checks, check, static_cast<int>(i + 1), cases[i].body), cases[i].expected);
  }
}

struct ThreeWayCase {
  const char *name;
  const char *definitions;
  const char *body;
  Rows header, detail, control;
};

// The same field content under the three record checks, where their rules part ways.
TEST(RecordChecks, TheSameFieldUnderHeaderDetailAndControlRules) {
  const char *rut_dv = "(1,'R',2,8,'RUT',NULL,NULL,NULL,'P'),(2,'V',10,1,'DV',NULL,NULL,NULL,'P')";
  // clang-format off
  const ThreeWayCase cases[] = {
      {"number with a letter", "(1,'F',2,3,'N',NULL,NULL,'123','P')", "12A",
       {"F: " + kNumber, "F: P"}, {"F: " + kNumber}, {"F: " + kControlNumber}},
      {"number only a substring of the list", "(1,'F',2,1,'N',NULL,NULL,'123','P')", "2",
       {}, {"F: P"}, {}},
      {"SI_ES:0 against 001", "(1,'F',2,3,'N',NULL,NULL,'SI_ES:0','P')", "001",
       {"F: P"}, {}, {}},
      {"empty list", "(1,'F',2,1,'N',NULL,NULL,'','P')", "5", {"F: P"}, {}, {"F: P"}},
      {"digits that are no date", "(1,'F',2,8,'FE',NULL,NULL,NULL,'P')", "20240230",
       {"F: " + kDateFormat}, {"F: " + kNoDate}, {"F: P"}},
      {"zero date under its rule", "(1,'F',2,8,'FE',NULL,NULL,'SI_ES:00000000','P')", "00000000",
       {"F: " + kDateFormat}, {"F: P"}, {}},
      {"date with a letter", "(1,'F',2,8,'FE',NULL,NULL,NULL,'P')", "2024023A",
       {"F: " + kDateCharacter}, {"F: " + kDateCharacter}, {"F: " + kDateCharacter}},
      {"zeros and a letter under SI_ES:0", "(1,'F',2,8,'RUT',NULL,NULL,'SI_ES:0','P')", "0000000A",
       {"F: P", "F: " + kNumber}, {"F: " + kNumber}, {"F: " + kControlNumber}},
      {"wrong check digit", rut_dv, "123456784",
       {"V: " + kHeaderDigit}, {"V: " + kDetailDigit}, {"V: P"}},
      {"blank obligatory text", "(1,'F',2,3,'T',NULL,'S','SI_ES:BLANCO','P')", "   ",
       {"F: P"}, {"F: " + kObligatory}, {"F: P"}},
      {"lower-case text", "(1,'F',2,3,'T',NULL,NULL,NULL,'P')", "abc",
       {"F: " + kText}, {"F: " + kText}, {}},
      {"filler cut short by the line's end", "(1,'F',2,20,'FIL',NULL,NULL,NULL,'P')", "     ",
       {"F: Largo de campo debe ser 20"}, {"F: P"}, {"F: Error. Largo de campo debe ser 20"}},
  };
  // clang-format on
  std::string sql;
  for (int kind = 1; const ThreeWayCase &c : cases) {
    for (const Check check : {Check::Header, Check::Detail, Check::Control}) {
      sql += DefinitionsSql(kind, RecordType(check), c.definitions);
    }
    ++kind;
  }
  const PhysicalChecks checks(Load(sql));
  for (int kind = 1; const ThreeWayCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunCheck(checks, Check::Header, kind, c.body), c.header);
    EXPECT_EQ(RunCheck(checks, Check::Detail, kind, c.body), c.detail);
    EXPECT_EQ(RunCheck(checks, Check::Control, kind, c.body), c.control);
    ++kind;
  }
}

// clang-format off
TEST(DetailRecord, NumbersDatesAndIdentityNumbers) {
  const char *rut_dv = "(1,'R',2,1,'RUT',NULL,NULL,NULL,'P'),(2,'V',3,1,'DV',NULL,NULL,NULL,'P')";
  RunCases(Check::Detail, {
      {"fixed point equal", "(1,'F',2,6,'D',2,NULL,'SI_ES:123.45','P')", "012345", {"F: P"}},
      {"fixed point unequal", "(1,'F',2,6,'D',2,NULL,'SI_ES:12345','P')", "012345", {}},
      {"more decimals than digits", "(1,'F',2,2,'D',5,NULL,'SI_ES:0.12','P')", "12", {"F: P"}},
      {"negative decimals", "(1,'F',2,2,'D',-1,NULL,'SI_ES:12','P')", "12", {"F: P"}},
      {"SI_ES:BLANCO forbids 0", "(1,'F',2,2,'N',NULL,NULL,'SI_ES:BLANCO','P')", "00", {"F: P"}},
      {"endorsement number", "(1,'numero_endoso',2,2,'N',NULL,NULL,'1#','P')", "22", {}},
      {"list, lower-case type", "(1,'F',2,2,'n',NULL,NULL,'10#20#','P')", "30", {"F: P"}},
      {"tail of a listed value", "(1,'F',2,1,'N',NULL,NULL,'10#20#','P')", "0", {}},
      {"blank start date", "(1,'FECHA_VIGENCIA_INICIAL',2,8,'FE',NULL,NULL,NULL,'P')",
       "        ", {"FECHA_VIGENCIA_INICIAL: " + kNoDate}},
      {"padded start date", "(1,'FECHA_VIGENCIA_INICIAL',2,9,'FE',NULL,NULL,NULL,'P')",
       " 20240101", {}},
      {"blank other date", "(1,'F',2,8,'FE',NULL,NULL,NULL,'P')", "        ",
       {"F: " + kDateCharacter}},
      {"zero identity number", "(1,'F',2,3,'RUT',NULL,NULL,'SI_ES:0','P')", "000", {"F: P"}},
      {"capital K", rut_dv, "6K", {}},
      {"lower-case k", rut_dv, "6k", {"V: " + kDetailDigit}},
      {"check digit alone", "(1,'V',2,1,'DV',NULL,NULL,NULL,'P')", "5", {"V: " + kDetailDigit}},
      {"check digit past the line", "(1,'V',30,1,'DV',NULL,NULL,NULL,'P')", "5", {}},
      {"unknown type", "(1,'F',2,3,'Z',NULL,NULL,'1#','P')", "abc", {}},
  });
}

TEST(DetailRecord, EndorsementDatesFollowTheInformationType) {
  const char *dates = "(1,'TIPO_INFORMACION',2,1,'T',NULL,NULL,NULL,'P'),"
                      "(2,'FECHA_POLIZA_ENDOSO',3,8,'FE',NULL,NULL,'SI_ES:00000000','P')";
  RunCases(Check::Detail, {
      {"policy record", dates, "NXXXXXXXX", {}},
      {"endorsement, letters", dates, "EXXXXXXXX", {"FECHA_POLIZA_ENDOSO: " + kDateCharacter}},
      {"endorsement, no date", dates, "E20240230", {"FECHA_POLIZA_ENDOSO: P"}},
      {"endorsement, zero date", dates, "E00000000", {}},
      {"information type read later", "(2,'TIPO_INFORMACION',2,1,'T',NULL,NULL,NULL,'P'),"
       "(1,'fecha_vigencia_endoso',3,8,'FE',NULL,NULL,NULL,'P')", "EXXXXXXXX", {}},
  });
}

TEST(DetailRecord, TextRulesByKeyword) {
  RunCases(Check::Detail, {
      {"obligatory, no rule", "(1,'F',2,3,'T',NULL,'s',NULL,'P')", "   ", {"F: P"}},
      {"zeros", "(1,'F',2,3,'T',NULL,NULL,'SI_ES:BLANCOoCero','P')", "000", {"F: P"}},
      {"not only zeros", "(1,'F',2,3,'T',NULL,NULL,'SI_ES:BLANCOoCero','P')", "010", {}},
      {"blank", "(1,'F',2,3,'T',NULL,'N','SI_ES:BLANCO','P')", "   ", {"F: P"}},
      {"cause 1", "(1,'F',2,1,'T',NULL,NULL,'SI_NO_ES:0o1','P')", "1", {}},
      {"cause 0", "(1,'F',2,1,'T',NULL,NULL,'SI_NO_ES:0o1','P')", "0", {"F: " + kNoCause}},
      {"cause X", "(1,'F',2,1,'T',NULL,NULL,'SI_NO_ES:0o1','P')", "X", {"F: P"}},
      {"list, right-trimmed", "(1,'F',2,3,'T',NULL,NULL,'10#20#','P')", "20 ", {}},
      {"list, leading blank", "(1,'F',2,3,'T',NULL,NULL,'10#20#','P')", " 20", {"F: P"}},
      {"list, then characters", "(1,'F',2,2,'T',NULL,NULL,'X#','P')", "ab",
       {"F: P", "F: " + kText}},
      {"endorsement type", "(1,'TIPO_ENDOSO',2,1,'T',NULL,'S','A#B#','P')", "C",
       {"TIPO_ENDOSO: P"}},
      {"endorsement type blank", "(1,'TIPO_ENDOSO',2,1,'T',NULL,'S','A#B#','P')", " ",
       {"TIPO_ENDOSO: P"}},
      {"endorsement type, no rule", "(1,'TIPO_ENDOSO',2,1,'T',NULL,'S',NULL,'P')", " ", {}},
      {"endorsement type, empty list", "(1,'TIPO_ENDOSO',2,1,'T',NULL,NULL,'','P')", "A",
       {"TIPO_ENDOSO: P"}},
      {"filler, Null message", "(1,'F',2,3,'FIL',NULL,NULL,NULL,NULL)", "  x", {"F: "}},
  });
}

TEST(HeaderRecord, OwnRules) {
  const char *rut_dv = "(1,'R',2,8,'RUT',NULL,NULL,NULL,'P'),(2,'V',10,1,'DV',NULL,NULL,NULL,'P')";
  RunCases(Check::Header, {
      {"lower-case k", rut_dv, "00000006k", {"V: " + kHeaderDigit}},
      {"letter in identity number", rut_dv, "1234567AK", {"R: " + kNumber}},
      {"blank check digit", "(1,'V',2,1,'DV',NULL,NULL,'SI_ES:BLANCO','P')", " ",
       {"V: P", "V: " + kHeaderDigit}},
      // Stored with the identity number first, visited in Sec order.
      {"check digit first by Sec",
       "(2,'R',3,1,'RUT',NULL,NULL,NULL,'P'),(1,'V',2,1,'DV',NULL,NULL,NULL,'P')", "K6",
       {"V: " + kHeaderDigit}},
      {"zero date, no rule", "(1,'F',2,8,'FE',NULL,NULL,NULL,'P')", "00000000", {}},
      {"date operand trimmed", "(1,'F',2,8,'FE',NULL,NULL,'SI_ES: 20240101 ','P')", "20240101",
       {"F: " + kDateFormat}},
      {"number not in list", "(1,'F',2,1,'N',NULL,NULL,'123','P')", "4", {"F: P"}},
      {"number, no rule", "(1,'F',2,1,'D',0,NULL,NULL,'P')", "4", {}},
      {"identity number rule", "(1,'F',2,3,'RUT',NULL,NULL,'SI_ES:123','P')", "123", {"F: P"}},
      {"obligatory not read", "(1,'F',2,3,'T',NULL,'S',NULL,'P')", "   ", {}},
      {"filler not blank", "(1,'F',2,3,'FIL',NULL,NULL,NULL,'P')", "  x", {"F: P"}},
  });
}
// clang-format on

TEST(HeaderRecord, FillsTheRutAndNameCaptionsOfBothTabs) {
  const PhysicalChecks checks(
      Load(DefinitionsSql(1, "1",
                          "(3,'ASEGURADORA',11,10,'T',NULL,NULL,NULL,'P'),"
                          "(2,'VER_ASEGURADORA',10,1,'DV',NULL,NULL,NULL,'P'),"
                          "(1,'RUT_ASEGURADORA',2,8,'RUT',NULL,NULL,NULL,'P')")));
  ResultList rows;
  SummaryLabels fisica{"", "viejo", "viejo", ""}, logica;
  checks.RevisaRegUno_Fisico(1, "1123456785SEGUROS X ", 1, rows, fisica, logica);
  EXPECT_TRUE(rows.empty());
  for (const SummaryLabels &labels : {fisica, logica}) {
    EXPECT_EQ(labels[1], "12345678-5");
    EXPECT_EQ(labels[2], "SEGUROS X");
  }

  // The check digit extends each caption's own text; a lower-case name fills nothing.
  const PhysicalChecks partial(
      Load(DefinitionsSql(1, "1",
                          "(1,'VER_ASEGURADORA',2,1,'N',NULL,NULL,NULL,'P'),"
                          "(2,'aseguradora',3,3,'T',NULL,NULL,NULL,'P')")));
  SummaryLabels fisica2{"", "A", "nombre", ""}, logica2{"", "B", "", ""};
  partial.RevisaRegUno_Fisico(1, "15XYZ", 1, rows, fisica2, logica2);
  EXPECT_EQ(fisica2[1], "A-5");
  EXPECT_EQ(logica2[1], "B-5");
  EXPECT_EQ(fisica2[2], "nombre");
}

// clang-format off
TEST(ControlRecord, RecordCountAndOwnRules) {
  const char *count = "(1,'TOTAL_REGISTROS',2,6,'N',NULL,NULL,NULL,'P')";
  RunCases(Check::Control, {
      {"count with leading zeros", count, "000120", {}},
      {"count of the details only", count, "000118", {"TOTAL_REGISTROS: " + kCount}},
      {"blank count", count, "      ",
       {"TOTAL_REGISTROS: " + kControlNumber, "TOTAL_REGISTROS: " + kCount}},
      {"count with decimals", "(1,'TOTAL_REGISTROS',2,6,'D',2,NULL,NULL,'P')", "000120", {}},
      {"count in lower case", "(1,'total_registros',2,6,'N',NULL,NULL,NULL,'P')", "000118", {}},
      {"zeros under SI_ES:0", "(1,'F',2,4,'N',NULL,NULL,'SI_ES:0','P')", "0000", {"F: P"}},
      {"identity number rule not read", "(1,'F',2,3,'RUT',NULL,NULL,'SI_ES:0','P')", "000", {}},
      {"check digit alone", "(1,'V',2,1,'DV',NULL,NULL,NULL,'P')", "5", {"V: P"}},
      {"blank text, not obligatory", "(1,'F',2,3,'T',NULL,NULL,'SI_ES:BLANCO','P')", "   ", {}},
  });
}
// clang-format on

TEST(ControlRecord, UsesTheDefinitionsOfTheTypeTheLineCarries) {
  const PhysicalChecks checks(
      Load(DefinitionsSql(1, "3", "(1,'TRES',2,1,'N',NULL,NULL,NULL,'P')") +
           DefinitionsSql(1, "4", "(1,'CUATRO',2,1,'N',NULL,NULL,NULL,'P')")));
  const struct {
    const char *line;
    Rows expected;
  } cases[] = {{"3X", {"TRES: " + kControlNumber}},
               {"4X", {"CUATRO: " + kControlNumber}},
               {"9X", {}},
               {"", {}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string("line \"") + c.line + "\"");
    ResultList rows;
    checks.RevisaRegControl(1, c.line, 5, rows);
    EXPECT_EQ(Readable(rows, 5), c.expected);
  }
}

} // namespace
} // namespace verdalia
