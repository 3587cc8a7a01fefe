// The shipped reference database: every layout covers its line, keeps the order the checks
// rely on, and puts the fields the logical rules read where they read them.
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "common/text.h"
#include "data/verification.h"

namespace verdalia {
namespace {

using testing::ShippedReference;

struct RecordType {
  int kind;
  const char *type;
};

constexpr RecordType kRecordTypes[] = {{1, "1"}, {1, "2"}, {1, "3"}, {1, "4"}, {2, "1"}, {2, "2"},
                                       {2, "3"}, {3, "1"}, {3, "2"}, {3, "3"}, {3, "4"}};

std::string TraceOf(const RecordType &record) {
  return "kind " + std::to_string(record.kind) + ", record type " + record.type;
}

TEST(ShippedLayouts, CoverEveryLineWithoutGapOrOverlap) {
  const ReferenceData &reference = ShippedReference();
  for (const RecordType &record : kRecordTypes) {
    SCOPED_TRACE(TraceOf(record));
    const auto &fields = reference.Definitions(record.kind, record.type);
    ASSERT_FALSE(fields.empty());
    int next = 1;
    for (const FieldDefinition &field : fields) {
      EXPECT_EQ(field.PosicionInicial, next) << field.Campo << " leaves a gap or overlaps";
      EXPECT_GT(field.Largo, 0) << field.Campo;
      next = field.PosicionInicial + field.Largo;
    }
    EXPECT_EQ(next - 1, reference.LargoFila[static_cast<std::size_t>(record.kind)])
        << "the fields do not end at the line length";
  }
}

TEST(ShippedLayouts, KeepTheOrderTheRecordChecksCarryValuesIn) {
  const ReferenceData &reference = ShippedReference();
  for (const RecordType &record : kRecordTypes) {
    SCOPED_TRACE(TraceOf(record));
    bool rut_open = false;
    bool information_type_seen = false;
    std::set<double> secs;
    for (const FieldDefinition &field : reference.Definitions(record.kind, record.type)) {
      ASSERT_TRUE(field.Sec.has_value()) << field.Campo;
      EXPECT_TRUE(secs.insert(*field.Sec).second) << "Sec repeated at " << field.Campo;
      const std::string type = UpperAscii(field.Tipo);
      if (type == "DV") {
        EXPECT_TRUE(rut_open) << field.Campo << " has no RUT field before it";
        rut_open = false;
      }
      if (type == "RUT") {
        EXPECT_FALSE(rut_open) << field.Campo << " follows a RUT field that has no DV";
        rut_open = true;
      }
      if (field.Campo == "TIPO_INFORMACION") {
        information_type_seen = true;
      }
      if (field.Campo == "FECHA_POLIZA_ENDOSO" || field.Campo == "FECHA_VIGENCIA_ENDOSO") {
        EXPECT_TRUE(information_type_seen) << field.Campo << " comes before TIPO_INFORMACION";
      }
    }
    EXPECT_FALSE(rut_open) << "a RUT field without its DV";
  }
}

TEST(ShippedLayouts, NameTypeAndWordEveryField) {
  const std::regex name("[A-Z][A-Z0-9]*(_[A-Z0-9]+)*");
  const std::set<std::string> types = {"N", "D", "FE", "RUT", "DV", "T", "FIL"};
  for (const FieldDefinition &field : ShippedReference().rsDefArchivo) {
    SCOPED_TRACE(std::to_string(field.TipoArchivo) + "/" + field.TipoRegistro + " " + field.Campo);
    EXPECT_TRUE(std::regex_match(field.Campo, name));
    EXPECT_TRUE(types.count(field.Tipo));
    if (field.Tipo == "D") {
      ASSERT_TRUE(field.DECIMALES.has_value());
      EXPECT_GT(*field.DECIMALES, 0);
      EXPECT_LT(*field.DECIMALES, field.Largo);
    }
    ASSERT_TRUE(field.Obligatorio.has_value());
    EXPECT_TRUE(*field.Obligatorio == "S" || *field.Obligatorio == "N");
    ASSERT_TRUE(field.ErrorFisico.has_value());
    EXPECT_TRUE(field.ErrorFisico->starts_with("Error. ")) << *field.ErrorFisico;
    EXPECT_EQ(field.Campo == "FILLER", field.Tipo == "FIL");
  }
}

TEST(ShippedLayouts, EndEveryFileWithANumericRecordCount) {
  const RecordType controls[] = {{1, "4"}, {2, "3"}, {3, "4"}};
  for (const RecordType &record : controls) {
    SCOPED_TRACE(TraceOf(record));
    int counts = 0;
    for (const FieldDefinition &field : ShippedReference().Definitions(record.kind, record.type)) {
      if (field.Campo == "TOTAL_REGISTROS") {
        ++counts;
        EXPECT_EQ(field.Tipo, "N");
        EXPECT_GE(field.Largo, 5) << "too narrow for 32767 records";
      }
    }
    EXPECT_EQ(counts, 1);
  }
}

// The fields the logical verification reads at fixed positions, and how it reads them.
struct FixedField {
  int kind;
  const char *type;
  const char *name;
  int start;
  int length;
  const char *tipo;
  int decimals; // for "D" fields: the decimals the rules read
};

constexpr FixedField kFixedFields[] = {
    // The header of every kind: period, insurer's identity and name for the summary labels.
    {1, "1", "FECHA_CIERRE", 2, 8, "FE", 0},
    {1, "1", "RUT_ASEGURADORA", 10, 9, "RUT", 0},
    {1, "1", "VER_ASEGURADORA", 19, 1, "DV", 0},
    {1, "1", "ASEGURADORA", 20, 80, "T", 0},
    {2, "1", "FECHA_CIERRE", 2, 8, "FE", 0},
    {2, "1", "RUT_ASEGURADORA", 10, 9, "RUT", 0},
    {2, "1", "VER_ASEGURADORA", 19, 1, "DV", 0},
    {2, "1", "ASEGURADORA", 20, 80, "T", 0},
    {3, "1", "FECHA_CIERRE", 2, 8, "FE", 0},
    {3, "1", "RUT_ASEGURADORA", 10, 9, "RUT", 0},
    {3, "1", "VER_ASEGURADORA", 19, 1, "DV", 0},
    {3, "1", "ASEGURADORA", 20, 80, "T", 0},
    // Production: policy or endorsement.
    {1, "2", "TIPO_INFORMACION", 17, 1, "T", 0},
    {1, "2", "NUMERO_POLIZA", 18, 15, "T", 0},
    {1, "2", "NIVEL_COBERTURA", 33, 3, "D", 2},
    {1, "2", "NUMERO_ENDOSO", 36, 11, "N", 0},
    {1, "2", "FECHA_VIGENCIA_INICIAL", 47, 8, "FE", 0},
    {1, "2", "FECHA_VIGENCIA_FINAL", 55, 8, "FE", 0},
    {1, "2", "RUT_ASEGURADO", 71, 9, "RUT", 0},
    {1, "2", "VER_ASEGURADO", 80, 1, "DV", 0},
    {1, "2", "A_P_ASEGURADO", 81, 30, "T", 0},
    {1, "2", "A_M_ASEGURADO", 111, 30, "T", 0},
    {1, "2", "NOMBRE_ASEGURADO", 141, 60, "T", 0},
    {1, "2", "RUT_CONTRATANTE", 201, 9, "RUT", 0},
    {1, "2", "VER_CONTRATANTE", 210, 1, "DV", 0},
    {1, "2", "A_P_CONTRATANTE", 211, 30, "T", 0},
    {1, "2", "A_M_CONTRATANTE", 241, 30, "T", 0},
    {1, "2", "NOMBRE_CONTRATANTE", 271, 60, "T", 0},
    {1, "2", "COD_COMUNA", 331, 5, "N", 0},
    {1, "2", "COD_CULTIVO", 336, 6, "T", 0},
    {1, "2", "PRECIO_UNITARIO", 349, 7, "D", 4},
    {1, "2", "TASA_PRIMA", 356, 4, "D", 2},
    {1, "2", "PRIMA_FIJA", 360, 6, "D", 2},
    {1, "2", "MONTO_ASEGURADO", 366, 7, "D", 2},
    {1, "2", "PRIMA_NETA", 373, 6, "D", 2},
    // Production: item.
    {1, "3", "NUMERO_POLIZA", 2, 15, "T", 0},
    {1, "3", "NUMERO_ITEM", 17, 4, "N", 0},
    {1, "3", "RENDIMIENTO_ASEGURADO", 166, 7, "D", 2},
    {1, "3", "SUPERFICIE_ASEGURADA", 173, 8, "D", 2},
    {1, "3", "NUMERO_ENDOSO", 181, 11, "N", 0},
    {1, "3", "TIPO_ENDOSO", 192, 2, "T", 0},
    // Claim notices.
    {2, "2", "NUMERO_SINIESTRO", 2, 15, "T", 0},
    {2, "2", "NUMERO_POLIZA", 32, 15, "T", 0},
    {2, "2", "FECHA_DECLARACION", 47, 8, "FE", 0},
    {2, "2", "FECHA_OCURRENCIA", 55, 8, "FE", 0},
    {2, "2", "CAUSA_SINIESTRO", 63, 6, "T", 0},
    {2, "2", "PROVISION", 69, 14, "D", 2},
    // Claims: claim and detail.
    {3, "2", "ESTADO_SINIESTRO", 2, 1, "T", 0},
    {3, "2", "NUMERO_POLIZA", 3, 15, "T", 0},
    {3, "2", "NUMERO_SINIESTRO", 18, 15, "T", 0},
    {3, "2", "FECHA_DECLARACION", 33, 8, "FE", 0},
    {3, "2", "FECHA_OCURRENCIA", 41, 8, "FE", 0},
    {3, "2", "FECHA_INFORME", 49, 8, "FE", 0},
    {3, "2", "CAUSA_SINIESTRO", 57, 6, "T", 0},
    {3, "2", "GASTOS_SINIESTRO", 63, 14, "D", 2},
    {3, "3", "NUMERO_POLIZA", 2, 15, "T", 0},
    {3, "3", "NUMERO_SINIESTRO", 17, 15, "T", 0},
    {3, "3", "NUMERO_ITEM", 32, 4, "N", 0},
    {3, "3", "TIPO_PERDIDA", 51, 1, "T", 0},
    {3, "3", "INDEMNIZACION", 52, 14, "N", 0},
    {3, "3", "TIPO_INDEMNIZACION", 66, 1, "T", 0},
    {3, "3", "PRODUCCION_REAL", 67, 10, "N", 0},
};

TEST(ShippedLayouts, PlaceTheFieldsTheLogicalRulesReadWhereTheyReadThem) {
  for (const FixedField &fixed : kFixedFields) {
    SCOPED_TRACE(std::to_string(fixed.kind) + "/" + fixed.type + " " + fixed.name);
    const FieldDefinition *found = nullptr;
    for (const FieldDefinition &field : ShippedReference().Definitions(fixed.kind, fixed.type)) {
      if (field.Campo == fixed.name) {
        ASSERT_EQ(found, nullptr) << "defined twice";
        found = &field;
      }
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->PosicionInicial, fixed.start);
    EXPECT_EQ(found->Largo, fixed.length);
    EXPECT_EQ(found->Tipo, fixed.tipo);
    if (fixed.decimals > 0) {
      EXPECT_EQ(found->DECIMALES, fixed.decimals);
    }
  }
}

// Value rules whose absence or mistake would let a file pass the physical verification
// with data the logical rules cannot read, or refuse what the rules report themselves.
TEST(ShippedLayouts, GiveTheDomainItsValueRules) {
  struct Rule {
    int kind;
    const char *type;
    const char *name;
    const char *rule;
  };
  const Rule rules[] = {
      {1, "2", "TIPO_INFORMACION", "P#E#"},
      {1, "3", "TIPO_ENDOSO", "  #C #CA#D #A #RE#"},
      {1, "2", "RUT_ASEGURADO", "SI_ES:0"},
      {1, "2", "RUT_CONTRATANTE", "SI_ES:0"},
      {2, "2", "RUT_ASEGURADO", "SI_ES:0"},
      {2, "2", "CAUSA_SINIESTRO", "SI_NO_ES:0o1"},
      {3, "2", "CAUSA_SINIESTRO", "SI_NO_ES:0o1"},
      {3, "2", "ESTADO_SINIESTRO", "A#R#E#"},
      {3, "3", "TIPO_PERDIDA", "P#T#X#"},
      {3, "3", "TIPO_INDEMNIZACION", "M#C#X#"},
      // Left open on purpose: the logical rules report these as missing.
      {2, "2", "PROVISION", nullptr},
      {3, "2", "FECHA_INFORME", nullptr},
      {3, "2", "GASTOS_SINIESTRO", nullptr},
  };
  for (const Rule &rule : rules) {
    SCOPED_TRACE(std::to_string(rule.kind) + "/" + rule.type + " " + rule.name);
    bool found = false;
    for (const FieldDefinition &field : ShippedReference().Definitions(rule.kind, rule.type)) {
      if (field.Campo == rule.name) {
        found = true;
        if (rule.rule) {
          EXPECT_EQ(field.ValoresValidos, std::optional<std::string>(rule.rule));
        } else {
          EXPECT_FALSE(field.ValoresValidos.has_value());
        }
      }
    }
    EXPECT_TRUE(found);
  }
}

std::vector<std::string> Codes(const CodeList &list) {
  std::vector<std::string> codes;
  std::string code;
  for (const char c : list.Text()) {
    if (c == kBrokenBar) {
      codes.push_back(code);
      code.clear();
    } else {
      code.push_back(c);
    }
  }
  return codes;
}

TEST(ShippedCodes, ListEveryCommuneOfTheTerritorialCodeAndCropsOfSixCharacters) {
  const std::vector<std::string> communes = Codes(ShippedReference().CodigosComuna);
  EXPECT_EQ(communes.size(), 346u);
  EXPECT_EQ(std::set<std::string>(communes.begin(), communes.end()).size(), communes.size());
  std::set<int> regions;
  for (const std::string &code : communes) {
    ASSERT_TRUE(std::regex_match(code, std::regex("[0-9]{5}"))) << code;
    regions.insert(std::stoi(code.substr(0, 2)));
  }
  EXPECT_EQ(regions.size(), 16u);
  EXPECT_EQ(*regions.begin(), 1);
  EXPECT_EQ(*regions.rbegin(), 16);
  for (const char *code : {"01101", "13101", "05109", "16101", "16305", "12402"}) {
    EXPECT_TRUE(ShippedReference().CodigosComuna.Contains(code)) << code;
  }
  // Ñuble's communes left Biobío's codes behind when the region was created.
  EXPECT_FALSE(ShippedReference().CodigosComuna.Contains("08401"));

  const std::vector<std::string> crops = Codes(ShippedReference().CodigosCultivo);
  EXPECT_GE(crops.size(), 40u);
  for (const std::string &code : crops) {
    EXPECT_TRUE(std::regex_match(code, std::regex("[A-Z0-9]{6}"))) << code;
  }
}

// The two tables no check reads still describe every crop and every commune.
TEST(ShippedCodes, GiveEveryCropAUnitAndEveryCommuneItsRegionAndZone) {
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(VERDALIA_REFERENCE_DB, &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  auto count = [&](const char *sql) {
    sqlite3_stmt *stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK) << sql;
    const int value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return value;
  };
  EXPECT_EQ(count("SELECT COUNT(*) FROM CULTIVO c WHERE NOT EXISTS (SELECT 1 FROM "
                  "TipoCultivoUniFisc u WHERE u.COD_CULTIVO = c.COD_CULTIVO)"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM TipoCultivoUniFisc WHERE UNIDAD_FISICA NOT IN "
                  "('QQ','KG','TN')"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMUNA c WHERE NOT EXISTS (SELECT 1 FROM "
                  "RegionComunaZHS r WHERE r.COD_COMUNA = c.COD_COMUNA AND "
                  "r.COD_REGION = substr(c.COD_COMUNA, 1, 2) AND r.ZONA_HOMOGENEA <> '')"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM RegionComunaZHS"), 346);
  sqlite3_close(db);
}

} // namespace
} // namespace verdalia
