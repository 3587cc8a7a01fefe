// A database in WAL mode is read from a private copy in the temporary folder. An interrupt
// that comes while the copy is there would leave it behind, as large as the database: it
// waits until the copy is gone.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "refdata/sqlite_source.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

volatile std::sig_atomic_t g_interrupts = 0;

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
