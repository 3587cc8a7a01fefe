// A data file that has lain untouched is viewed where it lies rather than copied; one written
// a moment ago is copied, so that a write in the same tick of the clock cannot change what a
// run checks unseen. What no command-line case can show: another program cutting or writing
// the file under the view, which would otherwise end the process with SIGBUS or change the
// bytes a run checks unseen.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

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
  ASSERT_TRUE(InstallFileViewGuard());
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

TEST(DataFile, AViewSaysWhenItsFileWasWrittenInPlace) {
  ASSERT_TRUE(InstallFileViewGuard());
  const testing::TempDir dir;
  const std::string path = dir.Write("D202401.txt", Lines(50, 200));
  Age(path);
  DataFile file;
  ASSERT_EQ(ReadDataFile(path, 200, file).status, ReadStatus::Ok);
  EXPECT_FALSE(file.Changed());
  // Changed in place, the file shows its new bytes through the view, which says so.
  dir.Write("D202401.txt", Lines(50, 200).replace(0, 1, "Z"));
  EXPECT_EQ(file.lines[1][0], 'Z');
  EXPECT_TRUE(file.Changed());
  EXPECT_FALSE(file.Cut());
}

TEST(DataFile, AFileWrittenAMomentAgoIsCopiedAndKeepsItsBytes) {
  ASSERT_TRUE(InstallFileViewGuard());
  const testing::TempDir dir;
  const std::string path = dir.Write("D202401.txt", Lines(50, 200));
  DataFile file;
  ASSERT_EQ(ReadDataFile(path, 200, file).status, ReadStatus::Ok);
  dir.Write("D202401.txt", Lines(50, 200).replace(0, 1, "Z"));
  EXPECT_EQ(file.lines[1][0], 'A');
  EXPECT_FALSE(file.Changed());
  EXPECT_EQ(file.stamp.size, 50u * 202u);
}

// Another program rewrites the file in place, each version in one write, while it is read
// over and over: a write stamps the file when it begins, so a read that falls inside one sees
// the stamp hold still while the bytes change under it. Every read the check accepts holds
// one version whole; the others are refused.
TEST(DataFile, AFileWrittenWhileItIsReadIsOneVersionOrRefused) {
  ASSERT_TRUE(InstallFileViewGuard());
  const testing::TempDir dir;
  const std::string first = Lines(3000, 400);
  std::string second = first;
  for (std::size_t at = 0; at < second.size(); at += 402) {
    second[at] = 'Z';
  }
  const std::string path = dir.Write("P202401.txt", first);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    for (int k = 0; fd >= 0 && !stop.load(); ++k) {
      const std::string &version = k % 2 == 0 ? second : first;
      if (::pwrite(fd, version.data(), version.size(), 0) < 0) {
        break;
      }
    }
    ::close(fd);
  });
  int accepted = 0;
  int refused = 0;
  int torn = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < end) {
    DataFile file;
    if (ReadDataFile(path, 400, file).status != ReadStatus::Ok) {
      ++refused;
      continue;
    }
    ++accepted;
    const std::string_view bytes = file.content->Bytes();
    torn += bytes != first && bytes != second ? 1 : 0;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(torn, 0) << accepted << " reads accepted, " << refused << " refused";
}

} // namespace
} // namespace verdalia
