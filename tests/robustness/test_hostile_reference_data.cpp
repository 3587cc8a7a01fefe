#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "common/windows1252.h"
#include "engine/session.h"
#include "robustness/child_process.h"
#include "support/fixtures.h"
#include "support/jet4_writer.h"

namespace verdalia {
namespace {

using testing::ChildOptions;
using testing::ChildRun;
using testing::kEmptySchemaSql;
using testing::LoadFromSql;
using testing::MakeDatabase;
using testing::RunCliChild;
using testing::TempDir;

// The message of a database that cannot be loaded, or "" when it loads.
std::string LoadFailure(const std::string &path) {
  try {
    LoadReferenceData(path);
    return "";
  } catch (const ReferenceDataError &error) {
    return error.what();
  }
}

// A copy of the shipped database, for tests that damage or lock it.
std::string CopyOfShipped(const TempDir &dir, const std::string &name = "ref.db") {
  const auto path = dir.path() / name;
  std::filesystem::copy_file(VERDALIA_REFERENCE_DB, path);
  return path.string();
}

void Overwrite(const std::string &path, std::size_t offset, const std::string &bytes) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(HostileReferenceData, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
  const TempDir dir;
  const std::string fifo = (dir.path() / "fifo.db").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir.path() / "folder.db");
  std::filesystem::create_symlink("/dev/zero", dir.path() / "zero.db");
  struct Case {
    const char *name;
    std::string path;
    const char *why;
  } cases[] = {
      {"named pipe", fifo, "no es un archivo regular"},
      {"folder", (dir.path() / "folder.db").string(), "es una carpeta"},
      {"link to a device", (dir.path() / "zero.db").string(), "no es un archivo regular"},
      {"access name on a pipe", (dir.path() / "fifo.mdb").string(), "no es un archivo regular"},
  };
  std::filesystem::create_symlink(fifo, dir.path() / "fifo.mdb");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    // In a child with a deadline: a loader that opened the pipe would wait for a writer.
    ChildOptions options;
    options.folder = dir.path().string();
    options.deadline_seconds = 20;
    const ChildRun run = RunCliChild({"check", "--db", c.path, "P202401.txt"}, options);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("No se puede abrir la base de datos de referencia \"" + c.path +
                           "\": " + c.why),
              std::string::npos)
        << run.err;
  }
}

TEST(HostileReferenceData, DamagedDatabasesAreRefusedWithTheEnginesReason) {
  const TempDir dir;
  const std::size_t size = std::filesystem::file_size(VERDALIA_REFERENCE_DB);
  struct Case {
    const char *name;
    void (*damage)(const std::string &path, std::size_t size);
    const char *reason;
  } cases[] = {
      {"header overwritten",
       [](const std::string &path, std::size_t) { Overwrite(path, 0, std::string(100, 'x')); },
       "file is not a database"},
      {"cut in half",
       [](const std::string &path, std::size_t size) {
         std::filesystem::resize_file(path, size / 2);
       },
       "database disk image is malformed"},
      {"every page after the first overwritten",
       [](const std::string &path, std::size_t size) {
         Overwrite(path, 4096, std::string(size - 4096, '\xFF'));
       },
       "database disk image is malformed"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = CopyOfShipped(dir, std::string(c.name) + ".db");
    c.damage(path, size);
    const std::string message = LoadFailure(path);
    EXPECT_NE(message.find("base de datos de referencia \"" + path + "\""), std::string::npos)
        << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
}

TEST(HostileReferenceData, PagesOfNoiseNeverCrashTheLoader) {
  // Noise in every page of the file in turn: the loader either refuses the database with a
  // message or loads what it can read; the sanitizers watch for anything worse.
  const TempDir dir;
  const std::size_t size = std::filesystem::file_size(VERDALIA_REFERENCE_DB);
  for (std::size_t page = 0; page * 4096 < size; ++page) {
    for (const char noise : {'\x00', '\x7F', '\xFF'}) {
      SCOPED_TRACE("page " + std::to_string(page) + " noise " + std::to_string(int(noise)));
      const std::string path = CopyOfShipped(dir, "noise.db");
      Overwrite(path, page * 4096 + 100, std::string(64, noise));
      try {
        const ReferenceData data = LoadReferenceData(path);
        Session session(data);
      } catch (const ReferenceDataError &error) {
        EXPECT_NE(std::string(error.what()).find("base de datos de referencia"), std::string::npos);
      }
      std::filesystem::remove(path);
    }
  }
}

TEST(HostileReferenceData, ALockedDatabaseIsWaitedForBrieflyThenReported) {
  const TempDir dir;
  const std::string path = CopyOfShipped(dir);
  sqlite3 *holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  // Another program in the middle of writing: an exclusive lock keeps every reader out.
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; UPDATE COMUNA SET COD_COMUNA = COD_COMUNA;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  const std::string message = LoadFailure(path);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_NE(message.find("database is locked"), std::string::npos) << message;
  EXPECT_LT(waited, std::chrono::seconds(10));

  ChildOptions options;
  options.folder = dir.path().string();
  options.deadline_seconds = 30;
  const ChildRun run = RunCliChild({"check", "--db", path, "P202401.txt"}, options);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("database is locked"), std::string::npos) << run.err;

  sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(LoadFailure(path), "");
}

TEST(HostileReferenceData, EmptyDatabasesStopStartUpOrRefuseEveryLine) {
  const TempDir dir;
  // A file of no bytes is an SQLite database without tables.
  const std::string empty_file = dir.Write("empty.db", "");
  EXPECT_NE(LoadFailure(empty_file).find("no such table: DefArchivo"), std::string::npos);
  // Tables without rows load: no line length, no definitions, no codes.
  const std::string no_rows = MakeDatabase(dir, kEmptySchemaSql, "norows.db");
  ASSERT_EQ(LoadFailure(no_rows), "");
  dir.Write("P202401.txt", "1\r\n4\r\n");
  Session session(LoadReferenceData(no_rows));
  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "P202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_EQ(outcome.notice.text, "El archivo PRODUCCION VERDALIA en la fila 1 tiene un largo de "
                                 "fila incorrecto(1), debe ser 0.");
}

TEST(HostileReferenceData, ANegativeLineLengthMatchesNoLine) {
  // Found by fuzzing: a negative length was read as 0, so a file of empty lines passed.
  const TempDir dir;
  Session session(LoadFromSql("INSERT INTO TipoArchivo VALUES (1,'P',-1),(2,'D',-32768);"));
  struct Case {
    const char *name;
    const char *file_name;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"empty lines", "P202401.txt", "\r\n\r\n",
       "El archivo PRODUCCION VERDALIA en la fila 1 tiene un largo de fila incorrecto(0), debe "
       "ser -1."},
      {"lowest length", "D202401.txt", "1\r\n",
       "El archivo DENUNCIAS DE SINIESTROS VERDALIA en la fila 1 tiene un largo de fila "
       "incorrecto(1), debe ser -32768."},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write(c.file_name, c.bytes);
    for (const bool logical : {false, true}) {
      const RunOutcome outcome = logical ? session.RunLogical(dir.path().string(), c.file_name)
                                         : session.RunPhysical(dir.path().string(), c.file_name);
      EXPECT_TRUE(outcome.refused);
      EXPECT_EQ(outcome.notice.text, c.message);
    }
  }
  // A file without any line has no line to compare: it is read, and found empty.
  dir.Write("P202402.txt", "");
  EXPECT_FALSE(session.RunPhysical(dir.path().string(), "P202402.txt").refused);
}

// Definitions no sound database holds, each through both runs of a file of every kind:
// the runs must end with their end message, whatever rows they report.
TEST(HostileReferenceData, AbsurdDefinitionsRunToTheEnd) {
  struct Case {
    const char *name;
    const char *definition; // PosicionInicial, Largo, Tipo, DECIMALES, Obligatorio,
                            // ValoresValidos, ErrorFisico
  } cases[] = {
      {"position past the line", "500,4,'N',NULL,'S','1#','Error. X'"},
      {"position at the last character, long field", "20,9,'FE',NULL,'S','SI_ES:00000000','E'"},
      {"highest position", "2147483647,2147483647,'T',NULL,'S','SI_ES:BLANCO','E'"},
      {"length 0", "1,0,'N',NULL,'S','SI_ES:0','E'"},
      {"length 0 filler", "1,0,'FIL',NULL,'N',NULL,'E'"},
      {"highest length filler", "1,2147483647,'FIL',NULL,'N',NULL,'E'"},
      {"highest length number", "2,2147483647,'D',2,'S','SI_ES:0','E'"},
      {"decimals beyond the length", "2,3,'D',9,'S','SI_ES:1','E'"},
      {"negative decimals", "2,3,'d',-5,'S','SI_ES:0','E'"},
      {"lowest decimals", "2,3,'D',-2147483648,'S','1#','E'"},
      {"highest decimals", "2,3,'D',2147483647,'S','1#','E'"},
      {"identity number past the line", "19,9,'rut',NULL,'S','SI_ES:0','E'"},
      {"check digit without identity", "3,1,'dv',NULL,'S',NULL,'E'"},
      {"keyword without operand", "2,3,'N',NULL,'S','SI_ES:','E'"},
      {"unknown keyword", "2,3,'T',NULL,'S','SI_NO_ES:','E'"},
      {"binary rule", "2,6,'t',NULL,'S','SI_NO_ES:0o1','E'"},
      {"blank or zero", "2,6,'T',NULL,'n','SI_ES:BLANCOoCero','E'"},
      {"huge operand", "2,3,'N',NULL,'S','SI_ES:1E999','E'"},
      {"list of one separator", "2,3,'N',NULL,'S','#',NULL"},
      {"unknown type", "2,3,'ZZ',NULL,'S','1#',NULL"},
      {"empty type", "2,3,'',NULL,NULL,NULL,NULL"},
  };
  const std::string lengths = "INSERT INTO TipoArchivo VALUES (1,'P',20),(2,'D',20),(3,'S',20);";
  const char *names[] = {"TIPO_REGISTRO", "TOTAL_REGISTROS", "FECHA_VIGENCIA_INICIAL",
                         "NUMERO_ENDOSO", "TIPO_ENDOSO",     "RUT_ASEGURADORA",
                         "ASEGURADORA"};
  const TempDir dir;
  const std::string folder = dir.path().string();
  auto file_of = [](std::initializer_list<std::string> lines) {
    std::string bytes;
    for (std::string line : lines) {
      line.resize(20, ' ');
      bytes += line + "\r\n";
    }
    return bytes;
  };
  const std::string header = "1202401 11111111-1ACME";
  dir.Write("P202401.txt",
            file_of({header, "2E000000000000000000", "3  20240101 BLANCO", "4000004"}));
  dir.Write("S202401.txt",
            file_of({header, "2E000000000000000000", "3  20240101 BLANCO", "4000004"}));
  dir.Write("D202401.txt", file_of({header, "2E000000000000000000", "3000003"}));
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string rows;
    int sec = 0;
    for (int kind = 1; kind <= 3; ++kind) {
      for (const char *type : {"1", "2", "3", "4"}) {
        for (const char *name : names) {
          rows += std::string(rows.empty() ? "" : ",") + "(" + std::to_string(kind) + ",'" + type +
                  "'," + std::to_string(++sec) + ",'" + name + "'," + c.definition + ")";
        }
      }
    }
    Session session(LoadFromSql(lengths + "INSERT INTO DefArchivo VALUES " + rows + ";"));
    for (const char *file : {"P202401.txt", "D202401.txt", "S202401.txt"}) {
      SCOPED_TRACE(file);
      const RunOutcome physical = session.RunPhysical(folder, file);
      ASSERT_FALSE(physical.refused) << physical.notice.text;
      EXPECT_EQ(physical.notice.text, Cp1252("Verificación Física finalizada"));
      const RunOutcome logical = session.RunLogical(folder, file);
      ASSERT_FALSE(logical.refused) << logical.notice.text;
      EXPECT_EQ(logical.notice.text, Cp1252("Verificación Lógica finalizada"));
    }
  }
}

#ifdef VERDALIA_HAVE_MDB
// The six tables with one row each, as an Access database.
std::vector<testing::JetTable> SmallAccessTables() {
  using testing::JetType;
  using Row = std::vector<testing::JetValue>;
  const auto text = [](const char *value) { return testing::JetValue(std::string(value)); };
  const auto number = [](std::int64_t value) { return testing::JetValue(value); };
  return {
      {"DefArchivo",
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
       {Row{number(1), text("1"), number(1), text("TIPO_REGISTRO"), number(1), number(1), text("N"),
            testing::JetNull{}, text("S"), text("1#"), testing::JetNull{}}},
       {},
       {}},
      {"TipoArchivo",
       {{"TipoArchivo", JetType::Long},
        {"Descripcion", JetType::Text, 50},
        {"LargoFila", JetType::Integer}},
       {Row{number(1), text("P"), number(10)}},
       {},
       {}},
      {"COMUNA", {{"COD_COMUNA", JetType::Text, 5}}, {Row{text("13101")}}, {}, {}},
      {"CULTIVO", {{"COD_CULTIVO", JetType::Text, 10}}, {Row{text("TRIGO1")}}, {}, {}},
      {"TipoCultivoUniFisc", {{"COD_CULTIVO", JetType::Text, 10}}, {}, {}, {}},
      {"RegionComunaZHS", {{"COD_COMUNA", JetType::Text, 5}}, {}, {}, {}},
  };
}

TEST(HostileReferenceData, AnAccessTableWhoseUsageMapIsLostIsRefused) {
  // Found by mutating Access files: libmdb follows a table's usage map without checking it,
  // and a definition page whose map pointer names a missing row crashed start-up, in the
  // catalog as in any table. Every table definition page in turn gets such a pointer.
  struct Version {
    const char *name;
    testing::JetVersion version;
    std::size_t page_size;
    std::size_t map_row_offset; // the row byte of the usage-map pointer in a definition page
  } versions[] = {
      {"Jet 3", testing::JetVersion::Jet3, 2048, 35},
      {"Jet 4", testing::JetVersion::Jet4, 4096, 55},
  };
  const TempDir dir;
  for (const Version &v : versions) {
    const std::string good = (dir.path() / "good.mdb").string();
    testing::JetOptions options;
    options.version = v.version;
    testing::WriteJetDatabase(good, SmallAccessTables(), options);
    ASSERT_EQ(LoadFailure(good), "") << v.name;
    const std::string bytes = testing::ReadBytes(good);
    int definitions = 0;
    for (std::size_t page = 1; page * v.page_size < bytes.size(); ++page) {
      if (bytes[page * v.page_size] != '\x02') {
        continue; // not a table definition
      }
      SCOPED_TRACE(std::string(v.name) + ", page " + std::to_string(page));
      ++definitions;
      std::string damaged = bytes;
      damaged[page * v.page_size + v.map_row_offset] = '\xFF';
      const std::string path = dir.Write("damaged.mdb", damaged);
      const std::string message = LoadFailure(path);
      const bool catalog = page == 2;
      EXPECT_NE(message.find(catalog ? "no se puede leer el catálogo"
                                     : "no se puede leer: su mapa de páginas está dañado"),
                std::string::npos)
          << message;
    }
    EXPECT_EQ(definitions, 7) << v.name; // the catalog and the six tables
  }
}
TEST(HostileReferenceData, DamagedAccessFilesNeverCrashTheLoader) {
  // Random bytes written over a good Access file, many times over with a fixed seed: each
  // damaged file loads or is refused with a message; libmdb is not hardened against such
  // files, so this keeps the reader's guards honest.
  const TempDir dir;
  const std::string good = (dir.path() / "good.mdb").string();
  testing::WriteJetDatabase(good, SmallAccessTables());
  const std::string bytes = testing::ReadBytes(good);
  std::mt19937 random(2024);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    std::string damaged = bytes;
    // Half the rounds aim at the first pages: header, catalog and table definitions.
    const std::size_t span =
        round % 2 ? damaged.size() : std::min<std::size_t>(damaged.size(), 12 * 4096);
    for (int k = 1 + static_cast<int>(random() % 32); k > 0; --k) {
      damaged[random() % span] = static_cast<char>(random());
    }
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string message = LoadFailure(dir.Write("damaged.mdb", damaged));
    if (!message.empty()) {
      ++refused;
      EXPECT_NE(message.find("base de datos de referencia"), std::string::npos) << message;
    }
  }
  EXPECT_GT(refused, 0);
}
#endif

} // namespace
} // namespace verdalia
