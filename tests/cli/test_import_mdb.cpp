#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "refdata/reference_data.h"
#include "support/fixtures.h"
#include "support/jet4_writer.h"

namespace verdalia {
namespace {

using testing::ReadBytes;
using testing::TempDir;

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Runs verdalia-cli in `dir` with the arguments (already quoted for the shell).
CliRun RunCli(const TempDir &dir, const std::string &args) {
  const auto out = dir.path().parent_path() / (dir.path().filename().string() + ".stdout");
  const auto err = dir.path().parent_path() / (dir.path().filename().string() + ".stderr");
  const std::string command = "cd '" + dir.path().string() +
                              "' && LC_ALL=C " VERDALIA_BINARY_DIR "/verdalia-cli " + args + " >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(out), ReadBytes(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

std::set<std::string> FilesIn(const TempDir &dir) {
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

long long Count(const std::string &db_path, const char *table) {
  sqlite3 *db = nullptr;
  sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt *stmt = nullptr;
  sqlite3_prepare_v2(db, (std::string("SELECT COUNT(*) FROM ") + table).c_str(), -1, &stmt,
                     nullptr);
  sqlite3_step(stmt);
  const long long count = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return count;
}

// The shipped reference database in Access form, as ref.mdb in the folder.
void WriteAccessCopy(const TempDir &dir) {
  testing::ConvertReferenceDatabase(VERDALIA_REFERENCE_DB, (dir.path() / "ref.mdb").string());
}

TEST(ImportMdb, WritesAnSqliteDatabaseThatLoadsLikeTheAccessFile) {
  const TempDir dir;
  WriteAccessCopy(dir);
  const CliRun run = RunCli(dir, "import-mdb ref.mdb out.db");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::string summary = "import-mdb: ref.mdb -> out.db:";
  const char *separator = " ";
  for (const char *table : {"DefArchivo", "TipoArchivo", "COMUNA", "CULTIVO", "TipoCultivoUniFisc",
                            "RegionComunaZHS"}) {
    summary +=
        separator + std::string(table) + " " + std::to_string(Count(VERDALIA_REFERENCE_DB, table));
    separator = ", ";
  }
  EXPECT_EQ(run.out, summary + " rows\n");
  EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"ref.mdb", "out.db"})) << "no temporary left";

  const ReferenceData from_access = LoadReferenceData((dir.path() / "ref.mdb").string());
  const ReferenceData from_copy = LoadReferenceData((dir.path() / "out.db").string());
  EXPECT_EQ(from_copy.rsDefArchivo.size(), from_access.rsDefArchivo.size());
  EXPECT_EQ(from_copy.LargoFila, from_access.LargoFila);
  EXPECT_EQ(from_copy.CodigosComuna.Text(), from_access.CodigosComuna.Text());
  EXPECT_EQ(from_copy.CodigosCultivo.Text(), from_access.CodigosCultivo.Text());
}

TEST(ImportMdb, ReplacesAnExistingDatabaseOnlyWhenForced) {
  const TempDir dir;
  WriteAccessCopy(dir);
  dir.Write("out.db", "an operator's database");
  const CliRun refused = RunCli(dir, "import-mdb ref.mdb out.db");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "verdalia-cli: import-mdb: out.db already exists; use --force to replace it\n");
  EXPECT_EQ(ReadBytes(dir.path() / "out.db"), "an operator's database");

  const CliRun forced = RunCli(dir, "import-mdb --force ref.mdb out.db");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"ref.mdb", "out.db"}));
  EXPECT_EQ(LoadReferenceData((dir.path() / "out.db").string()).CodigosComuna.Text(),
            LoadReferenceData(VERDALIA_REFERENCE_DB).CodigosComuna.Text());
}

TEST(ImportMdb, WritesNothingWhenTheAccessFileCannotServe) {
  const TempDir dir;
  WriteAccessCopy(dir);
  testing::WriteJetDatabase((dir.path() / "partial.mdb").string(),
                            testing::ReadSqliteTables(VERDALIA_REFERENCE_DB, {"DefArchivo"}));
  dir.Write("out.db", "an operator's database");
  const std::string usage = "Try 'verdalia-cli import-mdb --help'.\n";
  struct Case {
    const char *name;
    const char *args;
    int status;
    std::string err;
  } cases[] = {
      {"no paths", "import-mdb", 64,
       "verdalia-cli: import-mdb: needs the Access database IN and the SQLite database OUT\n" +
           usage},
      {"one path", "import-mdb ref.mdb", 64,
       "verdalia-cli: import-mdb: needs the Access database IN and the SQLite database OUT\n" +
           usage},
      {"three paths", "import-mdb ref.mdb a.db b.db", 64,
       "verdalia-cli: import-mdb: needs the Access database IN and the SQLite database OUT\n" +
           usage},
      {"unknown option", "import-mdb --overwrite ref.mdb new.db", 64,
       "verdalia-cli: import-mdb: unknown option --overwrite\n" + usage},
      {"Access name for OUT", "import-mdb ref.mdb new.mdb", 64,
       "verdalia-cli: import-mdb: OUT must be an SQLite database, not new.mdb\n" + usage},
      {"missing IN", "import-mdb missing.mdb new.db", 3,
       "verdalia-cli: import-mdb: No se puede abrir la base de datos de referencia "
       "\"missing.mdb\": el archivo no existe\n"},
      {"IN without the other tables", "import-mdb partial.mdb new.db", 3,
       "verdalia-cli: import-mdb: No se puede cargar la base de datos de referencia "
       "\"partial.mdb\": falta la tabla TipoArchivo\n"},
      {"IN is SQLite", "import-mdb out.db new.db", 3,
       "verdalia-cli: import-mdb: No se puede abrir la base de datos de referencia \"out.db\": "
       "el archivo no es una base de datos de Access\n"},
      {"OUT is a folder", "import-mdb --force ref.mdb .", 2,
       "verdalia-cli: import-mdb: . is a folder\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun run = RunCli(dir, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"ref.mdb", "partial.mdb", "out.db"}));
  }
  const CliRun nowhere = RunCli(dir, "import-mdb ref.mdb no-such-folder/new.db");
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.err.rfind("verdalia-cli: import-mdb: cannot write no-such-folder/new.db: ", 0),
            0u)
      << nowhere.err;
}

TEST(ImportMdb, HelpDescribesTheCommand) {
  const TempDir dir;
  const CliRun help = RunCli(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("verdalia-cli import-mdb [--force] IN.mdb OUT.db"), std::string::npos);
  const CliRun own = RunCli(dir, "import-mdb --help");
  EXPECT_EQ(own.status, 0);
  EXPECT_EQ(own.out.rfind("usage: verdalia-cli import-mdb [--force] IN.mdb OUT.db\n", 0), 0u);
}

TEST(CheckWithAccessDatabase, ReportsWhatTheSqliteDatabaseReports) {
  const TempDir dir;
  WriteAccessCopy(dir);
  std::filesystem::copy_file(VERDALIA_REFERENCE_DB, dir.path() / "ref.db");
  const ReferenceData data = LoadReferenceData(VERDALIA_REFERENCE_DB);
  const auto line = [&](int kind, const std::string &start) {
    std::string text = start;
    text.resize(static_cast<std::size_t>(data.LargoFila[kind]), ' ');
    return text + "\r\n";
  };
  dir.Write("P202401.txt", line(1, "1202401") + line(1, "2") + line(1, "4"));
  dir.Write("D202401.txt", line(2, "1202401") + line(2, "2") + line(2, "3"));
  for (const char *args : {"check P202401.txt D202401.txt", "check --format json P202401.txt",
                           "check --physical-only D202401.txt"}) {
    SCOPED_TRACE(args);
    const CliRun sqlite = RunCli(dir, std::string(args) + " --db ref.db");
    const CliRun access = RunCli(dir, std::string(args) + " --db ref.mdb");
    EXPECT_EQ(access.status, sqlite.status);
    EXPECT_EQ(access.out, sqlite.out);
    EXPECT_EQ(access.err, sqlite.err);
    EXPECT_NE(sqlite.out, "");
  }
}

} // namespace
} // namespace verdalia
