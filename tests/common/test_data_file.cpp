// A data file that has lain untouched is viewed where it lies rather than copied; one written
// a moment ago is copied, so that a write in the same tick of the clock cannot change what a
// run checks unseen. What no command-line case can show: another program cutting or writing
// the file under the view, which would otherwise end the process with SIGBUS or change the
// bytes a run checks, and the one view two runs of the same file share.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/data_file.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

namespace fs = std::filesystem;

std::string Lines(int count, int length) {
  std::string bytes;
  for (int k = 0; k < count; ++k) {
    bytes += std::string(static_cast<std::size_t>(length), static_cast<char>('A' + k % 26));
    bytes += "\r\n";
  }
  return bytes;
}

// The file's last write moved back, as for a file that has lain untouched for a while.
void Age(const std::string &path) {
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::minutes(1));
}

TEST(DataFile, AFileCutShortUnderItsLinesReadsAsZerosAndSaysSo) {
  const testing::TempDir dir;
  // Large enough to span many pages, so the cut falls well inside the view.
  const std::string path = dir.Write("P202401.txt", Lines(2000, 400));
  Age(path);
  DataFile file;
  ASSERT_EQ(ReadDataFile(path, 400, file).status, ReadStatus::Ok);
  ASSERT_EQ(file.line_count, 2000);
  EXPECT_FALSE(file.Cut());

  fs::resize_file(path, 4096);
  const std::string_view last = file.lines[2000];
  EXPECT_EQ(last, std::string(400, '\0')); // no SIGBUS: the missing pages read as zeros
  EXPECT_EQ(file.lines[1], std::string(400, 'A'));
  EXPECT_TRUE(file.Cut());
  EXPECT_TRUE(file.Changed());

  // The file as it is now is read anew, not through the view that was cut.
  DataFile again;
  const ReadResult read = ReadDataFile(path, 400, again);
  EXPECT_EQ(read.status, ReadStatus::WrongLength);
  EXPECT_EQ(read.line_number, 11);
  EXPECT_EQ(read.line_length, 4096 - 10 * 402);
}

TEST(DataFile, TwoReadsOfTheSameFileShareOneViewUntilItChanges) {
  const testing::TempDir dir;
  const std::string path = dir.Write("D202401.txt", Lines(50, 200));
  Age(path);
  DataFile first;
  DataFile second;
  ASSERT_EQ(ReadDataFile(path, 200, first).status, ReadStatus::Ok);
  ASSERT_EQ(ReadDataFile(path, 200, second).status, ReadStatus::Ok);
  EXPECT_EQ(first.content, second.content);
  EXPECT_EQ(first.lines[50].data(), second.lines[50].data());

  // Changed in place, the file shows its new bytes through the view, which says so; the
  // next read does not share it.
  EXPECT_FALSE(first.Changed());
  dir.Write("D202401.txt", Lines(50, 200).replace(0, 1, "Z"));
  EXPECT_EQ(first.lines[1][0], 'Z');
  EXPECT_TRUE(first.Changed());
  EXPECT_TRUE(second.Changed());
  EXPECT_FALSE(first.Cut());
  DataFile third;
  ASSERT_EQ(ReadDataFile(path, 200, third).status, ReadStatus::Ok);
  EXPECT_NE(third.content, first.content);
  EXPECT_EQ(third.lines[1][0], 'Z');

  // Grown, it is a file of another size: a view of its own.
  dir.Write("D202401.txt", Lines(51, 200));
  DataFile grown;
  ASSERT_EQ(ReadDataFile(path, 200, grown).status, ReadStatus::Ok);
  EXPECT_NE(grown.content, first.content);
  EXPECT_EQ(grown.line_count, 51);
}

TEST(DataFile, AFileWrittenAMomentAgoIsCopiedAndKeepsItsBytes) {
  const testing::TempDir dir;
  const std::string path = dir.Write("D202401.txt", Lines(50, 200));
  DataFile file;
  ASSERT_EQ(ReadDataFile(path, 200, file).status, ReadStatus::Ok);
  dir.Write("D202401.txt", Lines(50, 200).replace(0, 1, "Z"));
  EXPECT_EQ(file.lines[1][0], 'A');
  EXPECT_FALSE(file.Changed());
  EXPECT_EQ(file.stamp.size, 50u * 202u);
}

} // namespace
} // namespace verdalia
