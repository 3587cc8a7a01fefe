// What start-up makes of an Access file: texts as Windows-1252 bytes, Null kept apart from
// empty text, the code lists in their order. The rows themselves, as the reader copies them,
// are the cases in tests/cases/access.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fuzz/access_target.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

const std::string kFixtures = VERDALIA_SOURCE_DIR "/tests/fixtures/access/";

// Whether an Access file's definitions cover every kind is start-up's judgement, not the
// reader's: edited.mdb gives kinds 2 and 3 a line length and no definitions.
using fuzz::LoadAccess;

// The message of a database that cannot be loaded, or "" when it loads.
std::string LoadFailure(const std::string &path) {
  try {
    LoadAccess(path);
    return "";
  } catch (const ReferenceDataError &error) {
    return error.what();
  }
}

TEST(AccessStartUp, EditedFileLoadsAsWindows1252WithNullsKept) {
  const ReferenceData data = LoadAccess(kFixtures + "edited.mdb");
  ASSERT_EQ(data.definitions.size(), 5u);
  const auto &defs = data.definitions;
  const auto text = [](const char *bytes) { return std::optional<std::string>(bytes); };
  EXPECT_EQ(defs[0].valid_values, text("1#"));
  EXPECT_EQ(defs[0].message, std::nullopt);
  EXPECT_EQ(defs[1].obligatory, text(""));
  EXPECT_EQ(defs[1].valid_values, text(""));
  EXPECT_EQ(defs[1].message, text("Error. Raz\xF3n social inv\xE1lida"));
  EXPECT_EQ(defs[2].message, text("Error. Monto en \x80 no v\xE1lido"));
  EXPECT_EQ(defs[2].decimals, std::optional<int>(2));
  EXPECT_EQ(defs[3].obligatory, std::nullopt);
  EXPECT_EQ(defs[3].message, text(""));
  std::string chained;
  for (int code = 2000; code < 3200; ++code) {
    chained += std::to_string(code) + "#";
  }
  EXPECT_EQ(defs[3].valid_values, chained);
  EXPECT_EQ(defs[4].valid_values, std::nullopt);
  EXPECT_EQ(data.line_lengths, (std::array<int, 4>{0, 400, 200, 200}));

  // ORDER BY puts the Null code first, then the empty one: each adds only its bar. Deleted
  // records (13114, 10000, 10145, 10299) are gone; moved ones (10001, 10195) are there once.
  std::string communes = "\xA6\xA6"
                         "08101\xA6";
  for (int code = 10001; code < 10299; ++code) {
    communes += code == 10145 ? "" : std::to_string(code) + "\xA6";
  }
  EXPECT_EQ(data.commune_codes.Text(), communes + "13101\xA6");
  // Characters Windows-1252 has no byte for become "?".
  EXPECT_EQ(data.crop_codes.Text(), "MAIZ01\xA6TRIGO1\xA6?\x80\xA6?SAKA\xA6?01\xA6");

  // Start-up does not take it: claim notices would pass whatever their fields hold.
  try {
    LoadReferenceData(kFixtures + "edited.mdb");
    ADD_FAILURE() << "edited.mdb loaded at start-up";
  } catch (const ReferenceDataError &error) {
    EXPECT_NE(std::string(error.what()).find("no tiene definiciones de campo del TipoArchivo 2"),
              std::string::npos)
        << error.what();
  }
}

TEST(AccessDatabasePath, ChosenByTheEndOfTheName) {
  for (const char *access : {"Base/verdalia7.mdb", "BASE/VERDALIA7.MDB", "ref.AccDB"}) {
    EXPECT_TRUE(IsAccessDatabasePath(access)) << access;
  }
  for (const char *sqlite : {"Base/verdalia7.db", "ref.mdb.db", "mdb", "ref.mdbx"}) {
    EXPECT_FALSE(IsAccessDatabasePath(sqlite)) << sqlite;
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

TEST(DamagedAccessFile, WhoseUsageMapIsLostIsRefused) {
  // Found by mutating Access files: libmdb follows a table's usage map without checking it,
  // and a definition page whose map pointer names a missing row crashed start-up, in the
  // catalog as in any table. Every table definition page in turn gets such a pointer.
  const testing::TempDir dir;
  for (const char *name : {"edited.mdb", "verdalia7-jet3.mdb"}) {
    ASSERT_EQ(LoadFailure(kFixtures + name), "") << name;
    const std::string bytes = testing::ReadBytes(kFixtures + name);
    const bool jet3 = bytes.at(0x14) == 0; // the version byte of the header page
    const std::size_t page_size = jet3 ? 2048 : 4096;
    const std::size_t map_row_offset = jet3 ? 35 : 55; // in a definition page
    int definitions = 0;
    for (std::size_t page = 1; page * page_size < bytes.size(); ++page) {
      if (bytes[page * page_size] != '\x02') {
        continue; // not a table definition
      }
      SCOPED_TRACE(std::string(name) + ", page " + std::to_string(page));
      ++definitions;
      std::string damaged = bytes;
      damaged[page * page_size + map_row_offset] = '\xFF';
      const std::string message = LoadFailure(dir.Write("damaged.mdb", damaged));
      const bool catalog = page == 2;
      EXPECT_NE(message.find(catalog ? "no se puede leer el catálogo"
                                     : "no se puede leer: su mapa de páginas está dañado"),
                std::string::npos)
          << message;
    }
    EXPECT_EQ(definitions, 7) << name; // the catalog and the six tables
  }
}

TEST(DamagedAccessFile, NeverCrashesTheLoader) {
  // Random bytes written over an Access file with deleted and moved records and chained
  // memos, many times over with a fixed seed: each damaged file loads or is refused with a
  // message; libmdb is not hardened against such files, so this keeps the reader's guards
  // honest.
  const testing::TempDir dir;
  ASSERT_EQ(LoadFailure(kFixtures + "edited.mdb"), "");
  const std::string bytes = testing::ReadBytes(kFixtures + "edited.mdb");
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

// Each page of the four intact files lost in turn: the file cut at its start or halfway into
// it, or the page zeroed. Every page of these files holds something start-up reads, so each
// must be refused; libmdb skipped such pages with a warning, or read them as zeros.
TEST(DamagedAccessFile, EveryPageCutOffOrLostIsRefused) {
  const testing::TempDir dir;
  for (const fuzz::AccessBase &base : fuzz::LoadAccessBases(kFixtures, dir.path().string())) {
    const std::size_t pages = base.bytes.size() / base.page_size;
    for (std::size_t page = 1; page < pages; ++page) {
      SCOPED_TRACE(std::to_string(base.bytes.size()) + " bytes, page " + std::to_string(page));
      const std::size_t start = page * base.page_size;
      EXPECT_NE(LoadFailure(dir.Write("cut.mdb", base.bytes.substr(0, start))), "");
      EXPECT_NE(LoadFailure(dir.Write("cut.mdb", base.bytes.substr(0, start + 1000))), "");
      std::string zeroed = base.bytes;
      std::fill_n(zeroed.begin() + static_cast<std::ptrdiff_t>(start), base.page_size, '\0');
      EXPECT_NE(LoadFailure(dir.Write("zeroed.mdb", zeroed)), "");
    }
  }
}

// libmdb writes its own English to the standard streams as it meets damage; the operator
// gets our message only.
TEST(DamagedAccessFile, LibmdbWritesNothingTheOperatorSees) {
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  for (const char *name : {"page-zeroed.mdb", "cut-mid-page.mdb", "damaged-record.mdb"}) {
    EXPECT_NE(LoadFailure(kFixtures + name), "") << name;
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(out + err, "");
}

// What libmdb writes counts as damage, but only what it writes on the loading thread: the
// window's other threads may write to stderr meanwhile, and their lines go through whole.
TEST(DamagedAccessFile, OtherThreadsKeepTheirWordsAndRefuseNothing) {
  ::testing::internal::CaptureStderr();
  std::atomic<bool> done{false};
  int lines = 0;
  std::thread writer([&] {
    for (; !done.load(); ++lines) {
      std::fputs("another thread\n", stderr);
    }
  });
  for (int round = 0; round < 20; ++round) {
    EXPECT_EQ(LoadFailure(kFixtures + "verdalia7.mdb"), "") << "round " << round;
  }
  done = true;
  writer.join();
  const std::string err = ::testing::internal::GetCapturedStderr();
  std::string expected;
  for (int i = 0; i < lines; ++i) {
    expected += "another thread\n";
  }
  EXPECT_TRUE(err == expected) << lines << " lines written, " << err.size() << " bytes seen";
}

// Every input kept for the Access harness, its seeds and whatever it once found, goes
// through the harness again in every build.
TEST(DamagedAccessFile, FuzzCorpusLoadsWholeOrIsRefused) {
  const testing::TempDir dir;
  const auto bases = fuzz::LoadAccessBases(kFixtures, dir.path().string());
  ASSERT_EQ(bases.size(), 4u);
  int inputs = 0;
  for (const auto &entry : std::filesystem::directory_iterator(
           std::string(VERDALIA_SOURCE_DIR) + "/tests/fuzz/corpus/fuzz_access")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string bytes = testing::ReadBytes(entry.path());
    EXPECT_EQ(fuzz::FuzzAccess(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                               bytes.size(), bases, dir.path().string()),
              "");
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

} // namespace
} // namespace verdalia
