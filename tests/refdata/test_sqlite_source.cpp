// The SQLite reference database while other programs use it. Another program's commits
// while it loads: the reference data is one version of the database, never the definitions
// of one with the line lengths of the next. A database in WAL mode is read from a private
// copy in the temporary folder; an interrupt that comes while the copy is there would leave
// it behind, as large as the database: it waits until the copy is gone.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "refdata/sqlite_source.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

volatile std::sig_atomic_t g_interrupts = 0;

TEST(SqliteSource, ALoadReadsOneVersionWhileAnotherProgramCommits) {
  const testing::TempDir dir;
  const std::string path = (dir.path() / "ref.db").string();
  std::filesystem::copy_file(VERDALIA_REFERENCE_DB, path);
  const std::size_t fields = LoadReferenceData(path).Definitions(FileKind::ClaimNotices, "2").size();
  // Each version: claim notices one character longer and one field more, or neither.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    sqlite3 *db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    for (int version = 1; !stop.load(); ++version) {
      const std::string sql =
          "BEGIN IMMEDIATE; UPDATE TipoArchivo SET LargoFila = " +
          std::to_string(200 + version % 2) + " WHERE TipoArchivo = 2; " +
          (version % 2 != 0 ? "INSERT INTO DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, "
                              "PosicionInicial, Largo, Tipo) VALUES (2, '2', 999, 'EXTRA', 201, "
                              "1, 'X');"
                            : "DELETE FROM DefArchivo WHERE Campo = 'EXTRA';") +
          " COMMIT;";
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
      std::this_thread::sleep_for(std::chrono::microseconds(1000));
    }
    sqlite3_close(db);
  });
  int loads = 0;
  int mixed = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < end) {
    try {
      const ReferenceData data = LoadReferenceData(path);
      ++loads;
      const bool longer = data.line_lengths[2] == 201;
      mixed += longer != (data.Definitions(FileKind::ClaimNotices, "2").size() == fields + 1) ? 1 : 0;
    } catch (const ReferenceDataError &) {
      // Locked past the wait: a refusal, which is no mixed version.
    }
  }
  stop = true;
  writer.join();
  EXPECT_EQ(mixed, 0) << "of " << loads << " loads";
}

TEST(WalCopy, AnInterruptWaitsUntilThePrivateCopyIsGone) {
  const testing::TempDir dir;
  const testing::TempDir temporary;
  ASSERT_EQ(setenv("TMPDIR", temporary.path().c_str(), 1), 0);
  const std::string wal = testing::MakeDatabase(
      dir, std::string(testing::kEmptySchemaSql) + "PRAGMA journal_mode=WAL;", "wal.db");
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = [](int) { g_interrupts = g_interrupts + 1; };
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGINT, &action, &previous), 0);
  {
    const ReadOnlyDatabase db = OpenSqliteReadOnly(wal);
    EXPECT_FALSE(std::filesystem::is_empty(temporary.path()));
    std::raise(SIGINT);
    EXPECT_EQ(g_interrupts, 0);
  }
  EXPECT_EQ(g_interrupts, 1);
  EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
  sigaction(SIGINT, &previous, nullptr);
  unsetenv("TMPDIR");
}

} // namespace
} // namespace verdalia
