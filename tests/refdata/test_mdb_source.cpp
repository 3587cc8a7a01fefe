#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"
#include "refdata/sqlite_source.h"
#include "support/fixtures.h"
#include "support/jet4_writer.h"

namespace verdalia {
namespace {

using testing::JetColumn;
using testing::JetNull;
using testing::JetOptions;
using testing::JetTable;
using testing::JetType;
using testing::JetValue;
using testing::JetVersion;
using testing::TempDir;
using R = std::vector<JetValue>;

JetValue T(const char *text) {
  return std::string(text);
}
JetValue I(std::int64_t n) {
  return n;
}
const JetValue kNull = JetNull{};

std::string LongValidValues() {
  std::string values;
  for (int i = 0; i < 40; ++i) {
    values += std::to_string(1000 + i) + "#";
  }
  return values;
}

// The six tables, with the kinds of value an installation's database holds: texts with
// accents and the euro sign, empty texts beside Nulls, whole and fractional numbers, a
// valid-values list long enough to leave the row for a long-value page.
std::vector<JetTable> ReferenceTables() {
  JetTable def{
      "DefArchivo",
      {{"TipoArchivo", JetType::Long},
       {"TipoRegistro", JetType::Text, 1},
       {"Sec", JetType::Long},
       {"Campo", JetType::Text, 50},
       {"PosicionInicial", JetType::Long},
       {"Largo", JetType::Long},
       {"Tipo", JetType::Text, 3},
       {"DECIMALES", JetType::Byte},
       {"Obligatorio", JetType::Text, 1},
       {"ValoresValidos", JetType::Memo},
       {"ErrorFisico", JetType::Text, 255}},
      {R{I(1), T("1"), I(1), T("TIPO_REGISTRO"), I(1), I(1), T("N"), kNull, T("S"), T("1#"), kNull},
       R{I(1), T("1"), I(2), T("ASEGURADORA"), I(2), I(9), T("T"), kNull, T(""), kNull,
         T("Error. Razón social inválida")},
       R{I(1), T("2"), I(1), T("MONTO_PRIMA"), I(1), I(10), T("D"), I(2), T("S"), LongValidValues(),
         T("Error. Monto en € no válido")}},
      {},
      {}};
  JetTable kinds{"TipoArchivo",
                 {{"TipoArchivo", JetType::Long},
                  {"Descripcion", JetType::Text, 50},
                  {"LargoFila", JetType::Integer}},
                 {R{I(2), T("DENUNCIAS"), I(200)}, R{I(1), T("PRODUCCIÓN"), I(400)},
                  R{I(3), T("SINIESTROS"), I(200)}},
                 {},
                 {}};
  JetTable communes{"COMUNA",
                    {{"COD_COMUNA", JetType::Text, 5}, {"NOMBRE_COMUNA", JetType::Text, 50}},
                    {R{T("13101"), T("Santiago")}, R{T("13114"), T("Ñuñoa")},
                     R{T(""), T("sin código")}, R{kNull, T("código nulo")},
                     R{T("08101"), T("Concepción")}},
                    {},
                    {}};
  JetTable crops{"CULTIVO",
                 {{"COD_CULTIVO", JetType::Text, 10}, {"NOMBRE_CULTIVO", JetType::Text, 50}},
                 {R{T("TRIGO1"), T("Trigo")}, R{T("MAIZ01"), T("Maíz")}},
                 {},
                 {}};
  JetTable units{"TipoCultivoUniFisc",
                 {{"COD_CULTIVO", JetType::Text, 10},
                  {"UNIDAD_FISICA", JetType::Text, 10},
                  {"RENDIMIENTO", JetType::Single},
                  {"PRECIO", JetType::Currency},
                  {"FACTOR", JetType::Double}},
                 {R{T("TRIGO1"), T("qqm"), 0.5, 1234.5678, -2.25}},
                 {},
                 {}};
  JetTable zones{"RegionComunaZHS",
                 {{"COD_REGION", JetType::Byte},
                  {"COD_COMUNA", JetType::Text, 5},
                  {"ZONA_HOMOGENEA", JetType::Integer}},
                 {R{I(13), T("13101"), I(-3)}},
                 {},
                 {}};
  return {def, kinds, communes, crops, units, zones};
}

// A table as SQLite holds it: its columns with their declared types, then one line per row
// with each value's storage class.
std::vector<std::string> Dump(sqlite3 *db, const std::string &table) {
  std::vector<std::string> lines;
  sqlite3_stmt *stmt = nullptr;
  const std::string columns = "SELECT name, type FROM pragma_table_info('" + table + "')";
  EXPECT_EQ(sqlite3_prepare_v2(db, columns.c_str(), -1, &stmt, nullptr), SQLITE_OK);
  std::string header;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    header += std::string(header.empty() ? "" : ", ") +
              reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)) + " " +
              reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
  }
  sqlite3_finalize(stmt);
  lines.push_back(header);
  const std::string rows = "SELECT * FROM " + table;
  EXPECT_EQ(sqlite3_prepare_v2(db, rows.c_str(), -1, &stmt, nullptr), SQLITE_OK);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::string line;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      line += i ? " | " : "";
      switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_NULL:
        line += "null";
        break;
      case SQLITE_INTEGER:
        line += "int " + std::to_string(sqlite3_column_int64(stmt, i));
        break;
      case SQLITE_FLOAT: {
        char number[40];
        std::snprintf(number, sizeof number, "real %.17g", sqlite3_column_double(stmt, i));
        line += number;
        break;
      }
      default:
        line +=
            "'" + std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i))) + "'";
      }
    }
    lines.push_back(line);
  }
  sqlite3_finalize(stmt);
  return lines;
}

struct VersionCase {
  const char *name;
  JetVersion version;
  bool compress_text;
  const char *file;
  std::size_t long_value_chunk; // long memo texts as chains of pieces this long
};

const VersionCase kVersions[] = {
    {"Jet3", JetVersion::Jet3, false, "verdalia7.mdb", 0},
    {"Jet4", JetVersion::Jet4, true, "verdalia7.mdb", 0},
    {"Jet4Uncompressed", JetVersion::Jet4, false, "verdalia7.mdb", 0},
    {"Jet4Chained", JetVersion::Jet4, true, "verdalia7.mdb", 30},
    {"Jet3Chained", JetVersion::Jet3, false, "verdalia7.mdb", 30},
    {"Ace12", JetVersion::Ace12, true, "verdalia7.accdb", 0},
};

class AccessImport : public ::testing::TestWithParam<VersionCase> {
protected:
  std::string Write(const std::vector<JetTable> &tables) {
    JetOptions options;
    options.version = GetParam().version;
    options.compress_text = GetParam().compress_text;
    options.long_value_chunk = GetParam().long_value_chunk;
    const std::string file = (m_dir.path() / GetParam().file).string();
    testing::WriteJetDatabase(file, tables, options);
    return file;
  }

  TempDir m_dir;
};

TEST_P(AccessImport, CopiesEveryTableWithItsColumnsTypesAndNulls) {
  const SqliteHandle db = ImportAccessDatabase(Write(ReferenceTables()));
  const std::string memo = LongValidValues();
  struct Case {
    const char *table;
    std::vector<std::string> lines;
  } cases[] = {
      {"DefArchivo",
       {"TipoArchivo INTEGER, TipoRegistro TEXT, Sec INTEGER, Campo TEXT, PosicionInicial "
        "INTEGER, Largo INTEGER, Tipo TEXT, DECIMALES INTEGER, Obligatorio TEXT, ValoresValidos "
        "TEXT, ErrorFisico TEXT",
        "int 1 | '1' | int 1 | 'TIPO_REGISTRO' | int 1 | int 1 | 'N' | null | 'S' | '1#' | null",
        "int 1 | '1' | int 2 | 'ASEGURADORA' | int 2 | int 9 | 'T' | null | '' | null | "
        "'Error. Razón social inválida'",
        "int 1 | '2' | int 1 | 'MONTO_PRIMA' | int 1 | int 10 | 'D' | int 2 | 'S' | '" + memo +
            "' | 'Error. Monto en € no válido'"}},
      {"TipoArchivo",
       {"TipoArchivo INTEGER, Descripcion TEXT, LargoFila INTEGER", "int 2 | 'DENUNCIAS' | int 200",
        "int 1 | 'PRODUCCIÓN' | int 400", "int 3 | 'SINIESTROS' | int 200"}},
      {"COMUNA",
       {"COD_COMUNA TEXT, NOMBRE_COMUNA TEXT", "'13101' | 'Santiago'", "'13114' | 'Ñuñoa'",
        "'' | 'sin código'", "null | 'código nulo'", "'08101' | 'Concepción'"}},
      {"CULTIVO",
       {"COD_CULTIVO TEXT, NOMBRE_CULTIVO TEXT", "'TRIGO1' | 'Trigo'", "'MAIZ01' | 'Maíz'"}},
      {"TipoCultivoUniFisc",
       {"COD_CULTIVO TEXT, UNIDAD_FISICA TEXT, RENDIMIENTO REAL, PRECIO REAL, FACTOR REAL",
        "'TRIGO1' | 'qqm' | real 0.5 | real 1234.5678 | real -2.25"}},
      {"RegionComunaZHS",
       {"COD_REGION INTEGER, COD_COMUNA TEXT, ZONA_HOMOGENEA INTEGER",
        "int 13 | '13101' | int -3"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.table);
    EXPECT_EQ(Dump(db.get(), c.table), c.lines);
  }
}

TEST_P(AccessImport, LoadsAsWindows1252LikeTheSqliteSource) {
  const ReferenceData data = LoadReferenceData(Write(ReferenceTables()));
  ASSERT_EQ(data.rsDefArchivo.size(), 3u);
  const FieldDefinition &required = data.rsDefArchivo[0];
  const FieldDefinition &optional = data.rsDefArchivo[1];
  const FieldDefinition &amount = data.rsDefArchivo[2];
  // Null and empty text stay apart: an empty Obligatorio is not a missing one.
  EXPECT_EQ(required.Obligatorio, std::optional<std::string>("S"));
  EXPECT_EQ(optional.Obligatorio, std::optional<std::string>(""));
  EXPECT_EQ(required.ErrorFisico, std::nullopt);
  EXPECT_EQ(optional.ValoresValidos, std::nullopt);
  EXPECT_EQ(optional.ErrorFisico, std::optional<std::string>("Error. Raz\xF3n social inv\xE1lida"));
  EXPECT_EQ(amount.ErrorFisico, std::optional<std::string>("Error. Monto en \x80 no v\xE1lido"));
  EXPECT_EQ(amount.ValoresValidos, std::optional<std::string>(LongValidValues()));
  EXPECT_EQ(amount.DECIMALES, std::optional<int>(2));
  EXPECT_EQ(data.LargoFila, (std::array<int, 4>{0, 400, 200, 200}));
  // ORDER BY puts the Null code first, then the empty one: each adds only its bar.
  EXPECT_EQ(data.CodigosComuna.Text(), "\xA6\xA6"
                                       "08101\xA6"
                                       "13101\xA6"
                                       "13114\xA6");
  EXPECT_EQ(data.CodigosCultivo.Text(), "MAIZ01\xA6TRIGO1\xA6");
}

TEST_P(AccessImport, SkipsDeletedRecordsAndFollowsMovedOnes) {
  std::vector<JetTable> tables = ReferenceTables();
  JetTable &communes = tables[2];
  communes.rows.clear();
  for (int i = 0; i < 8; ++i) {
    communes.rows.push_back(R{T(("1310" + std::to_string(i)).c_str()), T("x")});
  }
  // Records an operator deleted stay on their page until the file is compacted; a record
  // that grew in an update leaves a pointer behind. Neither may be lost or doubled.
  communes.deleted = {0, 5};
  communes.moved = {2, 6};
  const SqliteHandle db = ImportAccessDatabase(Write(tables));
  EXPECT_EQ(Dump(db.get(), "COMUNA"),
            (std::vector<std::string>{"COD_COMUNA TEXT, NOMBRE_COMUNA TEXT", "'13101' | 'x'",
                                      "'13102' | 'x'", "'13103' | 'x'", "'13104' | 'x'",
                                      "'13106' | 'x'", "'13107' | 'x'"}));
}

TEST_P(AccessImport, ReadsTablesThatSpanSeveralPages) {
  std::vector<JetTable> tables = ReferenceTables();
  JetTable &communes = tables[2];
  communes.rows.clear();
  for (int i = 0; i < 700; ++i) {
    communes.rows.push_back(R{T(std::to_string(10000 + i).c_str()), T("Comuna de prueba")});
  }
  // Moved records land on the last page, far from the pointers they leave.
  communes.deleted = {10, 699};
  communes.moved = {5, 300};
  const SqliteHandle db = ImportAccessDatabase(Write(tables));
  std::vector<std::string> expected{"COD_COMUNA TEXT, NOMBRE_COMUNA TEXT"};
  for (int i = 0; i < 700; ++i) {
    if (i != 10 && i != 699) {
      expected.push_back("'" + std::to_string(10000 + i) + "' | 'Comuna de prueba'");
    }
  }
  EXPECT_EQ(Dump(db.get(), "COMUNA"), expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, AccessImport, ::testing::ValuesIn(kVersions),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(AccessImportText, CharactersBeyondWindows1252BecomeQuestionMarks) {
  // Jet 4 stores any UCS-2 text; the engine works in Windows-1252, where "ō" has no byte.
  const TempDir dir;
  std::vector<JetTable> tables = ReferenceTables();
  tables[3].rows.push_back(R{T("ŌSAKA"), T("Ōsaka")});
  tables[3].rows.push_back(R{T("Ā€"), kNull}); // a character whose low byte is zero
  const std::string file = (dir.path() / "ref.mdb").string();
  testing::WriteJetDatabase(file, tables);
  EXPECT_EQ(LoadReferenceData(file).CodigosCultivo.Text(),
            "MAIZ01\xA6TRIGO1\xA6?\x80\xA6?SAKA\xA6");
}

std::vector<JetTable> Without(std::vector<JetTable> tables, const std::string &name) {
  std::erase_if(tables, [&](const JetTable &t) { return t.name == name; });
  return tables;
}

std::vector<JetTable> WithoutColumn(std::vector<JetTable> tables, const std::string &table,
                                    const std::string &column) {
  for (JetTable &t : tables) {
    if (t.name != table) {
      continue;
    }
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      if (t.columns[i].name == column) {
        t.columns.erase(t.columns.begin() + static_cast<std::ptrdiff_t>(i));
        for (auto &row : t.rows) {
          row.erase(row.begin() + static_cast<std::ptrdiff_t>(i));
        }
        break;
      }
    }
  }
  return tables;
}

TEST(AccessImportFailure, EachProblemHasItsStartUpMessage) {
  const TempDir dir;
  const auto path = [&](const std::string &name) { return (dir.path() / name).string(); };
  const std::string good = path("good.mdb");
  testing::WriteJetDatabase(good, ReferenceTables());
  const std::string whole = testing::ReadBytes(good);
  std::filesystem::create_directory(path("folder.mdb"));
  ASSERT_EQ(mkfifo(path("pipe.mdb").c_str(), 0600), 0);
  dir.Write("text.mdb", "Standard Jet DB, or so it says\n");
  dir.Write("empty.mdb", "");
  dir.Write("header-only.mdb", whole.substr(0, 4096));
  testing::MakeDatabase(dir, testing::kEmptySchemaSql, "sqlite.mdb");

  const auto write = [&](const std::string &name, const std::vector<JetTable> &tables) {
    testing::WriteJetDatabase(path(name), tables);
    return path(name);
  };
  JetOptions front_end;
  front_end.linked_tables = {"COMUNA"};
  const std::string linked = path("linked.mdb");
  testing::WriteJetDatabase(linked, Without(ReferenceTables(), "COMUNA"), front_end);
  const std::string open = "No se puede abrir la base de datos de referencia \"";
  const std::string load = "No se puede cargar la base de datos de referencia \"";
  struct Case {
    const char *name;
    std::string file;
    std::string message;
  } cases[] = {
      {"missing file", path("missing.mdb"),
       open + path("missing.mdb") + "\": el archivo no existe"},
      {"a folder", path("folder.mdb"), open + path("folder.mdb") + "\": es una carpeta"},
      {"a named pipe", path("pipe.mdb"), open + path("pipe.mdb") + "\": no es un archivo regular"},
      {"a text file", path("text.mdb"),
       open + path("text.mdb") + "\": el archivo no es una base de datos de Access"},
      {"an empty file", path("empty.mdb"),
       open + path("empty.mdb") + "\": el archivo no es una base de datos de Access"},
      {"an SQLite file", path("sqlite.mdb"),
       open + path("sqlite.mdb") + "\": el archivo no es una base de datos de Access"},
      {"only the header page", path("header-only.mdb"),
       open + path("header-only.mdb") +
           "\": no se puede leer el catálogo de la base de datos de Access"},
      {"missing table", write("no-zones.mdb", Without(ReferenceTables(), "RegionComunaZHS")),
       load + path("no-zones.mdb") + "\": falta la tabla RegionComunaZHS"},
      {"linked table", linked,
       load + path("linked.mdb") +
           "\": la tabla COMUNA está vinculada desde otra base de datos; indique la base de "
           "datos que la contiene"},
      {"missing field-definition column",
       write("no-error.mdb", WithoutColumn(ReferenceTables(), "DefArchivo", "ErrorFisico")),
       load + path("no-error.mdb") + "\": falta la columna ErrorFisico en la tabla DefArchivo"},
      {"missing code column",
       write("no-code.mdb", WithoutColumn(ReferenceTables(), "COMUNA", "COD_COMUNA")),
       load + path("no-code.mdb") +
           "\": no such column: COD_COMUNA (SELECT COD_COMUNA FROM COMUNA ORDER BY COD_COMUNA)"},
      {"line lengths without their column",
       write("no-length.mdb", WithoutColumn(ReferenceTables(), "TipoArchivo", "LargoFila")),
       load + path("no-length.mdb") + "\": la tabla TipoArchivo tiene menos de tres columnas"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    try {
      LoadReferenceData(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const ReferenceDataError &error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

TEST(AccessDatabasePath, ChosenByTheEndOfTheName) {
  const struct {
    const char *path;
    bool access;
  } cases[] = {{"Base/verdalia7.mdb", true},
               {"BASE/VERDALIA7.MDB", true},
               {"ref.accdb", true},
               {"ref.AccDB", true},
               {"Base/verdalia7.db", false},
               {"ref.mdb.db", false},
               {"mdb", false},
               {"ref.mdbx", false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsAccessDatabasePath(c.path), c.access);
  }
}

TEST(DefaultReferenceDatabase, PrefersSqliteAndFallsBackToAccess) {
  // The default is looked for beside the running program: here, the test's own folder.
  const auto base = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Base";
  if (std::filesystem::exists(base)) {
    GTEST_SKIP() << base << " already exists";
  }
  std::filesystem::create_directory(base);
  const auto db = (base / "verdalia7.db").string();
  const auto mdb = (base / "verdalia7.mdb").string();
  const auto touch = [](const std::string &file) { std::ofstream(file) << "x"; };
  EXPECT_EQ(DefaultReferenceDatabasePath(), db) << "neither exists";
  touch(mdb);
  EXPECT_EQ(DefaultReferenceDatabasePath(), mdb) << "only the Access database";
  touch(db);
  EXPECT_EQ(DefaultReferenceDatabasePath(), db) << "both";
  std::filesystem::remove_all(base);
}

} // namespace
} // namespace verdalia
