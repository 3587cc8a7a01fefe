// The shipped reference database, converted to Access form, must drive the verifications to
// the very same bytes as the SQLite original: every field definition, line length and code
// list, and so every error list of every data file.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/session.h"
#include "refdata/reference_data.h"
#include "reports/error_list_writer.h"
#include "support/fixtures.h"
#include "support/jet4_writer.h"

namespace verdalia {
namespace {

using testing::JetOptions;
using testing::JetVersion;
using testing::TempDir;

const char *const kTables[] = {"DefArchivo", "TipoArchivo",        "COMUNA",
                               "CULTIVO",    "TipoCultivoUniFisc", "RegionComunaZHS"};

// One source of reference data: its name in failure messages and the file start-up reads.
struct Source {
  std::string name;
  std::string path;
};

class ShippedDatabaseAsAccess : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    s_dir = std::make_unique<TempDir>();
    const std::string original = VERDALIA_REFERENCE_DB;
    const std::string mdb = (s_dir->path() / "verdalia7.mdb").string();
    const std::string accdb = (s_dir->path() / "verdalia7.accdb").string();
    const std::string imported = (s_dir->path() / "imported.db").string();
    testing::ConvertReferenceDatabase(original, mdb);
    JetOptions ace;
    ace.version = JetVersion::Ace12;
    testing::ConvertReferenceDatabase(original, accdb, ace);
    const std::string command =
        VERDALIA_BINARY_DIR "/verdalia-cli import-mdb '" + mdb + "' '" + imported + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    s_sources = {
        {"Access 2000 file", mdb}, {"Access 2007 file", accdb}, {"its import-mdb copy", imported}};
    s_original = {"SQLite original", original};
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  static std::unique_ptr<TempDir> s_dir;
  static std::vector<Source> s_sources;
  static Source s_original;
};

std::unique_ptr<TempDir> ShippedDatabaseAsAccess::s_dir;
std::vector<Source> ShippedDatabaseAsAccess::s_sources;
Source ShippedDatabaseAsAccess::s_original;

TEST_F(ShippedDatabaseAsAccess, MdbtoolsCountTheSameRows) {
  const std::string mdb = s_sources[0].path;
  const std::string tables = testing::MdbTool({"mdb-tables", "-1", mdb});
  EXPECT_EQ(tables, "DefArchivo\nTipoArchivo\nCOMUNA\nCULTIVO\nTipoCultivoUniFisc\n"
                    "RegionComunaZHS\n");
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(s_original.path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  for (const char *table : kTables) {
    SCOPED_TRACE(table);
    sqlite3_stmt *stmt = nullptr;
    const std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(testing::MdbTool({"mdb-count", mdb, table}),
              std::to_string(sqlite3_column_int64(stmt, 0)) + "\n");
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
}

TEST_F(ShippedDatabaseAsAccess, LoadsTheSameReferenceData) {
  const ReferenceData original = LoadReferenceData(s_original.path);
  ASSERT_FALSE(original.rsDefArchivo.empty());
  for (const Source &source : s_sources) {
    SCOPED_TRACE(source.name);
    const ReferenceData data = LoadReferenceData(source.path);
    EXPECT_EQ(data.LargoFila, original.LargoFila);
    EXPECT_EQ(data.CodigosComuna.Text(), original.CodigosComuna.Text());
    EXPECT_EQ(data.CodigosCultivo.Text(), original.CodigosCultivo.Text());
    ASSERT_EQ(data.rsDefArchivo.size(), original.rsDefArchivo.size());
    for (std::size_t i = 0; i < data.rsDefArchivo.size(); ++i) {
      const FieldDefinition &a = data.rsDefArchivo[i];
      const FieldDefinition &b = original.rsDefArchivo[i];
      SCOPED_TRACE("row " + std::to_string(i) + " " + b.Campo);
      EXPECT_EQ(a.TipoArchivo, b.TipoArchivo);
      EXPECT_EQ(a.TipoRegistro, b.TipoRegistro);
      EXPECT_EQ(a.Sec, b.Sec);
      EXPECT_EQ(a.Campo, b.Campo);
      EXPECT_EQ(a.PosicionInicial, b.PosicionInicial);
      EXPECT_EQ(a.Largo, b.Largo);
      EXPECT_EQ(a.Tipo, b.Tipo);
      EXPECT_EQ(a.DECIMALES, b.DECIMALES);
      EXPECT_EQ(a.Obligatorio, b.Obligatorio);
      EXPECT_EQ(a.ValoresValidos, b.ValoresValidos);
      EXPECT_EQ(a.ErrorFisico, b.ErrorFisico);
    }
  }
}

// A field's text in a record that should pass its checks: the first valid value, the first
// commune and crop codes, numbers, a date in January 2024, a RUT with its check digit, a
// text, blanks for fillers.
std::string PlausibleValue(const FieldDefinition &def, const ReferenceData &data, int line_count) {
  const auto width = static_cast<std::size_t>(def.Largo);
  auto right = [&](const std::string &digits) {
    return digits.size() >= width ? digits.substr(digits.size() - width)
                                  : std::string(width - digits.size(), '0') + digits;
  };
  auto first_code = [](const CodeList &codes) {
    return codes.Text().substr(0, codes.Text().find(kBrokenBar));
  };
  std::string value;
  const std::string rule = def.ValoresValidos.value_or("");
  if (def.Campo == "COD_COMUNA") {
    value = first_code(data.CodigosComuna);
  } else if (def.Campo == "COD_CULTIVO") {
    value = first_code(data.CodigosCultivo);
  } else if (!rule.empty() && rule.rfind("SI_", 0) != 0) {
    value = rule.substr(0, rule.find('#'));
  } else if (rule.rfind("SI_NO_ES:0o1", 0) == 0) {
    value = "1" + std::string(width > 0 ? width - 1 : 0, '0'); // a claim cause, given
  } else if (def.Tipo == "FE") {
    value = "20240131";
  } else if (def.Tipo == "RUT") {
    value = right("12345678");
  } else if (def.Tipo == "DV") {
    value = "5"; // of 12345678
  } else if (def.Tipo == "T") {
    value = "X";
  } else if (def.Tipo == "N" || def.Tipo == "D") {
    value = right(def.Campo == "TOTAL_REGISTROS" ? std::to_string(line_count) : "1");
  }
  value.resize(width, ' ');
  return value;
}

// Data files of every kind written from the reference data itself, so that every field
// definition takes part: blank records, records of nines, and plausible records, each
// variant in a folder of its own.
std::vector<std::string> WriteDataFiles(const TempDir &dir, const ReferenceData &data) {
  struct Kind {
    int number;
    char letter;
    std::vector<std::string> details;
    std::string control;
  } kinds[] = {{1, 'P', {"2", "3", "2", "3"}, "4"},
               {2, 'D', {"2", "2"}, "3"},
               {3, 'S', {"2", "3", "2", "3"}, "4"}};
  std::vector<std::string> names;
  for (const Kind &kind : kinds) {
    const auto length = static_cast<std::size_t>(data.LargoFila[kind.number]);
    std::vector<std::string> types{"1"};
    types.insert(types.end(), kind.details.begin(), kind.details.end());
    types.push_back(kind.control);
    for (const char *variant : {"blank", "nines", "plausible"}) {
      std::string text;
      for (const std::string &type : types) {
        std::string line(length, std::string(variant) == "nines" ? '9' : ' ');
        if (std::string(variant) == "plausible") {
          for (const FieldDefinition &def : data.Definitions(kind.number, type)) {
            const std::string value = PlausibleValue(def, data, static_cast<int>(types.size()));
            line.replace(static_cast<std::size_t>(def.PosicionInicial - 1), value.size(), value);
          }
          line.resize(length, ' ');
        }
        line.replace(0, 1, type);
        if (type == "1") {
          line.replace(1, 6, "202401");
        }
        text += line + "\r\n";
      }
      std::filesystem::create_directories(dir.path() / variant);
      const std::string name = std::string(variant) + "/" + kind.letter + "202401.txt";
      names.push_back(dir.Write(name, text));
    }
  }
  return names;
}

// Both verifications of one file, as the window runs them, in one text to compare.
std::string Verify(Session &session, const std::string &file) {
  const std::filesystem::path path(file);
  const std::string folder = path.parent_path().string();
  const std::string name = path.filename().string();
  const RunOutcome physical = session.RunPhysical(folder, name);
  std::string result = "refused " + std::to_string(physical.refused) + " notice " +
                       physical.notice.text + " logical " +
                       std::to_string(physical.logical_enabled) + "\n" +
                       ErrorListText(session.PhysicalList());
  if (physical.logical_enabled) {
    const RunOutcome logical = session.RunLogical(folder, name);
    result += "logical refused " + std::to_string(logical.refused) + " notice " +
              logical.notice.text + "\n" + ErrorListText(session.LogicalList());
    for (const std::string &label : session.lblValidacionLogica()) {
      result += label + "\n";
    }
  }
  return result;
}

TEST_F(ShippedDatabaseAsAccess, GivesByteIdenticalErrorListsOnEveryFile) {
  const TempDir data_dir;
  Session original(LoadReferenceData(s_original.path));
  std::vector<std::string> files = WriteDataFiles(data_dir, original.Reference());
  const std::filesystem::path samples = std::filesystem::path(VERDALIA_SOURCE_DIR) / "samples";
  if (std::filesystem::is_directory(samples)) {
    for (const auto &entry : std::filesystem::directory_iterator(samples)) {
      if (entry.path().extension() == ".txt") {
        files.push_back(entry.path().string());
      }
    }
  }

  std::vector<std::unique_ptr<Session>> sessions;
  for (const Source &source : s_sources) {
    sessions.push_back(std::make_unique<Session>(LoadReferenceData(source.path)));
  }
  std::size_t rows_compared = 0;
  for (const std::string &file : files) {
    SCOPED_TRACE(file);
    const std::string expected = Verify(original, file);
    rows_compared += original.PhysicalList().size();
    for (std::size_t s = 0; s < sessions.size(); ++s) {
      SCOPED_TRACE(s_sources[s].name);
      EXPECT_EQ(Verify(*sessions[s], file), expected);
    }
  }
  // The comparison means something only where the lists hold rows.
  EXPECT_GT(rows_compared, 100u);
}

} // namespace
} // namespace verdalia
